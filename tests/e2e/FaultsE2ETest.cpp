// A misbehaving instrument end to end: the real "Read log" through the real port against
// instrument-sim on a pseudo-terminal, with what the user sees and the state afterwards.
#include "Fakes.h"
#include "InstrumentSim.h"
#include "SimProcess.h"
#include "app/App.h"
#include "app/Commands.h"
#include "app/HandlerGuard.h"
#include "link/InstrumentPort.h"
#include "link/ReadLog.h"
#include "service/StatusReport.h"
#include "text/Clock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Lines = std::vector<std::string>;

// One program core on the real port, bound to instrument-sim serving the scenario; the window
// was created and activated. Lives and dies on the thread that makes it.
struct PortRig {
    explicit PortRig(const QJsonObject& scenario)
        : json(QJsonDocument(scenario).toJson(QJsonDocument::Compact)),
          link(dir.filePath(QStringLiteral("COM1"))),
          sim(std::make_unique<SimProcess>(
              QStringList{"--link", link, "--scenario", writeScenario(dir, json)})),
          app(port, clock, dialogs, view) {
        port.setDevicePath(link);
        startMainWindow(app, {});
        activateMainWindow(app);
    }
    // "Read log" as the button runs it; Declined also stands for an error that passed through.
    ReadLogEnd readLog() {
        ReadLogEnd end = ReadLogEnd::Declined;
        runGuarded(dialogs, [&] { end = ::readLog(app).end; });
        return end;
    }
    QByteArray json;
    QTemporaryDir dir;
    QString link;
    std::unique_ptr<SimProcess> sim;
    InstrumentPort port;
    SystemClock clock;
    FakeDialogs dialogs;
    FakeView view;
    App app;
};

QString bytesText(const std::string& bytes) {
    QString text;
    for (unsigned char c : bytes)
        text.append(QChar(c));
    return text;
}

// The rows of the table under its header, cells joined by TABs.
Lines rowTexts(const LogTable& t) {
    Lines rows;
    for (int r = 1; r < t.rows(); ++r) {
        std::string row;
        for (int c = 0; c < t.cols(); ++c)
            row += (c ? "\t" : "") + t.cell(c, r);
        rows.push_back(row);
    }
    return rows;
}

// The rows the records give in a single-value table: number, then the record's own fields.
Lines recordRows(const std::vector<std::string>& records, size_t count) {
    Lines rows;
    for (size_t i = 0; i < count; ++i)
        rows.push_back(std::to_string(i + 1) + "\t" + records[i]);
    return rows;
}

const std::string kIdent = "Virelon RVM600 reflectometer\r\n";
const std::string kNoConnection = "message: No connection with instrument";
const std::string kNotSaved = "yesno: Data not saved - continue?";

} // namespace

namespace {

// The bytes an endless instrument sends by default, from its first line on.
std::string noise(size_t bytes) {
    std::string text;
    for (int i = 1; text.size() < bytes; ++i)
        text += "NOISE " + std::to_string(i) + " no record here\r\n";
    return text.substr(0, bytes);
}

Lines withEmptyRows(Lines rows, size_t empty) {
    rows.insert(rows.end(), empty, "\t\t\t\t\t");
    return rows;
}

// What the user has after a run that kept records: boxes, memo, label and the buttons.
void expectKept(PortRig& rig, const Lines& rows, const Lines& events, bool tableEnabled) {
    EXPECT_EQ(rig.dialogs.events, events);
    EXPECT_EQ(rowTexts(rig.app.table()), rows);
    EXPECT_EQ(rig.app.table().isEnabled(), tableEnabled);
    EXPECT_FALSE(rig.app.session().dataSaved);
    EXPECT_TRUE(rig.view.readLogEnabled);
    EXPECT_TRUE(rig.view.graphEnabled);
    EXPECT_EQ(rig.dialogs.busyDepth, 0);
}

} // namespace

