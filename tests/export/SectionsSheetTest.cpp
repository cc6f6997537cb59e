#include "ExportFixtures.h"
#include "SimRig.h"
#include "export/SaveAs.h"
#include "export/TitledTable.h"
#include "export/WorkbookExport.h"
#include "graph/RequiredClassSettings.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace exportfix;

namespace {

using Sheet = std::vector<std::vector<std::string>>;

// Every sheet of a workbook by name, as an independent reader sees it: "n:<value>" for a number,
// "s:<text>" for a text, "" for an empty cell.
std::map<std::string, Sheet> readSheets(const QString& path, std::vector<std::string>& names) {
    static const char* const script = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(open(sys.argv[1], 'rb'))
def show(c):
    if c.value is None: return ''
    if c.data_type == 'n': return 'n:' + repr(c.value)
    return c.data_type + ':' + str(c.value)
print(json.dumps([[ws.title, [[show(c) for c in row] for row in ws.iter_rows(min_row=1,
    max_row=ws.max_row, max_col=ws.max_column)]] for ws in wb.worksheets]))
)";
    const QString python = QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    QProcess p;
    p.start(python, {"-c", script, path});
    std::map<std::string, Sheet> sheets;
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        ADD_FAILURE() << p.readAllStandardError().toStdString();
        return sheets;
    }
    for (const QJsonValue& sheet : QJsonDocument::fromJson(p.readAllStandardOutput()).array()) {
        const std::string name = sheet.toArray()[0].toString().toStdString();
        names.push_back(name);
        for (const QJsonValue& row : sheet.toArray()[1].toArray()) {
            std::vector<std::string> cells;
            for (const QJsonValue& cell : row.toArray())
                cells.push_back(cell.toString().toStdString());
            sheets[name].push_back(cells);
        }
    }
    return sheets;
}

const std::vector<std::string> kTitles = {
    "s:series", "s:section", "s:used",      "s:left_out", "s:mean",     "s:sd",  "s:min",
    "s:max",    "s:below",   "s:below_pct", "s:class",    "s:required", "s:pass"};

// Every test starts with empty user settings in a folder of its own.
class SectionsSheet : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_settings.isValid());
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, m_settings.path());
    }

    QTemporaryDir m_settings;
};

} // namespace

TEST_F(SectionsSheet, SecondSheetBesideAnUnchangedFirstOne) {
    struct Case {
        const char* name;
        std::function<void(App&)> fill;
        const char* file;
        int filterEntry;
        Sheet sections;
    } const cases[] = {
        {"RVM600 by the first entry",
         fillRvm600,
         "RVM4711.xls",
         1,
         {kTitles,
          {"s:Rl", "s:A1", "n:2", "n:0", "n:251", "n:1.414213562373095", "n:250", "n:252", "n:0",
           "n:0", "s:R4", "s:R2", "s:yes"},
          {"s:Rl", "s:ALL", "n:2", "n:0", "n:251", "n:1.414213562373095", "n:250", "n:252", "n:0",
           "n:0", "s:R4", "s:R2", "s:yes"}}},
        {"VX40 by the third entry",
         [](App& app) {
             app.session.model = &modelNamed("VX40");
             app.session.serialLine = "s/n: 12";
             fillTable(app.table, {{"#", "Date / Time", "Qd", "Stat", "Seq-Id", "Seq#"},
                                   {"1", "d", "95", "0", "7", "1"},
                                   {"2", "d", "96", "1", "7", "2"},
                                   {"", "", "", "", "", ""}});
         },
         "VX12.xlsx",
         3,
         {kTitles,
          {"s:Qd", "s:7", "n:1", "n:1", "n:95", "", "n:95", "n:95", "n:1", "n:100", "s:Q1", "s:Q2",
           "s:no"},
          {"s:Qd", "s:ALL", "n:1", "n:1", "n:95", "", "n:95", "n:95", "n:1", "n:100", "s:Q1",
           "s:Q2", "s:no"}}},
        {"a table without model",
         [](App& app) {
             fillTable(app.table,
                       {{"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"}});
         },
         "empty.xlsx",
         3,
         {kTitles}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        SimRig rig;
        c.fill(rig.app);
        const QString path = dir.filePath(c.file);
        rig.dialogs.saveAnswer = SaveDialogResult{path, c.filterEntry};
        saveAs(rig.app, systemFileLayer(), QString());
        EXPECT_TRUE(rig.app.session.dataSaved);

        // The first sheet holds cell for cell what the workbook without sections holds.
        const QString plain = dir.filePath("plain.xls");
        saveToWorkbook(TitledTable(rig.app.table, logTitle(rig.app.session)), plain);
        std::vector<std::string> names;
        std::vector<std::string> plainNames;
        auto sheets = readSheets(path, names);
        auto plainSheets = readSheets(plain, plainNames);
        EXPECT_EQ(names, (std::vector<std::string>{"Sheet1", "Sections"}));
        EXPECT_EQ(plainNames, std::vector<std::string>{"Sheet1"});
        EXPECT_EQ(sheets["Sheet1"], plainSheets["Sheet1"]);
        EXPECT_EQ(sheets["Sections"], c.sections);
    }
}

TEST_F(SectionsSheet, TheUsersRequiredClassesAndTheCommandLineSuffix) {
    QTemporaryDir dir;
    SimRig rig;
    fillRvm600(rig.app);
    saveRequiredClasses({5, 2});
    const QString path = dir.filePath("log.XLSX");
    saveTableToFile(rig.app, path);
    std::vector<std::string> names;
    auto sheets = readSheets(path, names);
    ASSERT_EQ(sheets["Sections"].size(), 3u);
    EXPECT_EQ(sheets["Sections"][2][8], "n:2");
    EXPECT_EQ(sheets["Sections"][2][11], "s:R5");
    EXPECT_EQ(sheets["Sections"][2][12], "s:no");
}

TEST_F(SectionsSheet, TheTextLogStaysAsItWas) {
    QTemporaryDir dir;
    SimRig rig;
    fillRvm600(rig.app);
    const QString path = dir.filePath("RVM4711.Log");
    rig.dialogs.saveAnswer = SaveDialogResult{path, 2};
    saveAs(rig.app, systemFileLayer(), QString());
    saveTableToFile(rig.app, path);
    EXPECT_EQ(readFile(path), kRvm600Block + kRvm600Block);
}
