#include "SimRig.h"
#include "link/InstrumentLink.h"

#include <gtest/gtest.h>

namespace {

// A rig whose instrument answers "DPS" with the given bytes, already asked.
struct Reply {
    explicit Reply(const std::string& bytes) : rig(scenario(bytes)) {
        rig.line.writeText("DPS\r\n");
    }
    static sim::Scenario scenario(const std::string& bytes) {
        sim::Scenario s;
        s.dumpReport = bytes;
        return s;
    }
    std::string readLine(uint8_t count = 10) {
        std::string target = "old";
        ReadLine(rig.line, rig.clock, count, target);
        return target;
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
        Reply reply(c.bytes);
        EXPECT_EQ(reply.readLine(), c.line);
    }
}

TEST(ReadLine, KeepsNulAndEveryOtherByte) {
    Reply reply(std::string("a\0\x80`\x7f\r\n", 7));
    EXPECT_EQ(reply.readLine(), std::string("a\0\x80`\x7f", 5));
}

TEST(ReadLine, TimesOutAfterTheSilenceLimit) {
    Reply reply("abc\n");
    EXPECT_EQ(reply.readLine(10), "abc$timeout");
    // One empty poll before the reply arrives, then ten empty polls after its last byte.
    EXPECT_NEAR(reply.rig.elapsedMs(), 50.0 + 500.0, 1.0);

    Reply silent("");
    EXPECT_EQ(silent.readLine(10), "$timeout");
    EXPECT_NEAR(silent.rig.elapsedMs(), 500.0, 1.0);
}

TEST(ReadLine, LimitZeroMeansHundredPolls) {
    Reply silent("");
    EXPECT_EQ(silent.readLine(0), "$timeout");
    EXPECT_NEAR(silent.rig.elapsedMs(), 5000.0, 1.0);
}

TEST(ReadLine, LeavesTheNextLineForTheNextRead) {
    Reply reply("abc\r\ndef\r\n");
    EXPECT_EQ(reply.readLine(), "abc");
    EXPECT_EQ(reply.readLine(), "def");
    EXPECT_EQ(reply.readLine(), "$timeout");
}

TEST(LineIo, AReplyCutAtTheLimitLeavesAMemoLine) {
    const std::string cutLine = "Instrument reply cut at 65535 bytes";
    const std::string full(kMaxReplyBytes, 'x');
    struct Case {
        const char* name;
        bool raw;
        std::string reply;
        std::string target;
        bool cut;
    } const cases[] = {
        {"line beyond the limit", false, full + "yz\r\n", full + "$timeout", true},
        {"line of the limit", false, full + "\r\n", full, false},
        {"raw reply beyond the limit", true, full + "yz", full, true},
        {"raw reply below it", true, "abc\r\n", "abc\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reply reply(c.reply);
        std::string target;
        if (c.raw)
            ReadRaw(reply.rig.app, 10, target);
        else
            ReadLine(reply.rig.app, 10, target);
        EXPECT_EQ(target, c.target);
        EXPECT_EQ(reply.rig.controls.memErr,
                  c.cut ? std::vector<std::string>{cutLine} : std::vector<std::string>{});
        // The port-level reads tell the same.
        Reply again(c.reply);
        EXPECT_EQ(c.raw ? ReadRaw(again.rig.line, again.rig.clock, 10, target)
                        : ReadLine(again.rig.line, again.rig.clock, 10, target),
                  c.cut);
    }
}

TEST(ReadRaw, CollectsEverythingUntilSilence) {
    Reply reply("abcde\r\nfghij\r\n");
    std::string target = "old";
    ReadRaw(reply.rig.line, reply.rig.clock, 10, target);
    EXPECT_EQ(target, "abcde\r\nfghij\r\n");
    // The 14 bytes arrive within the first poll step; then about 500 ms of silence.
    EXPECT_NEAR(reply.rig.elapsedMs(), 50.0 + 500.0, 1.0);

    Reply silent("");
    ReadRaw(silent.rig.line, silent.rig.clock, 0, target);
    EXPECT_EQ(target, "");
    EXPECT_NEAR(silent.rig.elapsedMs(), 5000.0, 1.0);
}

TEST(SendLine, AppendsCrLf) {
    SimRig rig;
    SendLine(rig.line, "");
    SendLine(rig.line, "LS");
    EXPECT_EQ(rig.line.written, "\r\nLS\r\n");
}

TEST(FirstNumber, TakesTheFirstRunOfNumberCharacters) {
    EXPECT_EQ(FirstNumber("LOG STATUS 120 OF 500"), 120);
    EXPECT_EQ(FirstNumber("123abc"), 123);
    EXPECT_EQ(FirstNumber("abc"), -1);
    EXPECT_EQ(FirstNumber(""), -1);
    EXPECT_EQ(FirstNumber("LS 0"), 0);
    try {
        FirstNumber("n=1,2");
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'1,2' is not a valid integer value");
    }
    EXPECT_THROW(FirstNumber("count 99999999999"), EConvertError);
}
