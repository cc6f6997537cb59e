#include "app/Commands.h"

#include "SimRig.h"
#include "app/HandlerGuard.h"
#include "graph/RequiredClassSettings.h"
#include "link/InstrumentLine.h"
#include "link/InstrumentPort.h"
#include "link/PortMemory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(ResetTable, GivesTheResetLayoutAndState) {
    SimRig rig;
    rig.app.session().serialNo = "4711";
    rig.app.session().dataSaved = false;
    rig.app.table().setCols(6);
    rig.app.table().setRows(40);
    rig.app.table().setCell(3, 5, "x");
    rig.app.table().setMark(3, 5, CellMark::Red);
    resetLog(rig.app);
    const LogTable& t = rig.app.table();
    ASSERT_EQ(t.cols(), 8);
    ASSERT_EQ(t.rows(), 2);
    const char* headers[] = {"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"};
    const int widths[] = {30, 112, 35, 35, 37, 37, 68, 50};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(t.cell(c, 0), headers[c]);
        EXPECT_EQ(t.colWidth(c), widths[c]);
        EXPECT_EQ(t.cell(c, 1), "");
    }
    EXPECT_EQ(rig.app.table().widthSum(), 404);
    EXPECT_FALSE(t.isEnabled());
    EXPECT_FALSE(rig.view.saveAsEnabled);
    EXPECT_STREQ(rig.app.session().model->name, "?");
    EXPECT_STREQ(rig.app.session().model->valueName, "Rl");
    EXPECT_EQ(rig.app.session().logCount, 0);
    EXPECT_TRUE(rig.app.session().dataSaved);
    EXPECT_EQ(rig.app.session().serialNo, "4711");
    EXPECT_EQ(rig.view.progressText, "");
}

