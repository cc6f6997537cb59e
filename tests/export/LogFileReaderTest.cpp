#include "export/LogFileReader.h"

#include "export/FileLayer.h"
#include "export/TitledTable.h"
#include "export/WorkbookExport.h"
#include "log/LogTable.h"
#include "text/AppError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const std::string kPkTitles = "#\tDate / Time\tRl\tQd\tRStat\tQStat\tSeq-Id\tSeq#\t";
const std::string kPkRecord = "1\t12.03.2005 08:00:00\t166\t70\t0\t0\tS1\t1\t";
const std::string kVxTitles = "#\tDate / Time\tQd\tStat\tSeq-Id\tSeq#\t";
const std::string kVxRecord = "1\t12.03.2005 08:00:00\t166\t0\tS1\t1\t";
const std::string kEmptyPkRow = "\t\t\t\t\t\t\t\t";

std::string block(const std::string& title, const std::vector<std::string>& lines,
                  const std::string& end = "\r\n") {
    std::string text = title + end;
    for (const std::string& line : lines)
        text += line + end;
    return text + "*** End ***" + end + end;
}

std::string refusal(const std::string& bytes) {
    try {
        parseTextLog(QByteArray::fromStdString(bytes), "f.Log");
    } catch (const AppError& e) {
        return e.what();
    }
    return "accepted";
}

} // namespace

