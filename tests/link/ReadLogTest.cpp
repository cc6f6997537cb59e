#include "link/ReadLog.h"

#include "SimRig.h"
#include "app/Commands.h"
#include "app/HandlerGuard.h"
#include "link/InstrumentLine.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

sim::Scenario scenario(const std::string& model = "RVM600", int count = 25) {
    sim::Scenario s;
    s.model = model;
    s.count = count;
    return s;
}

// A rig after the main window's activation, with "Read log" clicked once through the guard.
struct ReadRun {
    explicit ReadRun(sim::Scenario s, bool run = true) : rig(std::move(s)) {
        activateMainWindow(rig.app);
        rig.app.session().graphViewed = true;
        if (run)
            click();
    }
    void click() {
        runGuarded(rig.app.dialogs(), [&] { end = readLog(rig.app).end; });
    }
    Lines commands() const {
        Lines c;
        for (const auto& r : rig.instrument.received())
            c.push_back(r.line);
        return c;
    }
    std::vector<std::string> headers() const {
        std::vector<std::string> h;
        for (int c = 0; c < rig.app.table().cols(); ++c)
            h.push_back(rig.app.table().cell(c, 0));
        return h;
    }
    SimRig rig;
    ReadLogEnd end = ReadLogEnd::Declined;
};

const Lines kResetHeaders = {"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"};