TEST(FormCreate, ProductionModeOnlyFromTheFirstArgument) {
    struct Case {
        QStringList args;
        bool production;
    } const cases[] = {
        {{"G"}, true},   {{"graph"}, true}, {{"Graph"}, true},   {{"g", "x"}, true},  {{}, false},
        {{"-G"}, false}, {{"/G"}, false},   {{"x", "G"}, false}, {{"GRAPHS"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        SimRig rig;
        rig.line.closePort();
        startMainWindow(rig.app, c.args);
        EXPECT_EQ(rig.app.session().productionMode, c.production);
        EXPECT_EQ(rig.view.graphVisible, c.production);
        EXPECT_FALSE(rig.view.graphEnabled);
    }
}

TEST(FormCreate, BusyPortBeepsOnceAndDisablesReadLog) {
    SimRig rig;
    rig.line.closePort();
    rig.line.busyPorts.insert("COM1");
    startMainWindow(rig.app, {});
    EXPECT_EQ(rig.dialogs.events,
              (std::vector<std::string>{"beep", "message: Unable to open comport: COM1\n\rPort may "
                                                "be opened by another application"}));
    EXPECT_FALSE(rig.view.readLogEnabled);
    activateMainWindow(rig.app);

    EXPECT_TRUE(choosePort(rig.app, "COM2"));
    EXPECT_TRUE(rig.line.connected());
    EXPECT_TRUE(rig.view.readLogEnabled);

    EXPECT_FALSE(choosePort(rig.app, "COM1"));
    EXPECT_FALSE(rig.line.connected());
    EXPECT_FALSE(rig.view.readLogEnabled);
    EXPECT_EQ(rig.dialogs.events.back(), "message: Error opning: COM1");
}

TEST(FormCloseQuery, AsksOnlyWithUnsavedData) {
    SimRig rig;
    activateMainWindow(rig.app);
    EXPECT_TRUE(mayCloseMainWindow(rig.app));
    EXPECT_TRUE(rig.dialogs.events.empty());

    rig.app.session().dataSaved = false;
    rig.dialogs.yesNoAnswers = {false, true};
    EXPECT_FALSE(mayCloseMainWindow(rig.app));
    EXPECT_TRUE(rig.line.connected());
    EXPECT_TRUE(mayCloseMainWindow(rig.app));
    EXPECT_FALSE(rig.line.connected());
    EXPECT_EQ(rig.dialogs.events,
              (std::vector<std::string>{"yesno: Data not saved - exit anyway?",
                                        "yesno: Data not saved - exit anyway?"}));
}

TEST(HandlerGuard, ShowsEveryErrorWithTheFullStopRule) {
    struct Case {
        std::string text;
        std::string shown;
    } const cases[] = {
        {"No connection with instrument", "No connection with instrument."},
        {"Unable to open com port (win error code: 2)",
         "Unable to open com port (win error code: 2)"},
        {"ends in a stop.", "ends in a stop."},
        {"ends in a dash-", "ends in a dash-"},
        {"ends in 7", "ends in 7."},
        {"caf\xE9", "caf\xE9."},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        FakeDialogs dialogs;
        runGuarded(dialogs, [&] { throw AppError(c.text); });
        EXPECT_EQ(dialogs.events, std::vector<std::string>{"error: " + c.shown});
    }
    FakeDialogs dialogs;
    runGuarded(dialogs, [] { throw PortError(PortOperation::Read, 9); });
    EXPECT_EQ(dialogs.events,
              std::vector<std::string>{"error: ReadFile function failed (win error code: 9)"});
}

TEST(UserSettings, AFileThatIsNoRegularFileIsNeitherReadNorWritten) {
    // Where this process keeps its settings, asked as the program asks it.
    const QSettings probe(QSettings::UserScope, QStringLiteral("probe-org"),
                          QStringLiteral("probe"));
    const QString base = QFileInfo(QFileInfo(probe.fileName()).absolutePath()).absolutePath();
    ASSERT_TRUE(QDir().mkpath(base + "/Virelon"));
    const QString files[] = {base + "/Virelon/Log Dump.conf", base + "/Virelon.conf"};
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        // A named pipe nobody writes: opening it for reading would wait for ever.
        ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        SimRig rig;
        activateMainWindow(rig.app);
        EXPECT_EQ(rig.view.messages,
                  std::vector<std::string>{"Settings neither read nor saved: " +
                                           file.toStdString() + " is not a regular file"});
        SettingsPortMemory memory;
        EXPECT_EQ(memory.lastAnswered(), QString());
        memory.remember(QStringLiteral("COM3"));
        EXPECT_EQ(userRequiredClasses().load(), defaultRequiredClasses());
        userRequiredClasses().save({3, 3});
        EXPECT_FALSE(QFileInfo(file).isFile());
        QFile::remove(file);
    }
    // A port memory of its own file gets the same check.
    const QString pipe = base + "/port.ini";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    SettingsPortMemory own(pipe);
    EXPECT_EQ(own.lastAnswered(), QString());
    own.remember(QStringLiteral("COM3"));
    EXPECT_FALSE(QFileInfo(pipe).isFile());
    QFile::remove(pipe);
    // A regular file again: read and written as before, and nothing is told.
    SettingsPortMemory memory;
    memory.remember(QStringLiteral("COM3"));
    EXPECT_EQ(memory.lastAnswered(), QStringLiteral("COM3"));
    SimRig rig;
    activateMainWindow(rig.app);
    EXPECT_TRUE(rig.view.messages.empty());
}

TEST(PortNames, MessagesNameAPortAsTheSystemNamesIt) {
    // Letters of Windows-1252 and beyond it; the device does not exist.
    const QString name = QString::fromUtf8("gerät-порт");
    SimRig rig;
    rig.line.closePort();
    rig.line.busyPorts.insert(name);
    rig.line.setPort(name);
    startMainWindow(rig.app, {});
    EXPECT_FALSE(choosePort(rig.app, name));
    EXPECT_EQ(rig.dialogs.events,
              (std::vector<std::string>{"beep",
                                        "message: Unable to open comport: " + name.toStdString() +
                                            "\n\rPort may be opened by another application",
                                        "message: Error opning: " + name.toStdString()}));
}

TEST(CommandResult, ReadLogTellsHowItEndedWhatItLeftAndWhatItSaid) {
    struct Case {
        const char* what;
        sim::Scenario scenario;
        bool keepUnsaved; // the table holds unsaved data and the user keeps it
        ReadLogEnd end;
        bool failed;
        bool tableToSave;
    };
    const auto scenario = [](const std::function<void(sim::Scenario&)>& change) {
        sim::Scenario s;
        s.count = 5;
        s.paced = false;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"complete", scenario([](sim::Scenario&) {}), false, ReadLogEnd::Complete, false, true},
        {"fewer than announced", scenario([](sim::Scenario& s) { s.lsCount = 9; }), false,
         ReadLogEnd::Incomplete, false, true},
        {"no instrument", scenario([](sim::Scenario& s) { s.handshake = "silent"; }), false,
         ReadLogEnd::Refused, false, false},
        {"adapter pulled in the stream", scenario([](sim::Scenario& s) {
             s.count = 40;
             s.disconnectAtByte = 400;
         }),
         false, ReadLogEnd::Declined, true, true},
        {"unsaved table kept", scenario([](sim::Scenario&) {}), true, ReadLogEnd::Declined, false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimRig rig(c.scenario);
        activateMainWindow(rig.app);
        rig.app.session().dataSaved = !c.keepUnsaved;
        rig.dialogs.yesNoAnswers = {false};
        const CommandResult result = readLog(rig.app);
        EXPECT_EQ(result.end, c.end);
        EXPECT_EQ(result.failed, c.failed);
        EXPECT_EQ(result.tableToSave, c.tableToSave);
        EXPECT_EQ(result.tableToSave, rig.view.saveAsEnabled && !c.keepUnsaved);
        // The lines of the message list, as the run left it.
        EXPECT_EQ(result.messages, c.keepUnsaved ? std::vector<std::string>{} : rig.view.messages);
        EXPECT_EQ(result.messages.empty(), !c.tableToSave);
        // An error was told in the general box, and only then.
        const bool boxed =
            !rig.dialogs.events.empty() && rig.dialogs.events.back().rfind("error: ", 0) == 0;
        EXPECT_EQ(boxed, c.failed);
    }
}

TEST(CommandResult, StatusDumpTellsHowTheHandshakeEnded) {
    struct Case {
        const char* what;
        const char* handshake;
        bool ok; // the answer to the question
        ReadLogEnd end;
        bool failed;
    } const cases[] = {
        {"shown", "normal", true, ReadLogEnd::Complete, false},
        {"question cancelled", "normal", false, ReadLogEnd::Declined, false},
        {"no answer", "silent", true, ReadLogEnd::NoConnection, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Scenario s;
        s.handshake = c.handshake;
        s.paced = false;
        SimRig rig(s);
        rig.dialogs.okCancelAnswers = {c.ok};
        const CommandResult result = requestStatusDump(rig.app);
        EXPECT_EQ(result.end, c.end);
        EXPECT_EQ(result.failed, c.failed);
        EXPECT_FALSE(result.tableToSave);
        EXPECT_TRUE(result.messages.empty());
        EXPECT_EQ(
            std::count(rig.dialogs.events.begin(), rig.dialogs.events.end(), "modal: StatusDump"),
            c.end == ReadLogEnd::Complete ? 1 : 0);
    }
}
