#include "export/SaveAs.h"

#include "ExportFixtures.h"
#include "SimRig.h"
#include "app/MainWindowLogic.h"
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
        rig.app.session.productionMode = c.production;
        rig.app.session.graphViewed = c.graphViewed;
        rig.app.session.saveFolder = "/last/";
        rig.dialogs.yesNoAnswers = c.answers;
        SaveAs(rig.app, SystemFileLayer(), c.workFolder);
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
        rig.app.session.productionMode = c.production;
        rig.app.session.dataSaved = false;
        rig.app.session.saveFolder = "/last/";
        rig.dialogs.yesNoAnswers = {false};
        rig.dialogs.saveAnswer = std::nullopt;
        SaveAs(rig.app, SystemFileLayer(), QString());
        EXPECT_EQ(rig.dialogs.events, c.events);
        EXPECT_FALSE(rig.app.session.dataSaved);
        EXPECT_EQ(rig.app.session.saveFolder, "/last/");
        EXPECT_EQ(rig.dialogs.busyMaxDepth, 0);
    }
}

TEST(SaveAsDialog, ProductionSaveAppendsToTheSerialNumberFileWithoutAsking) {
    QTemporaryDir dir;
    const QString path = dir.filePath("RVM4711.Log");
    writeFile(path, kRvm600Block);
    SimRig rig;
    fillRvm600(rig.app);
    rig.app.session.productionMode = true;
    rig.app.session.graphViewed = true;
    rig.dialogs.saveAnswer = SaveDialogResult{path, 2};
    SaveAs(rig.app, SystemFileLayer(), dir.path());
    EXPECT_EQ(rig.dialogs.events, (std::vector<std::string>{"save"}));
    EXPECT_EQ(readFile(path), kRvm600Block + kRvm600Block);
    EXPECT_EQ(rig.app.session.saveFolder, dir.path() + "/");
}

TEST(SaveAsDialog, TheFilterEntryDecidesTheFormatNotTheName) {
    QTemporaryDir dir;
    SimRig rig;
    fillRvm600(rig.app);
    rig.app.session.dataSaved = false;
    rig.dialogs.saveAnswer = SaveDialogResult{dir.filePath("RVM4711.Log"), 1};
    SaveAs(rig.app, SystemFileLayer(), QString());
    EXPECT_EQ(readFile(dir.filePath("RVM4711.Log")).substr(0, 2), "PK");
    EXPECT_TRUE(rig.app.session.dataSaved);
    EXPECT_EQ(rig.dialogs.busyDepth, 0);
}

TEST(SaveAsDialog, ReadLogForgetsTheStatisticsOfTheEarlierLog) {
    SimRig rig;
    rig.app.statistics.setLines({"Rl statistics:", "  Rl Dev: 0.8%"});
    resetLog(rig.app);
    EXPECT_TRUE(rig.app.statistics.empty());
}
