// The simulated instrument that every procedure test talks to: its replies, faults and timing.
#include "InstrumentSim.h"

#include "SimRig.h"
#include "link/InstrumentPort.h"
#include "text/TextFieldHelpers.h"

#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using sim::Duration;
using std::chrono::microseconds;
using std::chrono::milliseconds;

sim::Scenario unpaced(sim::Scenario s = {}) {
    s.paced = false;
    return s;
}

// Sends the commands (each with CR LF) and returns everything the instrument answered.
std::string exchange(const sim::Scenario& scenario, const std::vector<std::string>& commands) {
    sim::InstrumentSim instrument(scenario);
    std::string answer;
    Duration now{0};
    for (const auto& command : commands) {
        instrument.receive(command + "\r\n", now);
        now += milliseconds(100);
        answer += instrument.take(instrument.available(now), now);
    }
    return answer;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

} // namespace

TEST(SimScenario, ReadsKnownKeysAndRejectsOthers) {
    QString error;
    const sim::Scenario s = sim::scenarioFromJson(
        R"({"model": "VX40", "serial": "0815", "records": ["a\tb"], "lsForm": "inline",
            "lsCount": 3, "fvFailures": 2, "paced": false, "byteMicros": 500,
            "terminator": "\u0000", "lineEnd": "\n", "disconnectAtByte": 12})",
        &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(s.model, "VX40");
    EXPECT_EQ(s.serial, "0815");
    EXPECT_EQ(s.records, std::vector<std::string>{"a\tb"});
    EXPECT_EQ(s.lsForm, "inline");
    EXPECT_EQ(s.lsCount, 3);
    EXPECT_EQ(s.fvFailures, 2);
    EXPECT_FALSE(s.paced);
    EXPECT_EQ(s.byteMicros, 500.0);
    EXPECT_EQ(s.terminator, std::string(1, '\0'));
    EXPECT_EQ(s.lineEnd, "\n");
    EXPECT_EQ(s.disconnectAtByte, 12);

    struct Case {
        const char* json;
        const char* error;
    } const cases[] = {
        {R"({"modle": "VX40"})", "unknown key: modle"},
        {R"({"paced": "no"})", "wrong type for key: paced"},
        {R"({"records": "a\tb"})", "wrong type for key: records"},
        {R"({"lsForm": "echoed"})", "unknown lsForm: echoed"},
        {R"({"handshake": "Normal"})", "unknown handshake: Normal"},
        {R"([1, 2])", ""},
        {R"({"model": )", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        error.clear();
        sim::scenarioFromJson(c.json, &error);
        EXPECT_FALSE(error.isEmpty());
        if (*c.error) {
            EXPECT_EQ(error.toStdString(), c.error);
        }
    }
}

TEST(SimDialogue, HandshakeVariants) {
    struct Case {
        const char* handshake;
        int answered;
        const char* reply; // to two empty commands
    } const cases[] = {
        {"normal", -1, "?\r\n?\r\n"}, {"emptyFirst", -1, "\r\n?\r\n\r\n?\r\n"},
        {"wrong", -1, "X\r\nX\r\n"},  {"silent", -1, ""},
        {"normal", 1, "?\r\n"},       {"normal", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.handshake) + " " + std::to_string(c.answered));
        sim::Scenario s = unpaced();
        s.handshake = c.handshake;
        s.answeredHandshakes = c.answered;
        EXPECT_EQ(exchange(s, {"", ""}), c.reply);
    }
    // XON and XOFF from the program's flow control do not spoil the next command.
    EXPECT_EQ(exchange(unpaced(), {"\x13\x11"}), "?\r\n");
}

