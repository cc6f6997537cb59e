#include "export/TextLogExport.h"

#include "ExportFixtures.h"
#include "SimRig.h"
#include "app/HandlerGuard.h"
#include "export/SaveAs.h"
#include "export/TitledTable.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace exportfix;

TEST(TextLogBlock, IsExactToTheByte) {
    struct Case {
        const char* name;
        std::vector<std::string> statistics;
        std::vector<std::vector<std::string>> rows;
        std::string expected;
    } const cases[] = {
        {"two records, no statistics",
         {},
         {{"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"},
          {"1", "12.05.26 10:15:02", "250", "0", "A1", "1"},
          {"2", "12.05.26 10:15:40", "252", "16", "A1", "2"}},
         kRvm600Block},
        {"statistics lines each end in CR LF, then one more",
         {"Rl statistics:", "Value 250 Count: 1", "Value 252 Count: 1", "  Rl Dev: 0.8%",
          "Rl V alarm: ---"},
         {{"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"},
          {"1", "12.05.26 10:15:02", "250", "0", "A1", "1"},
          {"2", "12.05.26 10:15:40", "252", "16", "A1", "2"}},
         "*Log dump from: RVM600 - s/n: 4711\r\n"
         "Rl statistics:\r\nValue 250 Count: 1\r\nValue 252 Count: 1\r\n  Rl Dev: 0.8%\r\n"
         "Rl V alarm: ---\r\n"
         "\r\n"
         "#\tDate / Time\tRl\tStat\tSeq-Id\tSeq#\t\r\n"
         "1\t12.05.26 10:15:02\t250\t0\tA1\t1\t\r\n"
         "2\t12.05.26 10:15:40\t252\t16\tA1\t2\t\r\n"
         "*** End ***\r\n\r\n"},
        {"a memo holding one empty line still counts as a report",
         {""},
         {{"#", "Rl"}},
         "*Log dump from: RVM600 - s/n: 4711\r\n\r\n\r\n#\tRl\t\r\n*** End ***\r\n\r\n"},
        {"an empty download gives a line of TABs",
         {},
         {{"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"},
          {"", "", "", "", "", "", "", ""}},
         "*Log dump from: RVM600 - s/n: 4711\r\n"
         "#\tDate / Time\tRl\tQd\tRStat\tQStat\tSeq-Id\tSeq#\t\r\n"
         "\t\t\t\t\t\t\t\t\r\n"
         "*** End ***\r\n\r\n"},
        {"bytes above 127, grave accents and stray line ends as received",
         {"\xB5m \x80"},
         {{"#", "Rl"}, {"1", "`25\xE9"}, {"2", "a\rb\nc"}},
         "*Log dump from: RVM600 - s/n: 4711\r\n\xB5m \x80\r\n\r\n#\tRl\t\r\n1\t`25\xE9\t\r\n"
         "2\ta\rb\nc\t\r\n*** End ***\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig;
        fillRvm600(rig.app);
        fillTable(rig.app.table(), c.rows);
        rig.app.statistics().setLines(c.statistics);
        const TitledTable titled(rig.app.table(), logTitle(rig.app.session()));
        EXPECT_EQ(buildTextLogBlock(titled, rig.app.statistics()), c.expected);
    }
}

TEST(TextLogFile, SaveAsAppendsOneBlockPerSaveAndKeepsTheTable) {
    QTemporaryDir dir;
    const QString path = dir.filePath("RVM4711.Log");
    writeFile(path, "earlier block\r\n\r\n");
    SimRig rig;
    fillRvm600(rig.app);
    rig.app.session().dataSaved = false;
    rig.dialogs.saveAnswer = SaveDialogResult{path, 2};

    saveAs(rig.app, systemFileLayer(), dir.filePath("no-such-folder"));
    saveAs(rig.app, systemFileLayer(), dir.filePath("no-such-folder"));

    EXPECT_EQ(readFile(path), "earlier block\r\n\r\n" + kRvm600Block + kRvm600Block);
    EXPECT_TRUE(rig.app.session().dataSaved);
    EXPECT_EQ(rig.app.session().saveFolder, dir.path() + "/");
    EXPECT_EQ(rig.dialogs.events, (std::vector<std::string>{"save", "save"}));
    EXPECT_EQ(rig.dialogs.busyDepth, 0);
    EXPECT_EQ(rig.dialogs.busyMaxDepth, 1);
    // The title rows never reach the table on screen.
    EXPECT_EQ(rig.app.table().rows(), 3);
    EXPECT_EQ(rig.app.table().cell(0, 0), "#");
    EXPECT_EQ(rig.app.table().cell(2, 2), "252");
    EXPECT_EQ(rig.app.table().mark(2, 2), CellMark::Orange);
}

TEST(TextLogFile, OpenFailuresShowTheErrorNumberAndSaveNothing) {
    struct Case {
        const char* name;
        int injectedOpenError; // 0: the real file system
        std::string expected;
    } const cases[] = {
        {"a folder of that name", 0, "message: Error opening file: " + std::to_string(EISDIR)},
        {"no permission", EACCES, "message: Error opening file: " + std::to_string(EACCES)},
        {"file held by another program", EBUSY,
         "message: Error opening file: " + std::to_string(EBUSY)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("taken.Log");
        if (c.injectedOpenError == 0)
            QDir(dir.path()).mkdir("taken.Log");
        FailingFiles files;
        files.openError = c.injectedOpenError;
        SimRig rig;
        fillRvm600(rig.app);
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{path, 2};

        runGuarded(rig.dialogs, [&] { saveAs(rig.app, files, QString()); });

        EXPECT_EQ(rig.dialogs.events, (std::vector<std::string>{"save", c.expected}));
        EXPECT_FALSE(rig.app.session().dataSaved);
        EXPECT_EQ(rig.dialogs.busyDepth, 0);
        EXPECT_EQ(rig.app.table().rows(), 3);
        EXPECT_EQ(rig.app.table().cell(0, 0), "#");
        EXPECT_EQ(rig.app.table().cell(1, 0), "Date / Time");
    }
}

TEST(TextLogFile, FailedWriteLeavesEarlierBlocksIntact) {
    struct Case {
        const char* name;
        int writeError;
        size_t writeBefore;
        int flushError;
        std::string expectedError;
    } const cases[] = {
        {"disk full halfway", ENOSPC, 40, 0, "error: Error writing file: 28."},
        {"nothing written", EIO, 0, 0, "error: Error writing file: 5."},
        {"flush fails after the whole block", 0, 0, EIO, "error: Error writing file: 5."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("kept.Log");
        const std::string earlier = kRvm600Block + "*Log dump from: VX40 - s/n: 9\r\n\xE9\r\n";
        writeFile(path, earlier);
        FailingFiles files;
        files.writeError = c.writeError;
        files.writeBefore = c.writeBefore;
        files.flushError = c.flushError;
        SimRig rig;
        fillRvm600(rig.app);
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{path, 2};

        runGuarded(rig.dialogs, [&] { saveAs(rig.app, files, QString()); });

        EXPECT_EQ(readFile(path), earlier);
        EXPECT_EQ(rig.dialogs.events, (std::vector<std::string>{"save", c.expectedError}));
        EXPECT_FALSE(rig.app.session().dataSaved);
        EXPECT_EQ(rig.dialogs.busyDepth, 0);
    }
}

TEST(TextLogFile, NameWithoutExtensionWritesNothingAndIsNotSaved) {
    QTemporaryDir dir;
    SimRig rig;
    fillRvm600(rig.app);
    rig.app.session().dataSaved = false;
    rig.dialogs.saveAnswer = SaveDialogResult{dir.filePath("RVM4711"), 2};
    saveAs(rig.app, systemFileLayer(), QString());
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());
    EXPECT_FALSE(rig.app.session().dataSaved);
    EXPECT_EQ(rig.dialogs.events, (std::vector<std::string>{"save"}));
    EXPECT_EQ(rig.dialogs.busyDepth, 0);
}

TEST(SaveTableToFile, ChoosesTheFormatByExtension) {
    QTemporaryDir dir;
    SimRig rig;
    fillRvm600(rig.app);
    rig.app.statistics().setLines({"Rl statistics:"});
    rig.app.session().dataSaved = false;

    saveTableToFile(rig.app, dir.filePath("a.Log"));
    saveTableToFile(rig.app, dir.filePath("b.LOG"));
    saveTableToFile(rig.app, dir.filePath("c.xls"));
    EXPECT_TRUE(rig.app.session().dataSaved);

    const std::string withStats = "*Log dump from: RVM600 - s/n: 4711\r\nRl statistics:\r\n\r\n" +
                                  kRvm600Block.substr(kRvm600Block.find("#\t"));
    EXPECT_EQ(readFile(dir.filePath("a.Log")), withStats);
    EXPECT_EQ(readFile(dir.filePath("b.LOG")), withStats);
    EXPECT_EQ(readFile(dir.filePath("c.xls")).substr(0, 2), "PK");

    rig.app.session().dataSaved = false;
    try {
        saveTableToFile(rig.app, dir.filePath("d.txt"));
        ADD_FAILURE() << "no error for an unknown extension";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "Save file must end in .Log, .xls or .xlsx: " +
                                             dir.filePath("d.txt").toStdString());
    }
    try {
        saveTableToFile(rig.app, dir.filePath("missing/e.Log"));
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const OpenFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Error opening file: " + std::to_string(ENOENT));
    }
    EXPECT_FALSE(rig.app.session().dataSaved);
}
