#include "export/WorkbookExport.h"

#include "ExportFixtures.h"
#include "SimRig.h"
#include "app/HandlerGuard.h"
#include "export/SaveAs.h"
#include "export/TextLogExport.h"
#include "export/TitledTable.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using namespace exportfix;

namespace {

// The workbook as an independent reader sees it: the first sheet's cells row by row, "" for an
// empty cell, "n:<value>" for a number and "s:<text>" for a text; plus the sheet count.
struct ReadBack {
    int sheets = 0;
    std::string sharedStrings; // as stored, for what the reader decodes differently
    std::vector<std::vector<std::string>> rows;
    std::string error;
};

ReadBack readWorkbook(const QString& path) {
    // The reader refuses names ending in ".xls", so it gets the open file instead.
    static const char* const script = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(open(sys.argv[1], 'rb'))
ws = wb.worksheets[0]
def show(c):
    if c.value is None: return ''
    if c.data_type == 'n': return 'n:' + repr(c.value)
    return c.data_type + ':' + str(c.value)
rows = [[show(c) for c in row] for row in ws.iter_rows(min_row=1, max_row=ws.max_row, max_col=ws.max_column)]
import zipfile
strings = zipfile.ZipFile(sys.argv[1]).read('xl/sharedStrings.xml').decode('utf-8')
print(json.dumps({'sheets': len(wb.worksheets), 'rows': rows, 'strings': strings}))
)";
    const QString python = QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    QProcess p;
    p.start(python, {"-c", script, path});
    ReadBack result;
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        result.error = p.readAllStandardError().toStdString();
        return result;
    }
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    result.sheets = o["sheets"].toInt();
    result.sharedStrings = o["strings"].toString().toStdString();
    for (const QJsonValue& row : o["rows"].toArray()) {
        std::vector<std::string> cells;
        for (const QJsonValue& cell : row.toArray())
            cells.push_back(cell.toString().toStdString());
        result.rows.push_back(cells);
    }
    return result;
}

void fillMixedTable(App& app) {
    app.session().model = &modelNamed("RVM600PK");
    app.session().serialLine = "s/n: 4711";
    fillTable(app.table(),
              {{"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"},
               {"1", "12.05.26 10:15:02", "250", "-3.25", "0", "007", "1e3", "+5"},
               {"2", " 12", "1.50", "0.5", "-0", "<b>12</b>", "a\r\nb", "\xB5m \x80 `"},
               {"3", "", "0", "_x0041_", "12345678901234567", "&amp;", "1.", "-12"}});
}

} // namespace

TEST(WorkbookNames, ColumnNamesAndRanges) {
    const std::pair<int, const char*> columns[] = {{1, "A"},   {6, "F"},    {8, "H"},
                                                   {26, "Z"},  {27, "AA"},  {52, "AZ"},
                                                   {53, "BA"}, {702, "ZZ"}, {703, "AAA"}};
    for (const auto& [n, name] : columns) {
        SCOPED_TRACE(n);
        EXPECT_EQ(columnName(n), name);
    }
    EXPECT_EQ(workbookRange(6, 8), "A1:H6");
    EXPECT_EQ(workbookRange(12, 6), "A1:F12");
}

TEST(WorkbookNumbers, OnlyTextsThatShowBackTheSameBecomeNumbers) {
    const std::pair<const char*, bool> cases[] = {
        {"0", true},
        {"250", true},
        {"-12", true},
        {"0.5", true},
        {"-3.25", true},
        {"0.05", true},
        {"123456789012345", true},
        {"007", false},
        {"1e3", false},
        {"+5", false},
        {" 12", false},
        {"12 ", false},
        {"1.50", false},
        {"1.0", false},
        {"-0", false},
        {"1.", false},
        {".5", false},
        {"-", false},
        {"", false},
        {"1,5", false},
        {"12.05.26", false},
        {"10:15", false},
        {"0x10", false},
        {"1234567890123456", false},
        {"0.0000000000000001", true},
    };
    for (const auto& [text, number] : cases) {
        SCOPED_TRACE(text);
        double value = -1;
        EXPECT_EQ(storedAsNumber(text, value), number);
        if (number) {
            EXPECT_EQ(value, QByteArray(text).toDouble());
        }
    }
}

TEST(Workbook, ReadBackHoldsTheTableFromA1) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.xls");
    SimRig rig;
    fillMixedTable(rig.app);

    const std::string range =
        saveToWorkbook(TitledTable(rig.app.table(), logTitle(rig.app.session())), path);
    EXPECT_EQ(range, "A1:H6");

    const ReadBack wb = readWorkbook(path);
    ASSERT_EQ(wb.error, "");
    EXPECT_EQ(wb.sheets, 1);
    const std::vector<std::vector<std::string>> expected = {
        {"s:*Log dump from: RVM600PK - s/n: 4711", "", "", "", "", "", "", ""},
        {"", "", "", "", "", "", "", ""},
        {"s:#", "s:Date / Time", "s:Rl", "s:Qd", "s:RStat", "s:QStat", "s:Seq-Id", "s:Seq#"},
        {"n:1", "s:12.05.26 10:15:02", "n:250", "n:-3.25", "n:0", "s:007", "s:1e3", "s:+5"},
        {"n:2", "s: 12", "s:1.50", "n:0.5", "s:-0", "s:<b>12</b>", "s:a\nb",
         "s:\xC2\xB5m \xE2\x82\xAC `"},
        {"n:3", "", "n:0", "s:_x0041_", "s:12345678901234567", "s:&amp;", "s:1.", "n:-12"},
    };
    ASSERT_EQ(wb.rows.size(), expected.size());
    for (size_t r = 0; r < expected.size(); ++r) {
        SCOPED_TRACE(r + 1);
        EXPECT_EQ(wb.rows[r], expected[r]);
    }
    // Spreadsheet programs decode "_xHHHH_"; the cell's own text must survive that.
    EXPECT_NE(wb.sharedStrings.find("<t>_x005F_x0041_</t>"), std::string::npos);
    EXPECT_EQ(filesIn(dir.path()), QStringList{"log.xls"});
    // The on-screen table is as before.
    EXPECT_EQ(rig.app.table().rows(), 4);
    EXPECT_EQ(rig.app.table().cell(0, 0), "#");
}

