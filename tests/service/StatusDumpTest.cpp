#include "SimRig.h"
#include "app/Commands.h"
#include "app/HandlerGuard.h"
#include "link/InstrumentPort.h"
#include "service/StatusReport.h"

#include <gtest/gtest.h>

namespace {

const std::string kQuestion =
    "okcancel: In case of trouble you can generate an instrument repport and mail it to VELKOR"
    "\n\r\n\r"
    "Press OK when the instrument is turn on and connected to the pc";
const std::string kMailMessage =
    "message: Click \"Copy to clipboard\" and paste the data in the message field in a mail"
    "\n\r"
    "Send the mail to: support@virelon.example";

// Records what the window would do, with the state of the line at that moment.
struct FakeView final : IStatusDumpView {
    explicit FakeView(SimRig& rig, StatusReport& core) : rig(rig), core(core) {}
    void repaintNow() override {
        repaints.push_back({rig.instrument.received().size(), core.report.lines().size()});
    }
    void focusCopyButton() override {
        ++focused;
        focusMs = rig.elapsedMs();
        eventsAtFocus = rig.dialogs.events.size();
    }
    struct Repaint {
        size_t commandsSent;
        size_t memoLines;
    };
    SimRig& rig;
    StatusReport& core;
    std::vector<Repaint> repaints;
    int focused = 0;
    double focusMs = 0;
    size_t eventsAtFocus = 0;
};

// The core of the status dump window on the simulated instrument; the fake dialogs run its
// activation while the window "is shown".
struct DumpRig {
    explicit DumpRig(sim::Scenario scenario = {}) : rig(std::move(scenario)), view(rig, core) {
        rig.dialogs.onModal = [this](ModalWindow w) {
            if (w == ModalWindow::StatusDump)
                runGuarded(rig.dialogs, [&] {
                    core.fetch(rig.app.line(), rig.dialogs, view, rig.app.runner());
                });
        };
    }
    void click() {
        runGuarded(rig.dialogs, [&] { requestStatusDump(rig.app); });
    }
    void activate() {
        runGuarded(rig.dialogs,
                   [&] { core.fetch(rig.app.line(), rig.dialogs, view, rig.app.runner()); });
    }
    std::vector<std::string> commands() const {
        std::vector<std::string> out;
        for (const auto& r : rig.instrument.received())
            out.push_back(r.line);
        return out;
    }

    SimRig rig;
    StatusReport core;
    FakeView view;
};

sim::Scenario withReport(const std::string& report) {
    sim::Scenario s;
    s.dumpReport = report;
    return s;
}

using Lines = std::vector<std::string>;
using Events = std::vector<std::string>;

} // namespace

