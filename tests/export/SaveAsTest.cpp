#include "export/SaveAs.h"

#include "ExportFixtures.h"
#include "SimRig.h"
#include "app/Commands.h"
#include "link/InstrumentLine.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace exportfix;

namespace {
const QStringList kFilters = {"Excel files (*.xls)", "Comma seperated file (*.Log)",
                              "Excel workbook (*.xlsx)"};
const QStringList kSuffixes = {"xls", "Log", "xlsx"};
} // namespace

TEST(SaveAsDialog, SetUpInNormalAndProductionMode) {
    QTemporaryDir dir;
    const QString workFolder = dir.filePath("WorkData");
    QDir(dir.path()).mkdir("WorkData");
    struct Case {
        const char* name;
        bool production;
        bool graphViewed;
        QString workFolder;
        std::deque<bool> answers;
        std::vector<std::string> events;
        QString proposedName;
        int selectedFilter;
        QString folder;
        bool confirmOverwrite;
    } const cases[] = {
        {"normal mode starts in the last folder with an empty name and the last entry",
         false,
         false,
         workFolder,
         {},
         {"save"},
         "",
         0,
         "/last/",
         true},
        {"production mode, graph viewed",
         true,
         true,
         workFolder,
         {},
         {"save"},
         "RVM4711",
         2,
         workFolder,
         false},
        {"production mode, graph not viewed, Yes",
         true,
         false,
         workFolder,
         {true},
         {"yesno: Graph not viewed! - Save any way?", "save"},
         "RVM4711",
         2,
         workFolder,
         false},
        {"production mode without the work folder starts in the last folder",
         true,
         true,
         dir.filePath("missing"),
         {},
         {"save"},
         "RVM4711",
         2,
         "/last/",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig;
        fillRvm600(rig.app);
        rig.app.session().productionMode = c.production;
        rig.app.session().graphViewed = c.graphViewed;
        rig.app.session().saveFolder = "/last/";
        rig.dialogs.yesNoAnswers = c.answers;
        saveAs(rig.app, systemFileLayer(), c.workFolder);
        EXPECT_EQ(rig.dialogs.events, c.events);
        const SaveDialogSetup& s = rig.dialogs.lastSaveSetup;
        EXPECT_EQ(s.filters, kFilters);
        EXPECT_EQ(s.filterSuffixes, kSuffixes);
        EXPECT_EQ(s.defaultSuffix, "Log");
        EXPECT_EQ(s.proposedName, c.proposedName);
        EXPECT_EQ(s.selectedFilter, c.selectedFilter);
        EXPECT_EQ(s.folder, c.folder);
        EXPECT_EQ(s.confirmOverwrite, c.confirmOverwrite);
    }
}

TEST(SaveAsDialog, NoToGraphNotViewedOrCancelChangesNothing) {
    struct Case {
        const char* name;
        bool production;
        std::vector<std::string> events;
    } const cases[] = {
        {"No to the question", true, {"yesno: Graph not viewed! - Save any way?"}},
        {"cancelled dialog", false, {"save"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig;
        fillRvm600(rig.app);
        rig.app.session().productionMode = c.production;
        rig.app.session().dataSaved = false;
        rig.app.session().saveFolder = "/last/";
        rig.dialogs.yesNoAnswers = {false};
        rig.dialogs.saveAnswer = std::nullopt;
        saveAs(rig.app, systemFileLayer(), QString());
        EXPECT_EQ(rig.dialogs.events, c.events);
        EXPECT_FALSE(rig.app.session().dataSaved);
        EXPECT_EQ(rig.app.session().saveFolder, "/last/");
        EXPECT_EQ(rig.dialogs.busyMaxDepth, 0);
    }
}

TEST(SaveAsDialog, ProductionSaveAppendsToTheSerialNumberFileWithoutAsking) {
    QTemporaryDir dir;
    const QString path = dir.filePath("RVM4711.Log");
    writeFile(path, kRvm600Block);
    SimRig rig;
    fillRvm600(rig.app);
    rig.app.session().productionMode = true;
    rig.app.session().graphViewed = true;
    rig.dialogs.saveAnswer = SaveDialogResult{path, 2};
    saveAs(rig.app, systemFileLayer(), dir.path());
    EXPECT_EQ(rig.dialogs.events, (std::vector<std::string>{"save"}));
    EXPECT_EQ(readFile(path), kRvm600Block + kRvm600Block);
    EXPECT_EQ(rig.app.session().saveFolder, dir.path() + "/");
}

TEST(SaveAsDialog, ATypedEndingDecidesTheFormatElseTheEntry) {
    const std::string earlier = kRvm600Block;
    struct Case {
        const char* name;
        QString file;
        int entry;
        bool workbook; // else a text block after the earlier one
    } const cases[] = {
        {"a text log under the workbook entry", "weekly.Log", 1, false},
        {"a text log in capitals under the xlsx entry", "WEEKLY.LOG", 3, false},
        {"a workbook under the text log entry", "RVM4711.xls", 2, true},
        {"an xlsx under the text log entry", "book.XLSX", 2, true},
        {"another ending: the text log entry decides", "notes.txt", 2, false},
        {"another ending: the workbook entry decides", "notes.txt", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(c.file);
        writeFile(path, earlier);
        SimRig rig;
        fillRvm600(rig.app);
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{path, c.entry};
        saveAs(rig.app, systemFileLayer(), QString());
        const std::string saved = readFile(path);
        if (c.workbook)
            EXPECT_EQ(saved.substr(0, 2), "PK");
        else
            EXPECT_EQ(saved, earlier + kRvm600Block);
        EXPECT_TRUE(rig.app.session().dataSaved);
        EXPECT_EQ(rig.dialogs.busyDepth, 0);
    }
}

TEST(SaveAsDialog, ReadLogForgetsTheStatisticsOfTheEarlierLog) {
    SimRig rig;
    rig.app.statistics().setLines({"Rl statistics:", "  Rl Dev: 0.8%"});
    resetLog(rig.app);
    EXPECT_TRUE(rig.app.statistics().empty());
}

TEST(SaveAsDialog, SavesFromTheTableSessionAndMemoAlone) {
    QTemporaryDir dir;
    LogTable table;
    fillTable(table, {{"#", "Rl"}, {"1", "250"}});
    Session session;
    session.model = &modelNamed("RVM600");
    session.serialLine = "s/n: 9";
    TextMemo statistics;
    statistics.setLines({"Rl statistics:"});
    FakeDialogs dialogs;
    dialogs.saveAnswer = SaveDialogResult{dir.filePath("a.Log"), 2};

    saveAs({table, session, statistics, nullptr}, dialogs, systemFileLayer(), QString());
    EXPECT_EQ(readFile(dir.filePath("a.Log")), "*Log dump from: RVM600 - s/n: 9\r\n"
                                               "Rl statistics:\r\n\r\n"
                                               "#\tRl\t\r\n1\t250\t\r\n*** End ***\r\n\r\n");
    EXPECT_TRUE(session.dataSaved);

    // The section report is asked for a workbook only, with the classes the save was given;
    // without one the workbook has no "Sections" sheet.
    struct Case {
        const char* name;
        bool withSections;
    } const cases[] = {{"with a section report", true}, {"without", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RequiredClasses> asked;
        SaveSource source{table, session, statistics, nullptr};
        if (c.withSections)
            source.sections = [&](const RequiredClasses& required) {
                asked.push_back(required);
                return SectionReport{};
            };
        const QString path = dir.filePath(QString("b-%1.xlsx").arg(c.withSections));
        const RequiredClasses required{3, 1};
        saveTableToFile(source, path, systemFileLayer(), &required);
        EXPECT_EQ(asked, c.withSections ? std::vector<RequiredClasses>{required}
                                        : std::vector<RequiredClasses>{});
        EXPECT_EQ(readFile(path).find("xl/worksheets/sheet2.xml") != std::string::npos,
                  c.withSections);
    }
}