// What a text log holds comes back block by block: the title, the statistics report (with its
// own empty lines), every row with its cells, whatever the line ends.
TEST(LogFileReader, ReadsEveryBlockOfATextLog) {
    const std::string pk = "*Log dump from: RVM600PK - s/n: 4711";
    const std::string vx = "*Log dump from: VX40 - s/n: 0815";
    const struct {
        const char* name;
        std::string bytes;
        std::vector<size_t> rows;
        std::vector<std::vector<std::string>> statistics;
    } cases[] = {
        {"one block", block(pk, {kPkTitles, kPkRecord}), {2}, {{}}},
        {"LF line ends", block(pk, {kPkTitles, kPkRecord}, "\n"), {2}, {{}}},
        {"empty log", block(pk, {kPkTitles, kEmptyPkRow}), {2}, {{}}},
        {"statistics with empty lines",
         block(pk,
               {"Rl statistics:", "  Rl Dev: ---", "", "Qd statistics:", "", kPkTitles, kPkRecord}),
         {2},
         {{"Rl statistics:", "  Rl Dev: ---", "", "Qd statistics:"}}},
        {"two models",
         block(pk, {kPkTitles, kPkRecord}) + block(vx, {kVxTitles, kVxRecord}),
         {2, 2},
         {{}, {}}},
        {"no model, both kinds of record",
         block("*Log dump from: ? - ", {"#\tDate / Time\tRl\tQd\tRStat\tQStat\tSeq-Id\tSeq#\t"}),
         {1},
         {{}}},
        {"no model, one value",
         block("*Log dump from: ? - ", {"#\tDate / Time\tRl\tStat\tSeq-Id\tSeq#\t"}),
         {1},
         {{}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SavedLog> logs = parseTextLog(QByteArray::fromStdString(c.bytes), "f");
        ASSERT_EQ(logs.size(), c.rows.size());
        for (size_t i = 0; i < logs.size(); ++i) {
            EXPECT_EQ(logs[i].rows.size(), c.rows[i]);
            EXPECT_EQ(logs[i].statistics, c.statistics[i]);
        }
    }
    const SavedLog log =
        parseTextLog(QByteArray::fromStdString(block(pk, {kPkTitles, kPkRecord, kEmptyPkRow})), "f")
            .front();
    EXPECT_EQ(log.title, pk);
    EXPECT_EQ(log.records(), 1);
    EXPECT_EQ(log.rows[1], (std::vector<std::string>{"1", "12.03.2005 08:00:00", "166", "70", "0",
                                                     "0", "S1", "1"}));
    EXPECT_STREQ(savedLogModel(log).name, "RVM600PK");
    EXPECT_EQ(savedLogSerialLine(log), "s/n: 4711");
}

// A file that is no text log this program wrote is refused with what is wrong and where.
TEST(LogFileReader, RefusesWhatIsNoSavedLogSayingWhere) {
    const std::string pk = "*Log dump from: RVM600PK - s/n: 4711";
    const std::string whole = block(pk, {kPkTitles, kPkRecord});
    const struct {
        const char* name;
        std::string bytes;
        std::string message;
    } cases[] = {
        {"empty file", "", "f.Log: holds no log (no line starts with \"*Log dump from: \")"},
        {"another text", "Hello\r\n",
         "f.Log: line 1: expected a log's title \"*Log dump from: ...\""},
        {"binary", std::string("*Log dump from: RVM600PK\r\n\x01\x02", 28),
         "f.Log: line 2: not a text log (control byte 0x01)"},
        {"cut in the table", whole.substr(0, whole.find("*** End")),
         "f.Log: line 3: the log of line 1 is cut short (no \"*** End ***\")"},
        {"cut in a row", whole.substr(0, whole.find("\t0\tS1")),
         "f.Log: line 3: a row of 5 cells where the column titles have 8"},
        {"row of another width", block(pk, {kPkTitles, kVxRecord}),
         "f.Log: line 3: a row of 6 cells where the column titles have 8"},
        {"titles of another model", block(pk, {kVxTitles, kVxRecord}),
         "f.Log: line 2: the column titles are not those of a log from RVM600PK"},
        {"titles without their TAB", block(pk, {"#\tDate / Time", kPkRecord}),
         "f.Log: line 2: the column titles are not those of a log from RVM600PK"},
        {"no column titles", block(pk, {kPkRecord}) + block(pk, {kPkTitles}),
         "f.Log: line 3: the log of line 1 has no column titles"},
        {"statistics without their empty line", block(pk, {"Rl statistics:", kPkTitles}),
         "f.Log: line 2: expected an empty line above the column titles"},
        {"a good block, then a cut one", whole + pk + "\r\n" + kPkTitles + "\r\n",
         "f.Log: line 7: the log of line 6 is cut short (no \"*** End ***\")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(refusal(c.bytes), c.message);
    }
}

// Files on disk: a workbook is told by its content, whatever its name; a workbook of another
// program, a damaged one and a file too large are refused.
TEST(LogFileReader, RefusesFilesThatAreNoLogOfThisProgram) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    };
    const auto refusalOf = [](const QString& path) -> std::string {
        try {
            readSavedLogs(path);
        } catch (const AppError& e) {
            return e.what();
        }
        return "accepted";
    };
    const QString missing = dir.filePath(QStringLiteral("missing.Log"));
    EXPECT_EQ(refusalOf(missing),
              missing.toStdString() + ": cannot be opened: No such file or directory");
    const QString zip = write("cut.xls", QByteArray("PK\x03\x04", 4) + QByteArray(100, 'x'));
    EXPECT_EQ(refusalOf(zip),
              zip.toStdString() + ": not a workbook (its zip directory is missing)");
    QFile large(dir.filePath(QStringLiteral("large.Log")));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    ASSERT_TRUE(large.resize(2LL * 1024 * 1024 * 1024));
    large.close();
    EXPECT_EQ(refusalOf(large.fileName()),
              large.fileName().toStdString() + ": too large for a log (2048 MB; at most 256 MB)");
}

// The workbook gives back the texts the table held: numbers as written, escapes, Windows-1252
// bytes, blanks at either end; a workbook of another program is refused at its first cell.
TEST(LogFileReader, ReadsBackTheCellsOfAWorkbook) {
    QTemporaryDir dir;
    const std::vector<std::string> titles = {"#", "Date / Time", "Qd", "Stat", "Seq-Id", "Seq#"};
    const std::vector<std::vector<std::string>> rows = {
        titles,
        {"1", "12.03.2005 08:00:00", "0.00001", "-5", "_x0041_", "12.50"},
        {"2", "12.03.2005 08:00:30", "123456789012345", "0", " caf\xe9 ", "=1+1"},
    };
    LogTable table;
    table.setCols(6);
    table.setRows(3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 6; ++c)
            table.setCell(c, r, rows[static_cast<size_t>(r)][static_cast<size_t>(c)]);
    const QString path = dir.filePath(QStringLiteral("log.xls"));
    saveToWorkbook(TitledTable(table, "*Log dump from: VX40 - s/n: 1"), path, systemFileLayer(),
                   nullptr);
    const std::vector<SavedLog> logs = readSavedLogs(path);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].title, "*Log dump from: VX40 - s/n: 1");
    EXPECT_EQ(logs[0].rows, rows);

    const QString other = dir.filePath(QStringLiteral("budget.xlsx"));
    saveToWorkbook(TitledTable(table, "Budget 2026"), other, systemFileLayer(), nullptr);
    try {
        readSavedLogs(other);
        ADD_FAILURE() << "accepted";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()),
                  other.toStdString() +
                      ": cell A1: the first sheet holds no log's title \"*Log dump from: ...\"");
    }
}