// The line falls silent or is cut in the middle of the log: the records read so far stay.
Cases lineCutMidStream() {
    const auto records = sim::generateRecords("RVM600", 100, 1);
    sim::Scenario s;
    s.count = 100;
    // In the middle of record 40.
    const auto cutAt =
        static_cast<double>(sim::InstrumentSim(s).logStream().find(records[39]) + 10);
    return {
        [=] {
            SCOPED_TRACE("silent");
            PortRig rig({{"count", 100}, {"silenceFromByte", cutAt}, {"paced", false}});
            // Silence is how a log without end byte ends, but 100 records were announced.
            const std::string incomplete = "Log incomplete: 39 of 100 records read";
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Incomplete);
            expectKept(rig, recordRows(records, 39), {"message: " + incomplete}, true);
            EXPECT_EQ(rig.view.messages, (Lines{kIdent, "s/n: 4711", incomplete}));
            EXPECT_EQ(rig.view.progressText, "39 of 100");
            // The instrument stays silent: the next run asks, then says so.
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Refused);
            EXPECT_EQ(rig.dialogs.events,
                      (Lines{"message: " + incomplete, kNotSaved, kNoConnection}));
            EXPECT_TRUE(rig.view.readLogEnabled);
        },
        [=] {
            SCOPED_TRACE("pulled adapter");
            PortRig rig({{"count", 100}, {"disconnectAtByte", cutAt}, {"paced", false}});
            const std::string gone = "error: ClearCommError function failed (win error code: 5)";
            const std::string incomplete = "Log incomplete: 39 of 100 records read";
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Declined);
            expectKept(rig, recordRows(records, 39), {gone}, false);
            EXPECT_EQ(rig.view.progressText, "39 of 100");
            EXPECT_EQ(rig.view.messages, (Lines{kIdent, "s/n: 4711", incomplete}));
            // Without the adapter the next run opens the port anew and says it cannot, before
            // anything is asked or dropped; so does the status dump.
            const std::string missing =
                "error: Unable to open com port (win error code: " + std::to_string(ENOENT) + ")";
            rig.readLog();
            runGuarded(rig.dialogs, [&] { requestStatusDump(rig.app); });
            EXPECT_EQ(rig.dialogs.events, (Lines{gone, missing, missing}));
            EXPECT_EQ(rowTexts(rig.app.table()), recordRows(records, 39));
            EXPECT_TRUE(rig.view.readLogEnabled);
            // Plugged in again, the next run reads the log whole, without the port chosen again.
            rig.sim.reset();
            rig.sim = std::make_unique<SimProcess>(
                QStringList{"--link", rig.link, "--scenario",
                            writeScenario(rig.dir, R"({"count": 100, "paced": false})")});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            EXPECT_EQ(rig.dialogs.events, (Lines{gone, missing, missing, kNotSaved}));
            EXPECT_EQ(rowTexts(rig.app.table()), recordRows(records, 100));
            EXPECT_TRUE(rig.app.table().isEnabled());
        },
    };
}

