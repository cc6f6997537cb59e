#include "log/LogDownload.h"

#include "SimRig.h"
#include "app/HandlerGuard.h"
#include "app/Handlers.h"
#include "link/InstrumentLink.h"
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
    explicit StreamRun(const std::string& stream, const std::string& model = "RVM600")
        : rig(scenario(stream, model)) {
        FormActivate(rig.app);
        rig.app.state.GraphViewed = true;
        RunGuarded(rig.app.dialogs, [&] { end = ReadLog(rig.app); });
    }
    static sim::Scenario scenario(const std::string& stream, const std::string& model) {
        sim::Scenario s;
        s.model = model;
        s.stream = stream;
        s.lsCount = 250;
        return s;
    }
    std::vector<Lines> rows() const {
        std::vector<Lines> all;
        for (int r = 1; r < rig.app.table.rows(); ++r) {
            Lines cells;
            for (int c = 0; c < rig.app.table.cols(); ++c)
                cells.push_back(rig.app.table.cell(c, r));
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
        const char* dataRead;
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
        EXPECT_EQ(run.end, ReadLogEnd::Complete);
        EXPECT_TRUE(run.rig.dialogs.events.empty());
        EXPECT_EQ(run.rows(), c.rows);
        EXPECT_EQ(run.rig.app.state.SerialLine, c.serialLine);
        EXPECT_EQ(run.rig.controls.dataRead, c.dataRead);
        EXPECT_TRUE(run.rig.app.table.isEnabled());
        EXPECT_FALSE(run.rig.app.state.DataSaved);
        EXPECT_TRUE(run.rig.app.state.CurLine.empty());
    }
}

TEST(DownloadLog, SerialLineAndIdentificationGoToTheMemoAtTheFirstRecord) {
    StreamRun run("s/n: 4711\r\n" + kTitle + kRec1 + kRec2 + "*");
    EXPECT_EQ(run.rig.app.state.SerialNo, "4711");
    EXPECT_EQ(run.rig.controls.memErr, (Lines{"Virelon RVM600 reflectometer\r\n", "s/n: 4711"}));
    EXPECT_EQ(run.rig.app.state.RowNo, 2);
    // Without a serial line the number of the previous instrument stays.
    StreamRun second(kRec1 + "*");
    second.rig.app.state.SerialNo = "old";
    second.rig.dialogs.yesNoAnswers = {true};
    RunGuarded(second.rig.dialogs, [&] { ReadLog(second.rig.app); });
    EXPECT_EQ(second.rig.app.state.SerialNo, "old");
    EXPECT_EQ(second.rig.controls.memErr, (Lines{"Virelon RVM600 reflectometer\r\n", ""}));
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

TEST(DownloadLog, ShowsProgressEveryRecordAndRepaintsTheLabelEveryTenth) {
    std::string stream = "s/n: 1\r\n" + kTitle;
    for (int i = 0; i < 25; ++i)
        stream += kRec1 + (i == 12 ? "noise\r\n" : "");
    StreamRun run(stream + "*");
    EXPECT_EQ(run.rig.controls.gaugePosition, 25);
    EXPECT_EQ(run.rig.controls.dataReadRepaints, (Lines{"10 of 250", "20 of 250"}));
    EXPECT_EQ(run.rig.controls.dataRead, "25 of 250");
    EXPECT_EQ(run.rig.app.table.cell(0, 25), "25");
    EXPECT_EQ(run.rig.app.table.rows(), 27); // header, 25 records, one empty row
}

TEST(DownloadLog, AStatusThatIsNoNumberEndsTheRunWithTheRecordsKeptAsUnsaved) {
    struct Case {
        const char* name;
        std::string stream;
        int rows;
        bool dataSaved;
    } const cases[] = {
        {"at the second record", kRec1 + "12.03.2005 10:16:00\t498\tabc\t7\t32\r\n" + kRec2 + "*",
         3, false},
        {"at the first record", "12.03.2005 10:16:00\t498\tabc\t7\t32\r\n" + kRec2 + "*", 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StreamRun run(c.stream);
        const App& app = run.rig.app;
        EXPECT_EQ(run.rig.dialogs.events, Lines{"error: 'abc' is not a valid integer value."});
        EXPECT_EQ(app.table.rows(), c.rows);
        EXPECT_EQ(app.table.cell(3, c.rows - 1), "abc");
        EXPECT_EQ(app.table.mark(3, c.rows - 1), CellMark::Normal);
        EXPECT_FALSE(app.table.isEnabled());
        EXPECT_EQ(app.state.DataSaved, c.dataSaved);
        EXPECT_TRUE(app.state.GraphViewed);
        EXPECT_EQ(run.rig.dialogs.busyDepth, 0);
        EXPECT_TRUE(run.rig.controls.readLogEnabled);
        EXPECT_EQ(run.rig.controls.focus, "ReadLog"); // from the activation, not moved
        EXPECT_TRUE(run.rig.controls.saveAsEnabled);
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
        FormActivate(rig.app);
        RunGuarded(rig.dialogs, [&] { btnEmptyClick(rig.app); });
        EXPECT_EQ(rig.dialogs.events,
                  Lines{"error: ClearCommError function failed (win error code: 5)"});
        EXPECT_EQ(rig.app.table.rows(), c.rows);
        EXPECT_EQ(rig.app.state.DataSaved, c.dataSaved);
        EXPECT_EQ(rig.dialogs.busyDepth, 0);
        EXPECT_TRUE(rig.controls.readLogEnabled);
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
    const Case cases[] = {
        {"noise after the records", noise, 1 + 3 + 1000,
         "Log reading stopped: 1000 lines in a row held no record"},
        {"noise only", onlyNoise, 2, "Log reading stopped: 1000 lines in a row held no record"},
        {"a line without end", longLine, 2, "Log reading stopped: a line longer than 65535 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig(c.scenario);
        FormActivate(rig.app);
        ReadLogEnd end = ReadLogEnd::Declined;
        RunGuarded(rig.dialogs, [&] { end = ReadLog(rig.app); });
        EXPECT_EQ(end, ReadLogEnd::Stopped);
        EXPECT_TRUE(rig.dialogs.events.empty());
        EXPECT_EQ(rig.app.table.rows(), c.rows);
        ASSERT_FALSE(rig.controls.memErr.empty());
        EXPECT_EQ(rig.controls.memErr.back(), c.message);
        EXPECT_TRUE(rig.app.table.isEnabled());
        EXPECT_FALSE(rig.app.state.DataSaved);
        EXPECT_TRUE(rig.app.state.CurLine.empty());
        EXPECT_TRUE(rig.controls.readLogEnabled);
    }
}

TEST(DownloadLog, StopsWhenTheTableIsFull) {
    sim::Scenario s;
    s.count = 20;
    SimRig rig(s);
    FormActivate(rig.app);
    rig.app.state.ModelName = "RVM600";
    rig.app.state.LogCount = 20;
    LayoutTable(rig.app);
    DownloadLimits limits;
    limits.maxTableRows = 10;
    EXPECT_EQ(DownloadLog(rig.app, limits), DownloadEnd::Stopped);
    EXPECT_EQ(rig.app.table.rows(), 10);
    EXPECT_EQ(rig.app.table.cell(0, 9), "9");
    EXPECT_EQ(rig.controls.memErr.back(), "Log reading stopped: the table is full at 10 rows");
    EXPECT_TRUE(rig.app.table.isEnabled());
}
