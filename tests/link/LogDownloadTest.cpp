#include "link/LogDownload.h"

#include "SimRig.h"
#include "app/Commands.h"
#include "app/HandlerGuard.h"
#include "link/InstrumentLine.h"
#include "link/ReadLog.h"
#include "log/LogLayout.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

const std::string kTitle = "Date Time\tRl\tStat\tSeq-Id\tSeq#\r\n";
const std::string kRec1 = "12.03.2005 10:15:00\t512\t0\t7\t31\r\n";
const std::string kRec2 = "12.03.2005 10:16:00\t498\t18\t7\t32\r\n";
const Lines kRow1 = {"1", "12.03.2005 10:15:00", "512", "0", "7", "31"};
const Lines kRow2 = {"2", "12.03.2005 10:16:00", "498", "18", "7", "32"};
const Lines kEmpty = {"", "", "", "", "", ""};

// "Read log" against an instrument that answers "LE" with the given bytes.
struct StreamRun {
    explicit StreamRun(const std::string& stream, const std::string& model = "RVM600",
                       long long announced = 250)
        : rig(scenario(stream, model, announced)) {
        activateMainWindow(rig.app);
        rig.app.session().graphViewed = true;
        runGuarded(rig.app.dialogs(), [&] { end = readLog(rig.app).end; });
    }
    static sim::Scenario scenario(const std::string& stream, const std::string& model,
                                  long long announced) {
        sim::Scenario s;
        s.model = model;
        s.stream = stream;
        s.lsCount = announced;
        return s;
    }
    std::vector<Lines> rows() const {
        std::vector<Lines> all;
        for (int r = 1; r < rig.app.table().rows(); ++r) {
            Lines cells;
            for (int c = 0; c < rig.app.table().cols(); ++c)
                cells.push_back(rig.app.table().cell(c, r));
            all.push_back(cells);
        }
        return all;
    }
    // Milliseconds from "LE" to the end of the run.
    double msAfterLe() const {
        for (const auto& r : rig.instrument.received())
            if (r.line == "LE")
                return rig.elapsedMs() - std::chrono::duration<double, std::milli>(r.time).count();
        return -1;
    }
    SimRig rig;
    ReadLogEnd end = ReadLogEnd::Declined;
};

} // namespace