// A device that never stops sending: every read ends at its bound, the records read stay.
Cases deviceThatNeverStopsSending() {
    const std::string stopped = "Log reading stopped: 1000 lines in a row held no record";
    return {
        [=] {
            SCOPED_TRACE("lines without end after the log");
            PortRig rig({{"count", 20}, {"endless", true}, {"paced", false}});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Stopped);
            expectKept(rig,
                       withEmptyRows(recordRows(sim::generateRecords("RVM600", 20, 1), 20), 1000),
                       {}, true);
            EXPECT_EQ(rig.view.messages, (Lines{kIdent, "s/n: 4711", stopped}));
            EXPECT_EQ(rig.view.progressText, "21 of 20");
            // Still talking, it cannot answer the handshake: the next run ends too.
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Refused);
            EXPECT_EQ(rig.dialogs.events, (Lines{kNotSaved, kNoConnection}));
            EXPECT_TRUE(rig.view.readLogEnabled);
        },
        [=] {
            SCOPED_TRACE("one line without end after the log");
            PortRig rig({{"count", 5}, {"endless", true}, {"endlessText", "x"}, {"paced", false}});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Stopped);
            expectKept(rig, recordRows(sim::generateRecords("RVM600", 5, 1), 5), {}, true);
            EXPECT_EQ(rig.view.messages,
                      (Lines{kIdent, "s/n: 4711",
                             "Log reading stopped: a line longer than 65535 bytes"}));
            // The handshake's reply line stops growing too.
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Refused);
            EXPECT_EQ(rig.dialogs.events, (Lines{kNotSaved, kNoConnection}));
            EXPECT_TRUE(rig.view.readLogEnabled);
        },
        [=] {
            SCOPED_TRACE("logdump-cli reading twice in one process");
            QTemporaryDir dir;
            const QString link = dir.filePath(QStringLiteral("COM1"));
            SimProcess sim(
                {"--link", link, "--scenario",
                 writeScenario(dir, R"({"count": 3, "endless": true, "paced": false})")});
            QProcess cli;
            cli.start(QStringLiteral(LOGDUMP_CLI_PATH), {"read", "--port", link, "--repeat", "2"});
            ASSERT_TRUE(cli.waitForFinished(60000));
            // Stopped, it goes on to the second run, which the still talking device refuses; the
            // process figures are the soak bench's, not the command line's.
            EXPECT_EQ(cli.exitCode(), 1);
            EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
            const QString err = QString::fromUtf8(cli.readAllStandardError());
            const QRegularExpression runs(
                QStringLiteral(R"(^Virelon RVM600 reflectometer\n\ns/n: 4711\n(\d+ % .*\n)+)"
                               R"(Log reading stopped: 1000 lines in a row held no record\n)"
                               R"(Data not saved - continue\?\nNo connection with instrument\n$)"));
            EXPECT_TRUE(runs.match(err).hasMatch()) << err.toStdString();
        },
        [=] {
            SCOPED_TRACE("lines without end after the identification");
            PortRig rig(
                {{"count", 30}, {"endless", true}, {"endlessAfter", "FV"}, {"paced", false}});
            // The identification text stops at the bound, which the memo tells; the log after
            // it is read whole.
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            expectKept(rig, recordRows(sim::generateRecords("RVM600", 30, 1), 30), {}, true);
            ASSERT_EQ(rig.view.messages.size(), 3u);
            EXPECT_EQ(rig.view.messages[0], "Instrument reply cut at 65535 bytes");
            EXPECT_EQ(rig.view.messages[1], kIdent + noise(65535 - kIdent.size()));
            EXPECT_STREQ(rig.app.session().model->name, "RVM600");
        },
        [=] {
            SCOPED_TRACE("status report without end");
            const std::string report = "Virelon RVM600 status\r\nBattery: 6.1 V\r\n";
            PortRig rig({{"endless", true},
                         {"endlessAfter", "DPS"},
                         {"dumpReport", bytesText(report)},
                         {"paced", false}});
            StatusReport core;
            struct View final : IStatusDumpView {
                void repaintNow() override {}
                void focusCopyButton() override { ++focused; }
                int focused = 0;
            } view;
            rig.dialogs.onModal = [&](ModalWindow) {
                runGuarded(rig.dialogs, [&] { core.fetch(rig.app.line(), rig.dialogs, view); });
            };
            runGuarded(rig.dialogs, [&] { requestStatusDump(rig.app); });
            EXPECT_EQ(rig.dialogs.events,
                      (Lines{std::string("okcancel: ") + kStatusDumpQuestion, "modal: StatusDump",
                             "message: " + statusDumpMailMessage()}));
            Lines expected;
            std::string line;
            for (char c : (report + noise(65535 - report.size()))) {
                if (c == '\r')
                    expected.push_back(std::exchange(line, {}));
                else if (c != '\n')
                    line.push_back(c);
            }
            expected.push_back(line);
            EXPECT_EQ(core.report.lines(), expected);
            EXPECT_EQ(view.focused, 1);
        },
    };
}