TEST(SimDialogue, LogStatusReplyForms) {
    struct Case {
        const char* form;
        const char* reply;
    } const cases[] = {
        {"echo", "LS\r\n120 records\r\n"},
        {"logstatus", "LOG STATUS\r\n120 records in log\r\n"},
        {"inline", "LS 120\r\n"},
        {"qddata", "QD DATA 120\r\n"},
        {"bad", "OK\r\n"},
        {"nodigits", "LS none\r\n"},
        {"fraction", "LS 1,5\r\n"},
        {"silent", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form);
        sim::Scenario s = unpaced();
        s.lsForm = c.form;
        s.lsCount = 120;
        EXPECT_EQ(exchange(s, {"LS"}), c.reply);
    }
    // Without an announced count, the number of records.
    sim::Scenario s = unpaced();
    s.count = 7;
    EXPECT_EQ(exchange(s, {"LS"}), "LS\r\n7 records\r\n");
    s.count = 0;
    EXPECT_EQ(exchange(s, {"LS"}), "LS\r\n0 records\r\n");
}

TEST(SimDialogue, IdentificationNamesTheModelAfterFailedAttempts) {
    struct Case {
        const char* model;
        bool measuresQd;
    } const cases[] = {
        {"RVM600", false},
        {"RVM600P", false},
        {"RVM600PK", true},
        {"VX40", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        sim::Scenario s = unpaced();
        s.model = c.model;
        s.fvFailures = 2;
        const std::string reply = exchange(s, {"FV", "FV", "FV"});
        ASSERT_EQ(reply.rfind("ERR\r\nERR\r\nFV 2.10\r\n", 0), 0u) << reply;
        const std::string ident = reply.substr(std::string("ERR\r\nERR\r\nFV 2.10\r\n").size());
        EXPECT_NE(ident.find(c.model), std::string::npos) << ident;
        // The program takes any "Qd" in the text for the Qd meter unless the combined model is
        // named, so a pure Rl instrument must never mention it.
        const QString upper = QString::fromLatin1(ident.c_str()).toUpper();
        if (!c.measuresQd) {
            EXPECT_FALSE(upper.contains(QStringLiteral("QD"))) << ident;
        }
    }
    sim::Scenario s = unpaced();
    s.identText = "custom text\r\n";
    s.fvLine = "Firmware 3";
    EXPECT_EQ(exchange(s, {"FV"}), "Firmware 3\r\ncustom text\r\n");
    EXPECT_EQ(exchange(unpaced(), {"XY"}), "ERR\r\n");
}

TEST(SimDialogue, LogStreamForEveryModel) {
    struct Case {
        const char* model;
        int separators;
    } const cases[] = {{"RVM600", 4}, {"RVM600P", 4}, {"RVM600PK", 6}, {"VX40", 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        sim::Scenario s = unpaced();
        s.model = c.model;
        s.count = 40;
        s.serial = "12345";
        const std::string stream = exchange(s, {"LE"});
        ASSERT_FALSE(stream.empty());
        EXPECT_EQ(stream.back(), '*');
        const auto lines = splitLines(stream);
        ASSERT_EQ(lines.size(), 42u);
        EXPECT_EQ(lines[0], "s/n: 12345");
        EXPECT_NE(lines[1].find("Date"), std::string::npos);
        EXPECT_EQ(countChar(lines[1], '\t'), c.separators);
        int lowBattery = 0;
        for (size_t i = 2; i < lines.size(); ++i) {
            SCOPED_TRACE(lines[i]);
            ASSERT_EQ(countChar(lines[i], '\t'), c.separators);
            EXPECT_EQ(lines[i].find("Date"), std::string::npos);
            const std::string value = getField(lines[i], 2, '\t');
            const int v = strToInt(value);
            if (std::string(c.model) == "VX40") {
                EXPECT_TRUE(v >= 50 && v <= 200) << v;
            } else {
                EXPECT_TRUE(v >= 100 && v <= 400) << v;
            }
            const std::string rest = lines[i].substr(lines[i].find('\t') + 1);
            const int status = strToInt(getField(rest, c.separators == 6 ? 3 : 2, '\t'));
            EXPECT_TRUE(status >= 0 && status < 256) << status;
            lowBattery += (status & 16) != 0;
        }
        EXPECT_GE(lowBattery, 1);
        EXPECT_EQ(sim::generateRecords(c.model, 40, 1), sim::generateRecords(c.model, 40, 1));
    }
}

TEST(SimDialogue, LogStreamShapes) {
    auto stream = [](auto change) {
        sim::Scenario s = unpaced();
        s.records = {"d t\t1\t0\tA\t1", "d t\t2\t0\tA\t2"};
        s.preamble = {"s/n: 9"};
        change(s);
        return exchange(s, {"LE"});
    };
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
    } const cases[] = {
        {"plain", stream([](sim::Scenario&) {}),
         "s/n: 9\r\nd t\t1\t0\tA\t1\r\nd t\t2\t0\tA\t2\r\n*"},
        {"NUL end", stream([](sim::Scenario& s) { s.terminator = std::string(1, '\0'); }),
         std::string("s/n: 9\r\nd t\t1\t0\tA\t1\r\nd t\t2\t0\tA\t2\r\n") + '\0'},
        {"silence end", stream([](sim::Scenario& s) { s.terminator.clear(); }),
         "s/n: 9\r\nd t\t1\t0\tA\t1\r\nd t\t2\t0\tA\t2\r\n"},
        {"LF endings, no final CR", stream([](sim::Scenario& s) {
             s.lineEnd = "\n";
             s.terminator.clear();
         }),
         "s/n: 9\nd t\t1\t0\tA\t1\nd t\t2\t0\tA\t2\n"},
        {"star inside a record", stream([](sim::Scenario& s) { s.starInRecord = 2; }),
         "s/n: 9\r\nd t\t1\t0\tA\t1\r\nd t\t2*\t0\tA\t2\r\n*"},
        {"garbage", stream([](sim::Scenario& s) { s.garbage = "\x01`"; }),
         "s/n: 9\r\nd t\t1\t0\tA\t1\r\n\x01`d t\t2\t0\tA\t2\r\n\x01`*"},
        {"trailer", stream([](sim::Scenario& s) { s.trailer = {"END"}; }),
         "s/n: 9\r\nd t\t1\t0\tA\t1\r\nd t\t2\t0\tA\t2\r\nEND\r\n*"},
        {"whole stream", stream([](sim::Scenario& s) { s.stream = "raw"; }), "raw"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.bytes, c.expected);
    }
    sim::Scenario s = unpaced();
    s.dumpReport = "report\r\n";
    EXPECT_EQ(exchange(s, {"DPS"}), "report\r\n");
    EXPECT_NE(exchange(unpaced(), {"DPS"}).find("\r\n"), std::string::npos);
}

TEST(SimTiming, BytesArriveAtTheLineRate) {
    sim::Scenario s;
    s.count = 200;
    sim::InstrumentSim instrument(s);
    instrument.receive("LE\r\n", Duration{0});
    const std::string& stream = instrument.logStream();
    ASSERT_GT(stream.size(), 4000u);
    const Duration byte = std::chrono::nanoseconds(static_cast<long long>(1e9 / 960.0));
    EXPECT_FALSE(instrument.available(milliseconds(1)));

    // Stepping from one arrival to the next: every byte exactly one byte time after the last.
    Duration now{0};
    std::string received;
    std::vector<Duration> times;
    while (const auto next = instrument.nextEvent(now)) {
        now = *next;
        ASSERT_EQ(instrument.available(now), 1u);
        received += instrument.take(1, now);
        times.push_back(now);
    }
    EXPECT_EQ(received, stream);
    EXPECT_EQ(times.front(), milliseconds(2));
    const auto spread = times.back() - times.front();
    EXPECT_NEAR(static_cast<double>(spread.count()),
                static_cast<double>((byte * static_cast<long long>(times.size() - 1)).count()),
                1e3 * static_cast<double>(times.size()));

    // A reader that looks late finds everything that arrived meanwhile, not more.
    sim::InstrumentSim late(s);
    late.receive("LE\r\n", Duration{0});
    const Duration t = milliseconds(2) + byte * 99 + microseconds(10);
    EXPECT_EQ(late.available(t), 100u);
    EXPECT_EQ(late.take(1000, t).size(), 100u);
    EXPECT_EQ(late.available(t), 0u);
    EXPECT_EQ(late.nextEvent(t), milliseconds(2) + byte * 100);
}

TEST(SimTiming, DiscardDropsOnlyWhatHasArrived) {
    sim::InstrumentSim instrument(sim::Scenario{});
    instrument.receive("DPS\r\n", Duration{0});
    const std::string report = *instrument.scenario().dumpReport;
    const Duration byte = std::chrono::nanoseconds(static_cast<long long>(1e9 / 960.0));
    const Duration t = milliseconds(2) + byte * 9;
    instrument.discardArrived(t);
    EXPECT_EQ(instrument.available(t), 0u);
    const Duration end = milliseconds(10000);
    EXPECT_EQ(instrument.take(10000, end), report.substr(10));
}

TEST(SimFaults, SilenceAndDisconnectCutTheStream) {
    struct Case {
        const char* name;
        bool disconnect;
    } const cases[] = {{"silence", false}, {"disconnect", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario s;
        (c.disconnect ? s.disconnectAtByte : s.silenceFromByte) = 30;
        SimRig rig(s);
        rig.line.writeText("LE\r\n");
        std::string got;
        int polls = 0;
        try {
            for (; polls < 1000; ++polls) {
                if (rig.line.bytesWaiting() > 0) {
                    char byte = 0;
                    rig.line.readBytes(&byte, 1);
                    got.push_back(byte);
                } else {
                    delay(rig.clock, 5);
                }
            }
            EXPECT_FALSE(c.disconnect) << "the cable was never pulled";
        } catch (const PortError& e) {
            EXPECT_TRUE(c.disconnect) << e.what();
            EXPECT_EQ(e.operation, PortOperation::Status);
        }
        EXPECT_EQ(got, rig.instrument.logStream().substr(0, 30));
        EXPECT_EQ(rig.instrument.disconnected(rig.clock.now()), c.disconnect);
        EXPECT_EQ(rig.instrument.nextEvent(rig.clock.now()), std::nullopt);
    }
}

TEST(SimFaults, EndlessModeNeverEnds) {
    sim::Scenario s;
    s.count = 3;
    s.endless = true;
    s.paced = false;
    sim::InstrumentSim instrument(s);
    instrument.receive("LE\r\n", Duration{0});
    std::string tail;
    size_t total = 0;
    Duration now{0};
    for (int i = 0; i < 3000 && total < 3'000'000; ++i) {
        now += milliseconds(1);
        const std::string part = instrument.take(instrument.available(now), now);
        ASSERT_FALSE(part.empty());
        total += part.size();
        tail = part;
    }
    EXPECT_GE(total, 3'000'000u);
    EXPECT_EQ(tail.find('*'), std::string::npos);
    EXPECT_EQ(tail.find('\0'), std::string::npos);
    EXPECT_TRUE(instrument.nextEvent(now).has_value());
}

TEST(SimFaults, EndlessTextAfterTheChosenCommand) {
    QString error;
    const sim::Scenario s = sim::scenarioFromJson(
        R"({"count": 2, "endless": true, "endlessText": "x", "endlessAfter": "DPS",
            "dumpReport": "report\r\n", "paced": false})",
        &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    sim::InstrumentSim instrument(s);
    // Before the command the instrument is quiet, and its log still ends.
    instrument.receive("LE\r\n", Duration{0});
    EXPECT_EQ(instrument.take(100000, milliseconds(10)), instrument.logStream());
    EXPECT_EQ(instrument.logStream().back(), '*');
    EXPECT_EQ(instrument.nextEvent(milliseconds(10)), std::nullopt);

    instrument.receive("DPS\r\n", milliseconds(20));
    std::string answer;
    for (int i = 1; i <= 100; ++i)
        answer += instrument.take(instrument.available(milliseconds(20 + i)), milliseconds(20 + i));
    ASSERT_GT(answer.size(), 100000u);
    EXPECT_EQ(answer.substr(0, 8), "report\r\n");
    EXPECT_EQ(answer.find_first_not_of('x', 8), std::string::npos);
}