TEST(DownloadLog, TellsRecordsFromTheOtherLines) {
    struct Case {
        const char* name;
        std::string stream;
        std::vector<Lines> rows;
        const char* serialLine;
        const char* progressText;
    } const cases[] = {
        {"serial and titles first",
         "s/n: 4711\r\n" + kTitle + kRec1 + kRec2 + "*",
         {kRow1, kRow2},
         "s/n: 4711",
         "2 of 250"},
        {"serial and titles after the records",
         kRec1 + kRec2 + "Unit S/N 815\r\n" + kTitle + "*",
         {kRow1, kRow2, kEmpty, kEmpty},
         "S/N 815",
         "3 of 250"},
        {"five separators before the first record",
         "a\tb\tc\td\te\tf\r\n" + kRec1 + "*",
         {kRow1},
         "",
         "1 of 250"},
        {"five separators after a record",
         kRec1 + "a\tb\tc\td\te\tf\r\n" + kRec2 + "*",
         {kRow1, kRow2, kEmpty},
         "",
         "2 of 250"},
        {"empty lines", "\r\n" + kRec1 + "\r\n\r\n" + "*", {kRow1, kEmpty, kEmpty}, "", "2 of 250"},
        {"a star inside a line ends the stream",
         kRec1 + "12.03.2005 10:16:00\t4*98\t18\t7\t32\r\n" + kRec2,
         {kRow1},
         "",
         "1 of 250"},
        {"NUL ends the stream", kRec1 + std::string(1, '\0') + kRec2, {kRow1}, "", "1 of 250"},
        {"silence ends the stream and drops an unfinished line",
         kRec1 + "12.03.2005 10:16:00\t498",
         {kRow1},
         "",
         "1 of 250"},
        {"commas instead of TABs", "12.03.2005 10:15:00,512,0,7,31\r\n*", {kRow1}, "", "1 of 250"},
        {"LF alone ends no line",
         "12.03.2005 10:15:00\t512\t0\t7\t31\n12.03.2005\r\n*",
         {{"1", "12.03.2005 10:15:00", "512", "0", "7", "3112.03.2005"}},
         "",
         "1 of 250"},
        {"grave accent and control bytes dropped, high bytes kept",
         "12.03.2005 10:15:00\t5`12\t0\t\x01S\xE9q\x1F\t31\r\n*",
         {{"1", "12.03.2005 10:15:00", "512", "0", "S\xE9q", "31"}},
         "",
         "1 of 250"},
        {"date without blank",
         "12.03.2005\t512\t0\t7\t31\r\n*",
         {{"1", "$not found$ $not found$", "512", "0", "7", "31"}},
         "",
         "1 of 250"},
        {"no records", "s/n: 1\r\n" + kTitle + "*", {kEmpty}, "s/n: 1", "1 of 250"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StreamRun run(c.stream);
        // 250 were announced, so every case is a log cut short.
        const auto records = std::count_if(c.rows.begin(), c.rows.end(),
                                           [](const Lines& row) { return !row[0].empty(); });
        const std::string incomplete =
            "Log incomplete: " + std::to_string(records) + " of 250 records read";
        EXPECT_EQ(run.end, ReadLogEnd::Incomplete);
        EXPECT_EQ(run.rig.dialogs.events, Lines{"message: " + incomplete});
        ASSERT_FALSE(run.rig.view.messages.empty());
        EXPECT_EQ(run.rig.view.messages.back(), incomplete);
        EXPECT_EQ(run.rows(), c.rows);
        EXPECT_EQ(run.rig.app.session().serialLine, c.serialLine);
        EXPECT_EQ(run.rig.view.progressText, c.progressText);
        EXPECT_TRUE(run.rig.app.table().isEnabled());
        EXPECT_FALSE(run.rig.app.session().dataSaved);
    }
}

TEST(DownloadLog, SerialLineAndIdentificationGoToTheMemoAtTheFirstRecord) {
    StreamRun run("s/n: 4711\r\n" + kTitle + kRec1 + kRec2 + "*", "RVM600", 2);
    EXPECT_EQ(run.rig.app.session().serialNo, "4711");
    EXPECT_EQ(run.rig.view.messages, (Lines{"Virelon RVM600 reflectometer\r\n", "s/n: 4711"}));
    EXPECT_EQ(run.rig.view.progress, 2); // records read
    // Without a serial line the number of the previous instrument stays.
    StreamRun second(kRec1 + "*", "RVM600", 1);
    second.rig.app.session().serialNo = "old";
    second.rig.dialogs.yesNoAnswers = {true};
    runGuarded(second.rig.dialogs, [&] { readLog(second.rig.app); });
    EXPECT_EQ(second.rig.app.session().serialNo, "old");
    EXPECT_EQ(second.rig.view.messages, (Lines{"Virelon RVM600 reflectometer\r\n", ""}));
}

TEST(DownloadLog, EndsOnTheEndByteAtOnceAndOnSilenceAfterHalfASecond) {
    StreamRun star(kRec1 + "*");
    // The 1000 ms start wait, then the bytes are there at once.
    EXPECT_NEAR(star.msAfterLe(), 1000.0, 1.0);
    StreamRun silent(kRec1);
    // 100 empty polls of 5 ms after the last byte.
    EXPECT_NEAR(silent.msAfterLe(), 1500.0, 1.0);
    EXPECT_EQ(silent.rows(), (std::vector<Lines>{kRow1}));
}

TEST(DownloadLog, ShowsProgressEveryRecord) {
    std::string stream = "s/n: 1\r\n" + kTitle;
    for (int i = 0; i < 25; ++i)
        stream += kRec1 + (i == 12 ? "noise\r\n" : "");
    StreamRun run(stream + "*");
    EXPECT_EQ(run.rig.view.progress, 25);
    EXPECT_EQ(run.rig.view.progressText, "25 of 250");
    EXPECT_EQ(run.rig.app.table().cell(0, 25), "25");
    EXPECT_EQ(run.rig.app.table().rows(), 27); // header, 25 records, one empty row
}

TEST(DownloadLog, AStatusThatIsNoNumberIsKeptUnmarkedAndTheDownloadGoesOn) {
    const std::string kIdentLine = "Virelon RVM600 reflectometer\r\n";
    const std::string kIdentPk = "Virelon RVM600PK reflectometer\r\nRl and Qd\r\n";
    const std::string bad = "12.03.2005 10:16:00\t498\tabc\t7\t32\r\n";
    struct Case {
        const char* name;
        std::string model;
        std::string stream;
        long long records;
        Lines messages;
        std::vector<std::pair<int, CellMark>> marks; // (row, mark of the value cell)
        int statusCol;
    };
    const Case cases[] = {
        {"in the middle",
         "RVM600",
         kRec1 + bad + kRec2 + "*",
         3,
         {kIdentLine, "", "Record 2: status 'abc' is not a number"},
         {{1, CellMark::Normal}, {2, CellMark::Normal}, {3, CellMark::Orange}},
         3},
        {"the first record, an empty status",
         "VX40",
         "12.03.2005 10:16:00\t498\t\t7\t32\r\n" + kRec2 + "*",
         2,
         {"Virelon VX40 Qd meter\r\n", "", "Record 1: status '' is not a number"},
         {{1, CellMark::Normal}, {2, CellMark::Orange}},
         3},
        {"combined, Rl status bad: Qd still marked",
         "RVM600PK",
         "12.03.2005 10:16:00\t498\t120\t2 x\t3\t7\t32\r\n*",
         1,
         {kIdentPk, "", "Record 1: status '2 x' is not a number"},
         {{1, CellMark::Normal}},
         4},
        {"combined, both bad",
         "RVM600PK",
         "12.03.2005 10:16:00\t498\t120\t0\t0\t7\t1\r\n"
         "12.03.2005 10:17:00\t498\t120\tx\ty\t7\t2\r\n*",
         2,
         {kIdentPk, "", "Record 2: status 'x' is not a number",
          "Record 2: status 'y' is not a number"},
         {{1, CellMark::Normal}, {2, CellMark::Normal}},
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StreamRun run(c.stream, c.model, c.records);
        const App& app = run.rig.app;
        EXPECT_EQ(run.end, ReadLogEnd::Complete);
        EXPECT_TRUE(run.rig.dialogs.events.empty());
        EXPECT_EQ(run.rig.view.messages, c.messages);
        EXPECT_EQ(app.table().rows(), c.records + 1);
        for (const auto& [row, mark] : c.marks) {
            EXPECT_EQ(app.table().cell(0, row), std::to_string(row));
            EXPECT_EQ(app.table().mark(2, row), mark) << row;
            EXPECT_EQ(app.table().mark(c.statusCol, row), mark) << row;
        }
        EXPECT_TRUE(app.table().isEnabled());
        EXPECT_FALSE(app.session().dataSaved);
        EXPECT_FALSE(app.session().graphViewed);
        EXPECT_EQ(run.rig.dialogs.busyDepth, 0);
        EXPECT_TRUE(run.rig.view.readLogEnabled);
    }
    // The combined record with one bad status: the other pair is marked as usual.
    StreamRun pk(cases[2].stream, "RVM600PK", 1);
    EXPECT_EQ(pk.rig.app.table().cell(4, 1), "2 x");
    EXPECT_EQ(pk.rig.app.table().mark(3, 1), CellMark::Red);
    EXPECT_EQ(pk.rig.app.table().mark(5, 1), CellMark::Red);
}

TEST(DownloadLog, FewerRecordsThanAnnouncedAreReportedAfterTheDownload) {
    const std::string kIncomplete = "Log incomplete: ";
    struct Case {
        const char* name;
        sim::Scenario scenario;
        ReadLogEnd end;
        const char* message; // nothing: no box
    };
    sim::Scenario silent;
    silent.count = 10;
    silent.silenceFromByte = static_cast<long long>(
        sim::InstrumentSim(silent).logStream().find(sim::generateRecords("RVM600", 10, 1)[6]) + 5);
    sim::Scenario star;
    star.count = 10;
    star.starInRecord = 4;
    sim::Scenario nul;
    nul.stream = kRec1 + kRec2 + "12.03.2005\t" + std::string(1, '\0') + kRec1;
    nul.lsCount = 3;
    sim::Scenario whole;
    whole.count = 10;
    sim::Scenario more;
    more.count = 10;
    more.lsCount = 4;
    sim::Scenario bound;
    bound.count = 3;
    bound.lsCount = 50;
    bound.endless = true;
    const Case cases[] = {
        {"silence in record 7", silent, ReadLogEnd::Incomplete, "6 of 10 records read"},
        {"a star in record 4", star, ReadLogEnd::Incomplete, "3 of 10 records read"},
        {"a NUL in record 3", nul, ReadLogEnd::Incomplete, "2 of 3 records read"},
        {"as many as announced", whole, ReadLogEnd::Complete, nullptr},
        {"more than announced", more, ReadLogEnd::Complete, nullptr},
        {"stopped by a bound", bound, ReadLogEnd::Stopped, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig(c.scenario);
        activateMainWindow(rig.app);
        // What the user has while the box is up.
        bool readLogEnabled = true;
        int busy = -1;
        bool tableEnabled = false;
        rig.dialogs.onMessage = [&] {
            readLogEnabled = rig.view.readLogEnabled;
            busy = rig.dialogs.busyDepth;
            tableEnabled = rig.app.table().isEnabled();
        };
        ReadLogEnd end = ReadLogEnd::Declined;
        runGuarded(rig.dialogs, [&] { end = readLog(rig.app).end; });
        EXPECT_EQ(end, c.end);
        EXPECT_TRUE(rig.view.readLogEnabled);
        EXPECT_FALSE(rig.app.session().dataSaved);
        if (!c.message) {
            EXPECT_TRUE(rig.dialogs.events.empty());
            for (const auto& line : rig.view.messages)
                EXPECT_EQ(line.rfind(kIncomplete, 0), std::string::npos) << line;
            continue;
        }
        const std::string text = kIncomplete + c.message;
        EXPECT_EQ(rig.dialogs.events, Lines{"message: " + text});
        EXPECT_EQ(rig.view.messages.back(), text);
        EXPECT_FALSE(readLogEnabled);
        EXPECT_EQ(busy, 0);
        EXPECT_TRUE(tableEnabled);
    }
}

TEST(DownloadLog, APortErrorEndsTheRunAndKeepsRecordsAsUnsaved) {
    struct Case {
        long long cutAt;
        int rows;
        bool dataSaved;
    } const cases[] = {{5, 2, true}, {static_cast<long long>(kRec1.size() * 2 + 5), 3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cutAt);
        sim::Scenario s;
        s.stream = kRec1 + kRec2 + kRec1 + "*";
        s.disconnectAtByte = c.cutAt;
        SimRig rig(s);
        activateMainWindow(rig.app);
        runGuarded(rig.dialogs, [&] { readLog(rig.app); });
        EXPECT_EQ(rig.dialogs.events,
                  Lines{"error: ClearCommError function failed (win error code: 5)"});
        EXPECT_EQ(rig.app.table().rows(), c.rows);
        EXPECT_EQ(rig.app.session().dataSaved, c.dataSaved);
        EXPECT_EQ(rig.dialogs.busyDepth, 0);
        EXPECT_TRUE(rig.view.readLogEnabled);
    }
}

TEST(DownloadLog, StopsADeviceThatNeverStopsSending) {
    struct Case {
        const char* name;
        sim::Scenario scenario;
        int rows;
        const char* message;
    };
    sim::Scenario noise;
    noise.count = 3;
    noise.endless = true;
    sim::Scenario onlyNoise;
    onlyNoise.stream = "";
    onlyNoise.endless = true;
    sim::Scenario longLine;
    longLine.stream = kRec1 + std::string(70000, 'x') + "\r\n" + kRec2 + "*";
    // At 9600 bit/s such a line takes 68 s, and the bound of 60 s without a record comes first.
    longLine.paced = false;
    const Case cases[] = {
        {"noise after the records", noise, 1 + 3 + 1000,
         "Log reading stopped: 1000 lines in a row held no record"},
        {"noise only", onlyNoise, 2, "Log reading stopped: 1000 lines in a row held no record"},
        {"a line without end", longLine, 2, "Log reading stopped: a line longer than 65535 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig(c.scenario);
        activateMainWindow(rig.app);
        ReadLogEnd end = ReadLogEnd::Declined;
        runGuarded(rig.dialogs, [&] { end = readLog(rig.app).end; });
        EXPECT_EQ(end, ReadLogEnd::Stopped);
        EXPECT_TRUE(rig.dialogs.events.empty());
        EXPECT_EQ(rig.app.table().rows(), c.rows);
        ASSERT_FALSE(rig.view.messages.empty());
        EXPECT_EQ(rig.view.messages.back(), c.message);
        EXPECT_TRUE(rig.app.table().isEnabled());
        EXPECT_FALSE(rig.app.session().dataSaved);
        EXPECT_TRUE(rig.view.readLogEnabled);
    }
}

TEST(DownloadLog, StopsWhenTheTableIsFull) {
    sim::Scenario s;
    s.count = 20;
    SimRig rig(s);
    activateMainWindow(rig.app);
    rig.app.session().model = &modelNamed("RVM600");
    rig.app.session().logCount = 20;
    rig.layoutTable();
    DownloadLimits limits;
    limits.maxTableRows = 10;
    EXPECT_EQ(rig.download(limits), ReadLogEnd::Stopped);
    EXPECT_EQ(rig.app.table().rows(), 10);
    EXPECT_EQ(rig.app.table().cell(0, 9), "9");
    EXPECT_EQ(rig.view.messages.back(), "Log reading stopped: the table is full at 10 rows");
    EXPECT_TRUE(rig.app.table().isEnabled());
}

TEST(DownloadLog, StopsASlowTalkerAfterSixtySecondsWithoutARecord) {
    // One byte every 0.4 s never leaves the half second of silence that ends a stream.
    struct Case {
        const char* name;
        std::string stream;
        double lastRecordMs; // after "LE"; the stream is read from 1000 ms on
        int records;
    } const cases[] = {
        // The record's CR is its 31st byte, 2 ms + 30 * 400 ms after "LE".
        {"after a record", kRec1, 2 + 30 * 400.0, 1},
        {"no record at all", "", 1000, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario s;
        s.stream = c.stream;
        s.lsCount = 1;
        s.endless = true;
        s.streamByteMicros = 400000;
        SimRig rig(s);
        activateMainWindow(rig.app);
        ReadLogEnd end = ReadLogEnd::Declined;
        runGuarded(rig.dialogs, [&] { end = readLog(rig.app).end; });
        EXPECT_EQ(end, ReadLogEnd::Stopped);
        EXPECT_TRUE(rig.dialogs.events.empty());
        EXPECT_EQ(rig.view.messages.back(), "Log reading stopped: no record for 60 s");
        EXPECT_EQ(rig.app.table().cell(0, 1), c.records ? "1" : "");
        EXPECT_TRUE(rig.app.table().isEnabled());
        // Stopped at the first byte more than 60 s after the last record.
        double leMs = 0;
        for (const auto& r : rig.instrument.received())
            if (r.line == "LE")
                leMs = std::chrono::duration<double, std::milli>(r.time).count();
        const double stopMs = rig.elapsedMs() - leMs;
        EXPECT_GT(stopMs, c.lastRecordMs + 60000);
        EXPECT_LE(stopMs, c.lastRecordMs + 60000 + 400 + 10);
    }
}

TEST(DownloadLog, StopsAfterSoManyBytesOfLogStream) {
    // Ten records of 32 bytes and the end byte: 321 bytes.
    std::string stream;
    for (int i = 0; i < 10; ++i)
        stream += kRec1;
    stream += "*";
    struct Case {
        size_t maxBytes;
        ReadLogEnd end;
        int records;
    } const cases[] = {
        {100, ReadLogEnd::Stopped, 3},
        {320, ReadLogEnd::Stopped, 10},
        {321, ReadLogEnd::Complete, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxBytes);
        sim::Scenario s;
        s.stream = stream;
        SimRig rig(s);
        activateMainWindow(rig.app);
        rig.app.session().model = &modelNamed("RVM600");
        rig.app.session().logCount = 10;
        rig.layoutTable();
        DownloadLimits limits;
        limits.maxStreamBytes = c.maxBytes;
        EXPECT_EQ(rig.download(limits), c.end);
        EXPECT_EQ(rig.app.table().rows(), c.records + 1);
        EXPECT_EQ(rig.view.progress, c.records);
        if (c.end == ReadLogEnd::Stopped) {
            EXPECT_EQ(rig.view.messages.back(), "Log reading stopped: more than " +
                                                    std::to_string(c.maxBytes) + " bytes of log");
        }
        EXPECT_TRUE(rig.app.table().isEnabled());
    }
    // The bounds a download has unless told otherwise.
    EXPECT_EQ(DownloadLimits{}.maxStreamBytes, size_t{256} * 1024 * 1024);
    EXPECT_EQ(DownloadLimits{}.maxTimeWithoutRecord, std::chrono::seconds(60));
}
