#include "app/OpenLog.h"

#include "SimRig.h"
#include "app/Commands.h"
#include "export/LogFileReader.h"
#include "export/SaveAs.h"
#include "text/AppError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

struct TableSnapshot {
    std::vector<std::vector<std::string>> cells;
    std::vector<std::vector<CellMark>> marks;
};

TableSnapshot snapshot(const LogTable& table) {
    TableSnapshot s;
    for (int row = 0; row < table.rows(); ++row) {
        s.cells.emplace_back();
        s.marks.emplace_back();
        for (int col = 0; col < table.cols(); ++col) {
            s.cells.back().push_back(table.cell(col, row));
            s.marks.back().push_back(table.mark(col, row));
        }
    }
    return s;
}

// The cells as a workbook gives them back: without CR bytes.
TableSnapshot withoutCr(TableSnapshot s) {
    for (auto& row : s.cells)
        for (auto& cell : row)
            cell.erase(std::remove(cell.begin(), cell.end(), '\r'), cell.end());
    return s;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

sim::Scenario scenario(const std::string& model, std::vector<std::string> records = {}) {
    sim::Scenario s;
    s.model = model;
    s.count = 40;
    s.paced = false;
    s.records = std::move(records);
    return s;
}

} // namespace

// A download saved as a text log and as a workbook opens again as the download left the table:
// every cell, every colour, the notes under the table, the model and the serial line.
TEST(OpenLog, ASavedDownloadOpensAsItWasRead) {
    const struct {
        const char* name;
        sim::Scenario scenario;
        bool coloured = true; // without a model the file does not tell a record's kind
    } cases[] = {
        {"RVM600", scenario("RVM600")},
        {"RVM600P", scenario("RVM600P")},
        {"RVM600PK", scenario("RVM600PK")},
        {"VX40", scenario("VX40")},
        {"marks and a bad status",
         scenario("RVM600PK", {"12.03.2005 08:00:00\t166\t70\t0\t0\tS1\t1",
                               "12.03.2005 08:00:30\t40\t60\t3\t1\tS1\t2",
                               "12.03.2005 08:01:00\t150\t20\tE9\t2\t=1+1\t3"})},
        {"no model named",
         [] {
             sim::Scenario s = scenario("RVM600PK");
             s.identText = "Reflectometer of another make";
             return s;
         }(),
         false},
        {"noise leaves empty rows",
         [] {
             sim::Scenario s = scenario("VX40");
             s.trailer = {"noise", "more noise"};
             return s;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        SimRig read(c.scenario);
        readLog(read.app);
        const TableSnapshot downloaded = snapshot(read.app.table());
        const std::vector<std::string> notes = read.view.messages;
        for (const char* file : {"log.Log", "log.xls"}) {
            SCOPED_TRACE(file);
            const QString path = dir.filePath(QString::fromLatin1(file));
            saveTableToFile(saveSourceOf(read.app), path);
            read.app.session().dataSaved = false;

            SimRig opened;
            opened.dialogs.openAnswer = path;
            const std::optional<QString> name = openLog(opened.app);
            EXPECT_EQ(name, QString::fromLatin1(file));
            EXPECT_EQ(opened.app.session().model, read.app.session().model);
            EXPECT_EQ(opened.app.session().serialLine, read.app.session().serialLine);
            EXPECT_EQ(opened.app.session().serialNo, read.app.session().serialNo);
            EXPECT_TRUE(opened.app.session().dataSaved);
            EXPECT_EQ(opened.app.session().logOrigin,
                      "Opened from " + QDir::toNativeSeparators(path).toStdString());
            EXPECT_TRUE(opened.app.table().isEnabled());
            EXPECT_TRUE(opened.view.saveAsEnabled);
            EXPECT_TRUE(opened.view.graphEnabled);
            const TableSnapshot got = snapshot(opened.app.table());
            TableSnapshot expected = downloaded;
            if (path.endsWith(QLatin1String(".xls"))) {
                // The workbook keeps no CR bytes and no empty cells: the rows that noise left
                // empty at the end of the table are gone, but for the one an empty log has.
                expected = withoutCr(expected);
                const std::vector<std::string> empty(expected.cells.back().size());
                while (expected.cells.size() > 2 && expected.cells.back() == empty) {
                    expected.cells.pop_back();
                    expected.marks.pop_back();
                }
            }
            EXPECT_EQ(got.cells, expected.cells);
            if (!c.coloured)
                for (auto& row : expected.marks)
                    std::fill(row.begin(), row.end(), CellMark::Normal);
            EXPECT_EQ(got.marks, expected.marks);
            // The notes of records whose status is no number; the download's first two lines
            // are the identification and the serial line, which a file does not hold.
            EXPECT_EQ(opened.view.messages,
                      std::vector<std::string>(notes.begin() + 2, notes.end()));
        }
    }
}

// The block is chosen from the file's blocks, the last preselected; a cancelled choice, a
// refused file and a kept unsaved table leave the table as it was.
TEST(OpenLog, ChoosesTheBlockAndLeavesTheTableWhenNothingOpens) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two.Log"));
    SimRig read(scenario("RVM600PK"));
    readLog(read.app);
    saveTableToFile(saveSourceOf(read.app), path);
    SimRig second(scenario("RVM600"));
    readLog(second.app);
    saveTableToFile(saveSourceOf(second.app), path);

    SimRig rig;
    rig.dialogs.openAnswer = path;
    ASSERT_TRUE(openLog(rig.app));
    EXPECT_EQ(rig.dialogs.lastChoiceItems,
              (std::vector<std::string>{"*Log dump from: RVM600PK - s/n: 4711 (40 records)",
                                        "*Log dump from: RVM600 - s/n: 4711 (40 records)"}));
    EXPECT_STREQ(rig.app.session().model->name, "RVM600");

    rig.dialogs.chooseAnswer = 0;
    ASSERT_TRUE(openLog(rig.app));
    EXPECT_STREQ(rig.app.session().model->name, "RVM600PK");
    const TableSnapshot before = snapshot(rig.app.table());

    rig.dialogs.chooseAnswer = -1;
    EXPECT_FALSE(openLog(rig.app));
    rig.dialogs.openAnswer.reset();
    EXPECT_FALSE(openLog(rig.app));
    const QString junk = dir.filePath(QStringLiteral("junk.Log"));
    writeFile(junk, "hello\r\n");
    rig.dialogs.openAnswer = junk;
    EXPECT_THROW(openLog(rig.app), AppError);
    EXPECT_EQ(snapshot(rig.app.table()).cells, before.cells);
    EXPECT_STREQ(rig.app.session().model->name, "RVM600PK");

    rig.app.session().dataSaved = false;
    rig.dialogs.yesNoAnswers = {false};
    rig.dialogs.openAnswer = path;
    EXPECT_FALSE(openLog(rig.app));
    EXPECT_EQ(rig.dialogs.events.back(), "yesno: Data not saved - continue?");
    EXPECT_EQ(snapshot(rig.app.table()).cells, before.cells);
}