TEST(StatusDumpRequest, HandshakeDecidesWhetherTheQuestionComes) {
    const std::string noConnection = "error: No connection with instrument.";
    const Lines report = {"Virelon RVM600 status", "Battery: 6.1 V", "Lamp hours: 1234",
                          "Log entries: 25", "Self test: passed"};
    struct Case {
        const char* name;
        const char* handshake;
        bool ok;
        Events events;
        Lines commands;
        Lines memo;
    } const cases[] = {
        {"cancel", "normal", false, {kQuestion}, {""}, {}},
        {"ok", "normal", true, {kQuestion, "modal: StatusDump", kMailMessage}, {"", "DPS"}, report},
        {"empty line first",
         "emptyFirst",
         true,
         {kQuestion, "modal: StatusDump", kMailMessage},
         {"", "DPS"},
         report},
        {"wrong answer", "wrong", true, {noConnection}, {""}, {}},
        {"silent", "silent", true, {noConnection}, {""}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario s;
        s.handshake = c.handshake;
        DumpRig d(s);
        d.rig.dialogs.okCancelAnswers = {c.ok};
        d.click();
        EXPECT_EQ(d.rig.dialogs.events, c.events);
        EXPECT_EQ(d.commands(), c.commands);
        EXPECT_EQ(d.core.report.lines(), c.memo);
    }
}

TEST(StatusDumpRequest, SilentInstrumentIsReportedAfterOneReadLimit) {
    sim::Scenario s;
    s.handshake = "silent";
    DumpRig d(s);
    d.click();
    // A line that timed out is no empty line, so there is no second read.
    EXPECT_NEAR(d.rig.elapsedMs(), 500.0, 1.0);
}

TEST(StatusDumpRequest, StaleInputIsDiscardedBeforeTheHandshake) {
    DumpRig d;
    // A report from an earlier exchange still waits in the input buffer.
    d.rig.line.writeText("DPS\r\n");
    d.rig.clock.advance(std::chrono::seconds(2));
    d.rig.dialogs.okCancelAnswers = {false};
    d.click();
    EXPECT_EQ(d.rig.dialogs.events, Events{kQuestion});
}

TEST(StatusDumpRequest, ClosedPortFailsAtOnceWithThePortMessage) {
    DumpRig d;
    d.rig.line.closePort();
    d.click();
    EXPECT_EQ(d.rig.dialogs.events, Events{"error: PurgeComm function failed (win error code: 6)"});
    EXPECT_TRUE(d.commands().empty());
}

TEST(StatusDumpReport, CrEndsLinesLfIsDroppedTailComesLast) {
    struct Case {
        const char* name;
        std::string report;
        Lines memo;
    } const cases[] = {
        {"CR LF", "A\r\nB\r\n", {"A", "B"}},
        {"empty middle line", "A\r\n\r\nB\r\n", {"A", "", "B"}},
        {"tail without CR", "A\r\ntail", {"A", "tail"}},
        {"LF only", "A\nB\nC\n", {"ABC"}},
        {"lone CR", "\r", {""}},
        {"LF CR", "A\n\rB\n\r", {"A", "B"}},
        {"other bytes kept", std::string("a\0\xe9\t\x7f\r", 6), {std::string("a\0\xe9\t\x7f", 5)}},
        {"silence", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DumpRig d(withReport(c.report));
        d.activate();
        EXPECT_EQ(d.core.report.lines(), c.memo);
        EXPECT_EQ(d.rig.dialogs.events, Events{kMailMessage});
        EXPECT_EQ(d.commands(), Lines{"DPS"});
        EXPECT_EQ(d.rig.line.written, "DPS\r\n");
        EXPECT_EQ(d.core.mailSubject, "Testmail");
        // Painted empty before the command went out; focus after the message.
        ASSERT_EQ(d.view.repaints.size(), 1u);
        EXPECT_EQ(d.view.repaints[0].commandsSent, 0u);
        EXPECT_EQ(d.view.repaints[0].memoLines, 0u);
        EXPECT_EQ(d.view.focused, 1);
        EXPECT_EQ(d.view.eventsAtFocus, 1u);
    }
}

TEST(StatusDumpReport, SilenceAfterTheCommandStillShowsTheMessageAfterHalfASecond) {
    DumpRig d(withReport(""));
    d.activate();
    const double sentMs =
        std::chrono::duration<double, std::milli>(d.rig.instrument.received().at(0).time).count();
    EXPECT_TRUE(d.core.report.empty());
    EXPECT_EQ(d.rig.dialogs.events, Events{kMailMessage});
    EXPECT_NEAR(d.view.focusMs - sentMs, 500.0, 1.0);
}

TEST(StatusDumpReport, OpeningAgainReplacesTheReport) {
    DumpRig d(withReport("first\r\nsecond\r\n"));
    d.click();
    d.core.report.addLine("typed by the user");
    d.click();
    EXPECT_EQ(d.core.report.lines(), (Lines{"first", "second"}));
    EXPECT_EQ(d.commands(), (Lines{"", "DPS", "", "DPS"}));
    EXPECT_EQ(d.rig.dialogs.events, (Events{kQuestion, "modal: StatusDump", kMailMessage, kQuestion,
                                            "modal: StatusDump", kMailMessage}));
}

TEST(StatusDumpReport, EndlessSenderStopsAtTheBound) {
    std::string lines;
    while (lines.size() < 70000)
        lines += "abcdefg\r\n";
    struct Case {
        const char* name;
        std::string report;
        size_t memoLines;
        size_t lastLine;
    } const cases[] = {
        // One line that never ends: it stops growing at the bound.
        {"endless line", std::string(70000, 'x'), 1, 65535},
        // 7281 whole lines of 9 bytes, then the first 6 bytes of the next as the tail.
        {"endless lines", lines, 7282, 6},
        // Nothing but line feeds: nothing to keep, yet it ends.
        {"endless line feeds", std::string(70000, '\n'), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario s = withReport(c.report);
        s.paced = false;
        DumpRig d(s);
        d.activate();
        ASSERT_EQ(d.core.report.lines().size(), c.memoLines);
        if (c.memoLines > 0) {
            EXPECT_EQ(d.core.report.lines().back().size(), c.lastLine);
        }
        EXPECT_EQ(d.rig.dialogs.events, Events{kMailMessage});
        // The rest is left unread, and the collection did not wait for silence.
        EXPECT_EQ(d.rig.line.bytesWaiting(), static_cast<int>(c.report.size() - 65535));
        EXPECT_LT(d.rig.elapsedMs(), 100.0);
    }
}

TEST(StatusDumpReport, PortErrorKeepsTheLinesReadSoFar) {
    // The line fails on the read of the 12th byte of "one\r\ntwo\r\nthree".
    struct FailingLine final : ISerialLine {
        explicit FailingLine(ISerialLine& inner) : inner(inner) {}
        void openPort() override { inner.openPort(); }
        void closePort() override { inner.closePort(); }
        bool connected() const override { return inner.connected(); }
        QString port() const override { return inner.port(); }
        void setPort(const QString& name) override { inner.setPort(name); }
        void discardBuffers(bool input, bool output) override {
            inner.discardBuffers(input, output);
        }
        int bytesWaiting() override { return inner.bytesWaiting(); }
        int readBytes(char* buffer, int count) override {
            if (++reads == 12)
                throw PortError(PortOperation::Read, 5);
            return inner.readBytes(buffer, count);
        }
        int writeText(const std::string& text) override { return inner.writeText(text); }
        ISerialLine& inner;
        int reads = 0;
    };
    DumpRig d(withReport("one\r\ntwo\r\nthree"));
    FailingLine failing(d.rig.line);
    InstrumentLine line(failing, d.rig.clock);
    runGuarded(d.rig.dialogs, [&] { d.core.fetch(line, d.rig.dialogs, d.view); });
    EXPECT_EQ(d.core.report.lines(), (Lines{"one", "two"}));
    EXPECT_EQ(d.rig.dialogs.events, Events{"error: ReadFile function failed (win error code: 5)"});
    EXPECT_EQ(d.view.focused, 0);
}

TEST(MailLink, EncodesSubjectAndLinesAndJoinsWithCrLf) {
    struct Case {
        const char* name;
        std::string subject;
        Lines lines;
        std::string link;
    } const cases[] = {
        {"three lines",
         "Testmail",
         {"X", "Y", "Z"},
         "mailto:service@virelon.example?Subject=Testmail&Body=X%0D%0AY%0D%0AZ"},
        {"one line",
         "Testmail",
         {"only"},
         "mailto:service@virelon.example?Subject=Testmail&Body=only"},
        {"no lines", "Testmail", {}, "mailto:service@virelon.example?Subject=Testmail&Body="},
        {"reserved characters",
         "Testmail",
         {"a&b=c", "#7", "100%", "why?"},
         "mailto:service@virelon.example?Subject=Testmail&Body="
         "a%26b%3Dc%0D%0A%237%0D%0A100%25%0D%0Awhy%3F"},
        {"blanks, empty line, unreserved",
         "Testmail",
         {"Lamp hours: 12", "", "a-b_c.d~e"},
         "mailto:service@virelon.example?Subject=Testmail&Body="
         "Lamp%20hours%3A%2012%0D%0A%0D%0Aa-b_c.d~e"},
        {"Windows-1252 letters as UTF-8",
         "Testmail",
         {"caf\xe9 \x80"},
         "mailto:service@virelon.example?Subject=Testmail&Body=caf%C3%A9%20%E2%82%AC"},
        {"subject escaped too",
         "a&b #c",
         {"x"},
         "mailto:service@virelon.example?Subject=a%26b%20%23c&Body=x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(mailToLink("service@virelon.example", c.subject, c.lines), c.link);
    }
}
