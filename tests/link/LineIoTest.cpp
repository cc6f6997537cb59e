#include "SimRig.h"
#include "link/InstrumentLine.h"
#include "link/ReadLog.h"
#include "text/AppError.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A rig whose instrument answers "DPS" with the given bytes, already asked.
struct Asked {
    explicit Asked(const std::string& bytes) : rig(scenario(bytes)) {
        rig.line.writeText("DPS\r\n");
    }
    static sim::Scenario scenario(const std::string& bytes) {
        sim::Scenario s;
        s.dumpReport = bytes;
        return s;
    }
    // The line's text; one that timed out is marked so.
    std::string readLine(InstrumentLine::Duration silence = 500ms) {
        const Reply reply = rig.app.line().readLine(silence);
        return reply.timedOut ? reply.text + " [timed out]" : reply.text;
    }
    SimRig rig;
};

} // namespace

TEST(ReadLine, EndsAtCrAndLfInEitherOrder) {
    struct Case {
        const char* bytes;
        const char* line;
    } const cases[] = {
        {"abc\r\n", "abc"},
        {"abc\n\r", "abc"},
        {"\r\n", ""},
        {"ab\rcd\n", "abcd"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        Asked reply(c.bytes);
        EXPECT_EQ(reply.readLine(), c.line);
    }
}

TEST(ReadLine, KeepsNulAndEveryOtherByte) {
    Asked reply(std::string("a\0\x80`\x7f\r\n", 7));
    EXPECT_EQ(reply.readLine(), std::string("a\0\x80`\x7f", 5));
}

TEST(ReadLine, TimesOutAfterTheSilenceLimit) {
    Asked reply("abc\n");
    EXPECT_EQ(reply.readLine(500ms), "abc [timed out]");
    // One empty poll before the reply arrives, then ten empty polls after its last byte.
    EXPECT_NEAR(reply.rig.elapsedMs(), 50.0 + 500.0, 1.0);

    Asked silent("");
    EXPECT_EQ(silent.readLine(500ms), " [timed out]");
    EXPECT_NEAR(silent.rig.elapsedMs(), 500.0, 1.0);
}

TEST(ReadLine, WaitsTheSilenceItIsGiven) {
    Asked silent("");
    EXPECT_EQ(silent.readLine(5000ms), " [timed out]");
    EXPECT_NEAR(silent.rig.elapsedMs(), 5000.0, 1.0);
}

TEST(ReadLine, LeavesTheNextLineForTheNextRead) {
    Asked reply("abc\r\ndef\r\n");
    EXPECT_EQ(reply.readLine(), "abc");
    EXPECT_EQ(reply.readLine(), "def");
    EXPECT_EQ(reply.readLine(), " [timed out]");
}

TEST(LineIo, AReplyStopsGrowingAtTheLimitAndSaysSo) {
    const std::string full(InstrumentLine::kMaxReplyBytes, 'x');
    struct Case {
        const char* name;
        bool raw;
        std::string reply;
        std::string text;
        bool cut;
    } const cases[] = {
        {"line beyond the limit", false, full + "yz\r\n", full, true},
        {"line of the limit", false, full + "\r\n", full, false},
        {"raw reply beyond the limit", true, full + "yz", full, true},
        {"raw reply below it", true, "abc\r\n", "abc\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Asked asked(c.reply);
        const Reply reply =
            c.raw ? asked.rig.app.line().readUntilSilence() : asked.rig.app.line().readLine();
        EXPECT_EQ(reply.text, c.text);
        EXPECT_EQ(reply.cut, c.cut);
        // A line cut short never saw its CR and LF.
        EXPECT_EQ(reply.timedOut, c.cut && !c.raw);
    }
    EXPECT_EQ(cutReplyNote(), "Instrument reply cut at 65535 bytes");
}

TEST(ReadUntilSilence, CollectsEverythingUntilSilence) {
    Asked reply("abcde\r\nfghij\r\n");
    EXPECT_EQ(reply.rig.app.line().readUntilSilence().text, "abcde\r\nfghij\r\n");
    // The 14 bytes arrive within the first poll step; then about 500 ms of silence.
    EXPECT_NEAR(reply.rig.elapsedMs(), 50.0 + 500.0, 1.0);

    Asked silent("");
    EXPECT_EQ(silent.rig.app.line().readUntilSilence(5000ms).text, "");
    EXPECT_NEAR(silent.rig.elapsedMs(), 5000.0, 1.0);
}

TEST(LineIo, AStopRequestEndsTheWaitAtOnce) {
    Asked silent("");
    std::atomic<bool> stop{true};
    silent.rig.app.line().setStopFlag(&stop);
    const Reply reply = silent.rig.app.line().readLine();
    EXPECT_TRUE(reply.stopped);
    EXPECT_EQ(reply.text, "");
    EXPECT_TRUE(reply.timedOut);
    EXPECT_EQ(silent.rig.elapsedMs(), 0.0);
}

TEST(Send, AppendsCrLf) {
    SimRig rig;
    rig.app.line().send("");
    rig.app.line().send("LS");
    EXPECT_EQ(rig.line.written, "\r\nLS\r\n");
}

TEST(FirstNumber, TakesTheFirstRunOfNumberCharacters) {
    EXPECT_EQ(firstNumber("LOG STATUS 120 OF 500"), 120);
    EXPECT_EQ(firstNumber("123abc"), 123);
    EXPECT_EQ(firstNumber("abc"), -1);
    EXPECT_EQ(firstNumber(""), -1);
    EXPECT_EQ(firstNumber("LS 0"), 0);
    try {
        firstNumber("n=1,2");
        ADD_FAILURE() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'1,2' is not a valid integer value");
    }
    EXPECT_THROW(firstNumber("count 99999999999"), ConversionError);
}
