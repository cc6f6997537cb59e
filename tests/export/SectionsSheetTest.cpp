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
    "s:Series", "s:Section",     "s:Readings used", "s:Left out", "s:Mean",     "s:SD",    "s:Min",
    "s:Max",    "s:Below level", "s:Below level %", "s:Class",    "s:Required", "s:Result"};

// How a sheet is laid out for reading and printing, as an independent reader sees it.
QJsonObject readLayout(const QString& path, const QString& sheet) {
    static const char* const script = R"(
import json, sys, openpyxl
from openpyxl.utils import get_column_letter
ws = openpyxl.load_workbook(open(sys.argv[1], 'rb'))[sys.argv[2]]
setup = ws.page_setup
print(json.dumps({
    'bold': [c.font.b for c in ws[1]],
    'align': [c.alignment.horizontal or '' for c in ws[1]],
    'paper': setup.paperSize,
    'formats': [[c.number_format for c in row] for row in ws.iter_rows(min_row=2)],
    'widths': [ws.column_dimensions[get_column_letter(i)].width
               for i in range(1, ws.max_column + 1)],
    'texts': [[len(c.value) if c.data_type == 's' else 0 for c in col]
              for col in ws.iter_cols()],
    'freeze': ws.freeze_panes, 'orientation': setup.orientation,
    'fitToWidth': 1 if setup.fitToWidth is None else setup.fitToWidth,  # 1 when not stored
    'fitToHeight': setup.fitToHeight,
    'fitToPage': ws.sheet_properties.pageSetUpPr.fitToPage if ws.sheet_properties.pageSetUpPr
                 else False,
    'titleRows': ws.print_title_rows}))
)";
    const QString python = QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    QProcess p;
    p.start(python, {"-c", script, path, sheet});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        ADD_FAILURE() << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

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
             app.session().model = &modelNamed("VX40");
             app.session().serialLine = "s/n: 12";
             fillTable(app.table(), {{"#", "Date / Time", "Qd", "Stat", "Seq-Id", "Seq#"},
                                     {"1", "d", "95", "0", "7", "1"},
                                     {"2", "d", "96", "1", "7", "2"},
                                     {"", "", "", "", "", ""}});
         },
         "VX12.xlsx",
         3,
         {kTitles,
          {"s:Qd", "s:7", "n:1", "n:1", "n:95", "", "n:95", "n:95", "n:1", "n:1", "s:Q1", "s:Q2",
           "s:no"},
          {"s:Qd", "s:ALL", "n:1", "n:1", "n:95", "", "n:95", "n:95", "n:1", "n:1", "s:Q1", "s:Q2",
           "s:no"}}},
        {"a section without readings",
         [](App& app) {
             app.session().model = &modelNamed("VX40");
             app.session().serialLine = "s/n: 12";
             fillTable(app.table(), {{"#", "Date / Time", "Qd", "Stat", "Seq-Id", "Seq#"},
                                     {"1", "d", "120", "0", "7", "1"},
                                     {"2", "d", "90", "0", "7", "2"},
                                     {"3", "d", "abc", "0", "8", "1"}});
         },
         "VX12.xlsx",
         3,
         {kTitles,
          {"s:Qd", "s:7", "n:2", "n:0", "n:105", "n:21.21320343559643", "n:90", "n:120", "n:1",
           "n:0.5", "s:Q2", "s:Q2", "s:yes"},
          {"s:Qd", "s:8", "n:0", "n:1", "", "", "", "", "", "", "", "s:Q2", "s:no"},
          {"s:Qd", "s:ALL", "n:2", "n:1", "n:105", "n:21.21320343559643", "n:90", "n:120", "n:1",
           "n:0.5", "s:Q2", "s:Q2", "s:yes"}}},
        {"a table without model",
         [](App& app) {
             fillTable(app.table(),
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
        EXPECT_TRUE(rig.app.session().dataSaved);

        // The first sheet holds cell for cell what the workbook without sections holds.
        const QString plain = dir.filePath("plain.xls");
        saveToWorkbook(TitledTable(rig.app.table(), logTitle(rig.app.session())), plain);
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
    userRequiredClasses().save({5, 2});
    const QString path = dir.filePath("log.XLSX");
    saveTableToFile(rig.app, path);
    std::vector<std::string> names;
    auto sheets = readSheets(path, names);
    ASSERT_EQ(sheets["Sections"].size(), 3u);
    EXPECT_EQ(sheets["Sections"][2][8], "n:2");
    EXPECT_EQ(sheets["Sections"][2][11], "s:R5");
    EXPECT_EQ(sheets["Sections"][2][12], "s:no");
}

TEST_F(SectionsSheet, LaidOutForReadingAndPrinting) {
    QTemporaryDir dir;
    SimRig rig;
    fillRvm600(rig.app);
    const QString path = dir.filePath("log.xlsx");
    saveTableToFile(rig.app, path);
    const QJsonObject sheet = readLayout(path, "Sections");
    ASSERT_FALSE(sheet.isEmpty());
    EXPECT_EQ(sheet["bold"].toArray(), QJsonArray({true, true, true, true, true, true, true, true,
                                                   true, true, true, true, true}));
    EXPECT_EQ(sheet["align"].toArray(),
              QJsonArray({"", "", "right", "right", "right", "right", "right", "right", "right",
                          "right", "", "", ""}));
    EXPECT_EQ(sheet["paper"].toInt(), 9); // A4
    EXPECT_EQ(sheet["freeze"].toString(), "A2");
    EXPECT_EQ(sheet["titleRows"].toString(), "$1:$1");
    EXPECT_EQ(sheet["orientation"].toString(), "landscape");
    EXPECT_TRUE(sheet["fitToPage"].toBool());
    EXPECT_EQ(sheet["fitToWidth"].toInt(), 1);
    EXPECT_EQ(sheet["fitToHeight"].toInt(), 0);
    // Mean and SD with one decimal, the share as a percentage; counts as they are.
    const QJsonArray formats = sheet["formats"].toArray()[0].toArray();
    const char* const expected[] = {"General", "General", "General", "General", "0.0",
                                    "0.0",     "General", "General", "General", "0.0%",
                                    "General", "General", "General"};
    for (int col = 0; col < 13; ++col)
        EXPECT_EQ(formats[col].toString().toStdString(), expected[col]) << col;

    // Every column of both sheets is wider than its longest text (the title above the table
    // runs over the empty cells beside it; the figures are short).
    for (const char* name : {"Sheet1", "Sections"}) {
        SCOPED_TRACE(name);
        const QJsonObject layout = readLayout(path, name);
        const QJsonArray widths = layout["widths"].toArray();
        const QJsonArray texts = layout["texts"].toArray();
        ASSERT_EQ(widths.size(), texts.size());
        for (qsizetype col = 0; col < widths.size(); ++col) {
            const QJsonArray lengths = texts[col].toArray();
            int longest = 0;
            for (qsizetype row = std::string(name) == "Sheet1" ? 2 : 0; row < lengths.size(); ++row)
                longest = std::max(longest, lengths[row].toInt());
            EXPECT_GT(widths[col].toDouble(), longest) << col;
        }
    }
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