// Noise, flow-control bytes and replies that disagree: the user gets what the instrument sent.
Cases noiseAndDisagreeingReplies() {
    const auto records = sim::generateRecords("RVM600", 100, 1);
    std::string garbage;
    for (int b = 1; b < 256; ++b)
        if (b != '*')
            garbage.push_back(static_cast<char>(b));
    QJsonArray lettered;
    QJsonArray flowControl;
    for (size_t i = 0; i < records.size(); ++i) {
        std::string r = records[i];
        if (i == 4) // status "OK" in record 5
            r = r.substr(0, r.find('\t', 20) + 1) + "OK" +
                r.substr(r.find('\t', r.find('\t', 20) + 1));
        lettered.append(bytesText(r));
        std::string f = records[i];
        if (i == 2)
            f.insert(21, "\x11"); // XON inside the value of record 3
        if (i == 3)
            f.insert(21, "\x13"); // XOFF inside the value of record 4
        if (i < 10)
            flowControl.append(bytesText(f));
    }
    const auto combined = sim::generateRecords("RVM600PK", 10, 1);
    Lines combinedIn6;
    for (size_t i = 0; i < combined.size(); ++i) {
        const std::string& r = combined[i];
        size_t fifth = 0;
        for (int tabs = 0; tabs < 5; ++tabs)
            fifth = r.find('\t', fifth + 1);
        combinedIn6.push_back(std::to_string(i + 1) + "\t" + r.substr(0, fifth));
    }
    return {
        [=] {
            SCOPED_TRACE("every byte value between records");
            PortRig rig(
                {{"count", 100}, {"garbage", bytesText(garbage + "\r\n")}, {"paced", false}});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            // Two lines of noise after each record (it holds a CR): each adds an empty row.
            expectKept(rig, withEmptyRows(recordRows(records, 100), 200), {}, true);
            EXPECT_EQ(rig.view.progressText, "101 of 100");
            EXPECT_EQ(rig.view.messages, (Lines{kIdent, "s/n: 4711"}));
        },
        [=] {
            SCOPED_TRACE("XON and XOFF in the stream and the report");
            PortRig rig({{"records", flowControl},
                         {"terminator", "\u0013"},
                         {"dumpReport", "Battery:\u0011 6.1 V\r\nLamp\u0013 hours: 1234\r\n"},
                         {"paced", false}});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            expectKept(rig, recordRows(records, 10), {}, true);
            // The XOFF the log ended with does not hold back the next commands.
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            expectKept(rig, recordRows(records, 10), {kNotSaved}, true);
            StatusReport core;
            struct View final : IStatusDumpView {
                void repaintNow() override {}
                void focusCopyButton() override {}
            } view;
            rig.dialogs.onModal = [&](ModalWindow) {
                runGuarded(rig.dialogs, [&] { core.fetch(rig.app.line(), rig.dialogs, view); });
            };
            runGuarded(rig.dialogs, [&] { requestStatusDump(rig.app); });
            // The terminal's flow control takes them out of what the program receives.
            EXPECT_EQ(core.report.lines(), (Lines{"Battery: 6.1 V", "Lamp hours: 1234"}));
        },
        [=] {
            SCOPED_TRACE("a model no rule knows");
            PortRig rig({{"count", 100},
                         {"identText", "Virelon RVM800 reflectometer\r\n"},
                         {"paced", false}});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            expectKept(rig, recordRows(records, 100), {}, true);
            EXPECT_STREQ(rig.app.session().model->name, "?");
            EXPECT_EQ(rig.app.table().cell(2, 0), "Rl");
            // No marking rule applies: warnings and errors stay unmarked.
            for (int r = 1; r < rig.app.table().rows(); ++r)
                for (int c = 0; c < rig.app.table().cols(); ++c)
                    ASSERT_EQ(rig.app.table().mark(c, r), CellMark::Normal) << r << " " << c;
        },
        [=] {
            SCOPED_TRACE("combined records from an instrument naming a single-value model");
            PortRig rig({{"model", "RVM600PK"},
                         {"count", 10},
                         {"identText", "Virelon RVM600 reflectometer\r\n"},
                         {"paced", false}});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            // The named model's six columns: the fields beyond them are not shown.
            EXPECT_EQ(rig.app.table().cols(), 6);
            expectKept(rig, combinedIn6, {}, true);
        },
        [=] {
            SCOPED_TRACE("more records announced than sent");
            PortRig rig({{"count", 100}, {"lsCount", 250}, {"paced", false}});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Incomplete);
            expectKept(rig, recordRows(records, 100),
                       {"message: Log incomplete: 100 of 250 records read"}, true);
            EXPECT_EQ(rig.view.progressText, "100 of 250");
            EXPECT_EQ(rig.view.progressMax, 250);
            EXPECT_EQ(rig.view.progress, 100);
        },
        [=] {
            SCOPED_TRACE("fewer records announced than sent");
            PortRig rig({{"count", 100}, {"lsCount", 40}, {"paced", false}});
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            expectKept(rig, recordRows(records, 100), {}, true);
            EXPECT_EQ(rig.view.progressText, "100 of 40");
            EXPECT_EQ(rig.view.progressMax, 40);
            EXPECT_EQ(rig.view.progress, 100);
        },
        [=] {
            SCOPED_TRACE("a status of letters in record 5 of 100");
            PortRig rig({{"records", lettered}, {"paced", false}});
            // The record is kept unmarked with a memo line, and the log is read to its end.
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            Lines all = recordRows(records, 100);
            all[4] = "5\t" + lettered[4].toString().toStdString();
            expectKept(rig, all, {}, true);
            EXPECT_EQ(rig.app.table().mark(2, 5), CellMark::Normal);
            EXPECT_EQ(rig.app.table().mark(3, 5), CellMark::Normal);
            EXPECT_EQ(rig.view.progressText, "100 of 100");
            EXPECT_EQ(rig.view.messages,
                      (Lines{kIdent, "s/n: 4711", "Record 5: status 'OK' is not a number"}));
            // Reading again gives the same log.
            EXPECT_EQ(rig.readLog(), ReadLogEnd::Complete);
            expectKept(rig, all, {kNotSaved}, true);
        },
    };
}

TEST(FaultsEndToEnd, AMisbehavingInstrumentEndsInAClearMessageAndAWorkingProgram) {
    Cases cases = lineCutMidStream();
    for (const Cases& more : {deviceThatNeverStopsSending(), noiseAndDisagreeingReplies()})
        cases.insert(cases.end(), more.begin(), more.end());
    sideBySide(cases);
}