TEST(Workbook, LongCellsAreCutAtTheSheetLimit) {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.xls");
    SimRig rig;
    fillTable(rig.app.table(),
              {{"#", "Rl"}, {std::string(40000, 'x'), std::string(32767, '\xE9')}});
    saveToWorkbook(TitledTable(rig.app.table(), "t"), path);
    const ReadBack wb = readWorkbook(path);
    ASSERT_EQ(wb.error, "");
    ASSERT_EQ(wb.rows.size(), 4u);
    EXPECT_EQ(wb.rows[3][0], "s:" + std::string(32767, 'x'));
    EXPECT_EQ(QString::fromStdString(wb.rows[3][1]).size(), 2 + 32767);
}

TEST(Workbook, ReplacesAnExistingFileOnlyWhenComplete) {
    QTemporaryDir dir;
    const QString path = dir.filePath("RVM4711.xls");
    SimRig rig;
    fillMixedTable(rig.app);
    saveToWorkbook(TitledTable(rig.app.table(), "old"), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const std::string old = readFile(path);

    // A table wider than a sheet fails inside the writer; a missing folder fails at the start.
    struct Case {
        const char* name;
        QString target;
        int cols;
        std::string expected;
    } const failures[] = {
        {"too many columns", path, 16385, "Worksheet row or column index out of range."},
        {"missing folder", dir.filePath("missing/RVM4711.xls"), 8,
         "Error creating output xlsx file. Usually a permissions error."},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.name);
        SimRig wide;
        fillTable(wide.app.table(), {{"#"}});
        wide.app.table().setCols(c.cols);
        wide.app.table().setCell(c.cols - 1, 0, "x");
        wide.dialogs.saveAnswer = SaveDialogResult{c.target, 1};
        wide.app.session().dataSaved = false;
        runGuarded(wide.dialogs, [&] { saveAs(wide.app, systemFileLayer(), QString()); });
        EXPECT_EQ(wide.dialogs.events, (std::vector<std::string>{"save", "error: " + c.expected}));
        EXPECT_FALSE(wide.app.session().dataSaved);
        EXPECT_EQ(wide.dialogs.busyDepth, 0);
        EXPECT_EQ(readFile(path), old);
        EXPECT_EQ(filesIn(dir.path()), QStringList{"RVM4711.xls"});
    }

    rig.app.table().setCell(2, 1, "999");
    saveToWorkbook(TitledTable(rig.app.table(), "new"), path);
    const ReadBack wb = readWorkbook(path);
    ASSERT_EQ(wb.error, "");
    EXPECT_EQ(wb.rows[0][0], "s:new");
    EXPECT_EQ(wb.rows[3][2], "n:999");
    EXPECT_EQ(QFile::permissions(path) & 0x7077,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    EXPECT_EQ(filesIn(dir.path()), QStringList{"RVM4711.xls"});
}

TEST(ZipWalk, VisitsThePartsInOrderAndTellsADamagedDirectory) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.xlsx");
    SimRig rig;
    fillMixedTable(rig.app);
    saveToWorkbook(TitledTable(rig.app.table(), logTitle(rig.app.session())), path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray zip = file.readAll();
    const qsizetype end = zip.size() - 22; // no zip comment

    std::vector<QByteArray> names;
    EXPECT_TRUE(walkZip(zip, end, [&](const ZipEntry& e) {
        EXPECT_GE(e.data, 0) << e.name.constData();
        names.push_back(e.name);
        return true;
    }));
    EXPECT_NE(std::find(names.begin(), names.end(), "xl/worksheets/sheet1.xml"), names.end());
    int visited = 0;
    EXPECT_TRUE(walkZip(zip, end, [&](const ZipEntry&) { return ++visited < 2; }));
    EXPECT_EQ(visited, 2);

    // A directory that does not start where the end record says is damaged.
    QByteArray moved = zip;
    moved[end + 16] = static_cast<char>(moved[end + 16] + 1);
    EXPECT_FALSE(walkZip(moved, end, [](const ZipEntry&) { return true; }));
    // A part whose local header is gone has no data; the walk goes on.
    QByteArray noHeader = zip;
    noHeader[0] = 'X';
    std::vector<qsizetype> data;
    EXPECT_TRUE(walkZip(noHeader, end, [&](const ZipEntry& e) {
        data.push_back(e.data);
        return true;
    }));
    ASSERT_EQ(data.size(), names.size());
    EXPECT_EQ(data.front(), -1);
    EXPECT_EQ(std::count(data.begin(), data.end(), -1), 1);
}