// The row cells a record line of the simulator gives.
Lines rowOf(const std::string& record, int number) {
    Lines fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = record.find('\t', start);
        fields.push_back(record.substr(start, tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    Lines row = {std::to_string(number)};
    row.insert(row.end(), fields.begin(), fields.end());
    return row;
}

Lines rowCells(const LogTable& t, int row, int cols) {
    Lines cells;
    for (int c = 0; c < cols; ++c)
        cells.push_back(t.cell(c, row));
    return cells;
}

} // namespace

TEST(ReadLog, ReadsEveryModelIntoItsLayout) {
    struct Case {
        const char* model;
        Lines headers;
        int cols;
    } const cases[] = {
        {"RVM600PK", kResetHeaders, 8},
        {"VX40", {"#", "Date / Time", "Qd", "Stat", "Seq-Id", "Seq#"}, 6},
        {"RVM600P", {"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"}, 6},
        {"RVM600", {"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"}, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        ReadRun run(scenario(c.model, 40));
        const App& app = run.rig.app;
        const auto& records = run.rig.instrument.scenario().records;
        EXPECT_EQ(run.end, ReadLogEnd::Complete);
        EXPECT_TRUE(run.rig.dialogs.events.empty());
        EXPECT_STREQ(app.session().model->name, c.model);
        EXPECT_EQ(run.headers(), c.headers);
        ASSERT_EQ(app.table().rows(), 41);
        for (int i = 0; i < 40; ++i)
            ASSERT_EQ(rowCells(app.table(), i + 1, c.cols),
                      rowOf(records[static_cast<size_t>(i)], i + 1))
                << i;
        EXPECT_EQ(app.session().logCount, 40);
        EXPECT_EQ(app.session().serialLine, "s/n: 4711");
        EXPECT_EQ(app.session().serialNo, "4711");
        EXPECT_EQ(run.rig.view.messages, (Lines{app.session().identLine, "s/n: 4711"}));
        EXPECT_EQ(run.rig.view.progressText, "40 of 40");
        EXPECT_EQ(run.rig.view.progressMax, 40);
        EXPECT_EQ(run.rig.view.progress, 40);
        EXPECT_TRUE(app.table().isEnabled());
        EXPECT_FALSE(app.session().dataSaved);
        EXPECT_FALSE(app.session().graphViewed);
        EXPECT_TRUE(run.rig.view.readLogEnabled);
        EXPECT_TRUE(run.rig.view.graphEnabled);
        EXPECT_TRUE(run.rig.view.saveAsEnabled);
        EXPECT_EQ(app.table().widthSum(), c.cols == 8 ? 404 : 319);
        EXPECT_EQ(run.rig.dialogs.busyDepth, 0);
        EXPECT_EQ(run.rig.dialogs.busyMaxDepth, 1);
    }
}

TEST(ReadLog, SendsTheDialogueWithItsWaits) {
    struct Sent {
        const char* command;
        double atMs;
    };
    struct Case {
        const char* name;
        sim::Scenario scenario;
        std::vector<Sent> sent;
    };
    sim::Scenario normal = scenario();
    sim::Scenario fvTwice = scenario();
    fvTwice.fvFailures = 2;
    sim::Scenario silent = scenario();
    silent.handshake = "silent";
    sim::Scenario wakeUpSilent = scenario();
    wakeUpSilent.answeredHandshakes = 2;
    const Case cases[] = {
        // Wait 200 ms, then each read finds its reply after one 50 ms poll step; the
        // identification text is read until 500 ms of silence.
        {"normal",
         normal,
         {{"", 0}, {"", 200}, {"LS", 250}, {"FV", 500}, {"", 1250}, {"LE", 1300}}},
        {"two identification failures",
         fvTwice,
         {{"", 0},
          {"", 200},
          {"LS", 250},
          {"FV", 500},
          {"FV", 550},
          {"FV", 600},
          {"", 1350},
          {"LE", 1400}}},
        {"silent", silent, {{"", 0}, {"", 700}}},
        {"no wake-up answer",
         wakeUpSilent,
         {{"", 0}, {"", 200}, {"LS", 250}, {"FV", 500}, {"", 1250}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReadRun run(c.scenario);
        const auto& received = run.rig.instrument.received();
        ASSERT_EQ(received.size(), c.sent.size());
        for (size_t i = 0; i < received.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(received[i].line, c.sent[i].command);
            const double atMs = std::chrono::duration<double, std::milli>(received[i].time).count();
            EXPECT_NEAR(atMs, c.sent[i].atMs, 1.0);
        }
    }
    // Refused handshake: the 200 ms wait and two reads of 500 ms each.
    ReadRun run(silent);
    EXPECT_NEAR(run.rig.elapsedMs(), 1200.0, 1.0);
    EXPECT_EQ(run.rig.line.written, "\r\n\r\n");
}

TEST(ReadLog, OutcomesOfTheDialogue) {
    struct Case {
        const char* name;
        std::function<void(sim::Scenario&)> setup;
        Lines events;
        ReadLogEnd end;
        int logCount;
        Lines messages;
        const char* focus;
    };
    const Case cases[] = {
        {"silent handshake",
         [](sim::Scenario& s) { s.handshake = "silent"; },
         {"message: No connection with instrument"},
         ReadLogEnd::Refused,
         0,
         {},
         "ReadLog"},
        {"wrong handshake",
         [](sim::Scenario& s) { s.handshake = "wrong"; },
         {"message: No connection with instrument"},
         ReadLogEnd::Refused,
         0,
         {},
         "ReadLog"},
        {"bad log status",
         [](sim::Scenario& s) { s.lsForm = "bad"; },
         {"message: Incorrect data recieved from \"Log Status\"", "message: No data in log"},
         ReadLogEnd::Refused,
         -1,
         {"OK"},
         "ReadLog"},
        {"log status without digits",
         [](sim::Scenario& s) { s.lsForm = "nodigits"; },
         {"message: Incorrect data recieved from \"Log Status\"", "message: No data in log"},
         ReadLogEnd::Refused,
         -1,
         {},
         "ReadLog"},
        {"silent log status",
         [](sim::Scenario& s) { s.lsForm = "silent"; },
         {"message: Incorrect data recieved from \"Log Status\"", "message: No data in log"},
         ReadLogEnd::Refused,
         -1,
         {"$timeout"},
         "ReadLog"},
        {"empty log",
         [](sim::Scenario& s) { s.lsCount = 0; },
         {"message: No data in log"},
         ReadLogEnd::Refused,
         0,
         {},
         "ReadLog"},
        {"count not whole",
         [](sim::Scenario& s) { s.lsForm = "fraction"; },
         {"error: '1,5' is not a valid integer value."},
         ReadLogEnd::Declined,
         0,
         {},
         ""},
        {"count beyond 32 bits",
         [](sim::Scenario& s) { s.lsCount = 3000000000LL; },
         {"error: '3000000000' is not a valid integer value."},
         ReadLogEnd::Declined,
         0,
         {},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario s = scenario();
        c.setup(s);
        ReadRun run(s, false);
        run.click();
        const App& app = run.rig.app;
        EXPECT_EQ(run.rig.dialogs.events, c.events);
        EXPECT_EQ(run.end, c.end);
        EXPECT_EQ(app.session().logCount, c.logCount);
        EXPECT_EQ(run.rig.view.messages, c.messages);
        EXPECT_EQ(run.headers(), kResetHeaders);
        EXPECT_EQ(app.table().rows(), 2);
        EXPECT_STREQ(app.session().model->name, "?");
        EXPECT_STREQ(app.session().model->valueName, "Rl");
        EXPECT_TRUE(app.session().dataSaved);
        EXPECT_TRUE(app.session().graphViewed);
        EXPECT_FALSE(app.table().isEnabled());
        EXPECT_TRUE(run.rig.view.readLogEnabled);
        EXPECT_FALSE(run.rig.view.graphEnabled);
        EXPECT_FALSE(run.rig.view.saveAsEnabled);
    }
}

TEST(ReadLog, AcceptsTheLogStatusForms) {
    struct Case {
        const char* form;
        Lines sent;
    } const cases[] = {
        {"echo", {"", "", "LS", "FV", "", "LE"}},
        {"logstatus", {"", "", "LS", "FV", "", "LE"}},
        {"inline", {"", "", "LS", "FV", "", "LE"}},
        {"qddata", {"", "", "LS", "FV", "", "LE"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form);
        sim::Scenario s = scenario("RVM600", 17);
        s.lsForm = c.form;
        ReadRun run(s);
        EXPECT_EQ(run.rig.app.session().logCount, 17);
        EXPECT_EQ(run.commands(), c.sent);
        EXPECT_EQ(run.end, ReadLogEnd::Complete);
        EXPECT_EQ(run.rig.app.table().rows(), 18);
    }
}

TEST(ReadLog, ToleratesOneEmptyLineBeforeTheHandshakeAnswer) {
    sim::Scenario s = scenario();
    s.handshake = "emptyFirst";
    ReadRun run(s);
    EXPECT_EQ(run.end, ReadLogEnd::Complete);
    EXPECT_TRUE(run.rig.dialogs.events.empty());
}

TEST(ReadLog, DetectsTheModelFromTheTextAfterTheAcceptedLine) {
    struct Case {
        const char* fvLine;
        const char* ident;
        const char* model;
        const char* valueName;
        int cols;
    } const cases[] = {
        {"FV 2.10", "Virelon RVM600PK\r\n", "RVM600PK", "Rl", 8},
        {"FV 2.10", "RVM600 with qd option\r\n", "VX40", "Qd", 6},
        {"FV 2.10", "virelon rvm600pk\r\n", "RVM600P", "Rl", 6},
        {"FV 2.10", "Virelon RVM600P\r\n", "RVM600P", "Rl", 6},
        {"FV 2.10", "Virelon Rvm600\r\n", "RVM600", "Rl", 6},
        {"FV 2.10", "Virelon thing\r\n", "?", "Rl", 6},
        {"Road meter", "Virelon RVM600P\r\n", "RVM600P", "Rl", 6},
        {"firmware 3.1", "Virelon RVM600P\r\n", "RVM600P", "Rl", 6},
        {"FirmWare 3.1", "Virelon VX40 QD\r\n", "VX40", "Qd", 6},
        {"FV RVM600PK", "", "?", "Rl", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fvLine) + " / " + c.ident);
        sim::Scenario s = scenario("RVM600", 3);
        s.fvLine = c.fvLine;
        s.identText = c.ident;
        ReadRun run(s);
        const App& app = run.rig.app;
        EXPECT_STREQ(app.session().model->name, c.model);
        EXPECT_STREQ(app.session().model->valueName, c.valueName);
        EXPECT_EQ(app.session().identLine, c.ident);
        EXPECT_EQ(app.table().cols(), c.cols);
        EXPECT_EQ(app.table().cell(2, 0), c.valueName);
        EXPECT_EQ(run.end, ReadLogEnd::Complete);
        EXPECT_EQ(app.table().rows(), 4);
    }
}

TEST(ReadLog, WithoutIdentificationKeepsTheResetLayoutAndStillDownloads) {
    struct Case {
        const char* name;
        int fvFailures;
        const char* fvLine;
        int fvSent;
    } const cases[] = {
        {"three failures", 3, "FV 2.10", 3},
        {"lower-case fv is no answer", 0, "fv 2.10", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario s = scenario("RVM600", 5);
        s.fvFailures = c.fvFailures;
        s.fvLine = c.fvLine;
        ReadRun run(s);
        const App& app = run.rig.app;
        EXPECT_TRUE(run.rig.dialogs.events.empty());
        const Lines sent = run.commands();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "FV"), c.fvSent);
        EXPECT_EQ(run.headers(), kResetHeaders);
        EXPECT_STREQ(app.session().model->name, "?");
        EXPECT_EQ(app.session().identLine, "");
        EXPECT_EQ(app.table().widthSum(), 404);
        ASSERT_EQ(app.table().rows(), 6);
        // Single-value records in the eight-column table: placed by their kind, never marked.
        const auto& records = run.rig.instrument.scenario().records;
        Lines expected = rowOf(records[0], 1);
        expected.push_back("");
        expected.push_back("");
        EXPECT_EQ(rowCells(app.table(), 1, 8), expected);
        for (int r = 1; r < 6; ++r)
            for (int col = 0; col < 8; ++col)
                EXPECT_EQ(app.table().mark(col, r), CellMark::Normal);
        EXPECT_EQ(run.end, ReadLogEnd::Complete);
    }
}

TEST(ReadLog, NoAnswerToTheWakeUpLeavesTheLaidOutTableEmpty) {
    sim::Scenario s = scenario("VX40");
    s.answeredHandshakes = 2;
    ReadRun run(s);
    const App& app = run.rig.app;
    EXPECT_EQ(run.rig.dialogs.events, Lines{"message: No connection with RVM600"});
    EXPECT_EQ(run.end, ReadLogEnd::NoConnection);
    EXPECT_EQ(app.table().cols(), 6);
    EXPECT_EQ(app.table().rows(), 2);
    EXPECT_FALSE(run.rig.view.saveAsEnabled);
    EXPECT_FALSE(app.table().isEnabled());
    EXPECT_TRUE(app.session().dataSaved);
    EXPECT_FALSE(app.session().graphViewed);
    EXPECT_EQ(run.rig.dialogs.busyMaxDepth, 0);
    EXPECT_TRUE(run.rig.view.readLogEnabled);
    EXPECT_EQ(run.rig.view.progressMax, 25);
}

TEST(ReadLog, AsksBeforeDroppingUnsavedRecords) {
    ReadRun run(scenario("RVM600", 5));
    run.rig.app.statistics().addLine("Mean Rl: 200");
    ASSERT_FALSE(run.rig.app.session().dataSaved);
    const std::string firstRow = run.rig.app.table().cell(1, 1);
    const size_t sent = run.rig.instrument.received().size();

    // No, and a box closed without an answer, keep everything and send nothing.
    run.rig.dialogs.yesNoAnswers = {false};
    run.rig.view.readLogEnabled = true;
    run.click();
    EXPECT_EQ(run.end, ReadLogEnd::Declined);
    EXPECT_EQ(run.rig.dialogs.events, Lines{"yesno: Data not saved - continue?"});
    EXPECT_EQ(run.rig.instrument.received().size(), sent);
    EXPECT_EQ(run.rig.app.table().rows(), 6);
    EXPECT_EQ(run.rig.app.table().cell(1, 1), firstRow);
    EXPECT_FALSE(run.rig.app.session().dataSaved);
    EXPECT_EQ(run.rig.app.statistics().lines().size(), 1u);

    // Yes reads again and drops the statistics of the old log.
    run.rig.dialogs.yesNoAnswers = {true};
    run.click();
    EXPECT_EQ(run.end, ReadLogEnd::Complete);
    EXPECT_EQ(run.rig.dialogs.events,
              (Lines{"yesno: Data not saved - continue?", "yesno: Data not saved - continue?"}));
    EXPECT_TRUE(run.rig.app.statistics().empty());
    EXPECT_EQ(run.rig.app.table().rows(), 6);
}

TEST(ReadLog, GraphOnlyWithMoreThanOneRecordRow) {
    struct Case {
        int count;
        bool graph;
    } const cases[] = {{1, false}, {2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        ReadRun run(scenario("RVM600", c.count));
        EXPECT_EQ(run.rig.view.graphEnabled, c.graph);
    }
}

TEST(ReadLog, KeepsTheTableModelConsistent) {
    ReadRun run(scenario("RVM600PK", 30), false);
    QAbstractItemModelTester tester(&run.rig.app.table(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    run.click();
    EXPECT_EQ(run.end, ReadLogEnd::Complete);
    run.rig.dialogs.yesNoAnswers = {true};
    run.click();
    EXPECT_EQ(run.rig.app.table().rows(), 31);
}

namespace {

// The rig's line, raising a stop flag as the "Stop" button would: when the program sends a
// command, or when it has read a number of lines of the log stream.
class StoppingLine final : public ISerialLine {
public:
    StoppingLine(SimRig& rig, std::string command, int streamLines)
        : m_rig(rig), m_command(std::move(command)), m_streamLines(streamLines) {}
    void openPort() override { m_rig.line.openPort(); }
    void closePort() override { m_rig.line.closePort(); }
    bool connected() const override { return m_rig.line.connected(); }
    QString port() const override { return m_rig.line.port(); }
    void setPort(const QString& name) override { m_rig.line.setPort(name); }
    void discardBuffers(bool input, bool output) override {
        m_rig.line.discardBuffers(input, output);
    }
    int bytesWaiting() override { return m_rig.line.bytesWaiting(); }
    int readBytes(char* buffer, int count) override {
        const int n = m_rig.line.readBytes(buffer, count);
        for (int i = 0; m_inStream && i < n; ++i)
            if (buffer[i] == '\n' && --m_streamLines == 0)
                *stop = true;
        return n;
    }
    int writeText(const std::string& text) override {
        if (text == m_command + "\r\n")
            *stop = true;
        m_inStream = m_inStream || text == "LE\r\n";
        return m_rig.line.writeText(text);
    }

    std::atomic<bool>* stop = nullptr;

private:
    SimRig& m_rig;
    std::string m_command;
    int m_streamLines;
    bool m_inStream = false;
};

// "Read log" on the stopping line, with the rig's boxes, view and runner.
struct StoppedRun {
    StoppedRun(const std::string& command, int streamLines)
        : rig(scenario("RVM600", 40)), line(rig, command, streamLines),
          app(line, rig.clock, rig.dialogs, rig.view), runner(line) {
        line.stop = &app.stopRequested();
        if (rig.app.runner())
            app.setRunner(&runner);
        activateMainWindow(app);
        runGuarded(app.dialogs(), [&] { end = readLog(app).end; });
    }
    SimRig rig;
    StoppingLine line;
    App app;
    WorkerThreadRunner runner;
    ReadLogEnd end = ReadLogEnd::Declined;
};

} // namespace

TEST(ReadLog, StopDuringTheDownloadKeepsTheRecordsRead) {
    // The stream opens with the serial number and the column titles.
    StoppedRun run("(no command)", 12);
    EXPECT_EQ(run.end, ReadLogEnd::Stopped);
    EXPECT_TRUE(run.rig.dialogs.events.empty());
    ASSERT_EQ(run.app.table().rows(), 11);
    const auto& records = run.rig.instrument.scenario().records;
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(rowCells(run.app.table(), i + 1, 6),
                  rowOf(records[static_cast<size_t>(i)], i + 1))
            << i;
    EXPECT_EQ(run.rig.view.messages.back(), "Log reading stopped by the user");
    EXPECT_TRUE(run.app.table().isEnabled());
    EXPECT_FALSE(run.app.session().dataSaved);
    EXPECT_TRUE(run.rig.view.readLogEnabled);
    EXPECT_TRUE(run.rig.view.saveAsEnabled);
    // The stop was for this run only.
    EXPECT_FALSE(run.app.stopRequested());
}

TEST(ReadLog, StopBeforeTheDownloadEndsItWithoutABox) {
    for (const char* command : {"", "LS", "FV"}) {
        SCOPED_TRACE(std::string("stopped at \"") + command + "\"");
        StoppedRun run(command, -1);
        EXPECT_EQ(run.end, ReadLogEnd::Refused);
        EXPECT_TRUE(run.rig.dialogs.events.empty());
        EXPECT_EQ(run.rig.instrument.received().back().line, command);
        EXPECT_EQ(run.app.table().rows(), 2); // the header and one empty row
        EXPECT_TRUE(run.rig.view.readLogEnabled);
        EXPECT_FALSE(run.app.stopRequested());
    }
}
