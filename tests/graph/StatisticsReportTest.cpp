#include "graph/StatisticsReport.h"

#include "GraphTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

// The statistics of a build of a table with "Stop when low bat" as given.
StatisticsReport reportFor(const std::string& model, const std::vector<Rec>& recs,
                           bool stopOnLowBat = true, const QLocale& locale = QLocale::c()) {
    return statisticsReport(GraphLog(model, recs).build(stopOnLowBat), locale);
}

std::vector<Rec> values(const std::vector<std::string>& vs) {
    std::vector<Rec> recs;
    for (const auto& v : vs)
        recs.push_back({v, "0"});
    return recs;
}

// Rows 1..40 alternate 251 / 250 with the low-battery warning at rows 38..40; rows 41..60 read
// 253.
std::vector<Rec> stopAtRow40Of60() {
    std::vector<Rec> recs;
    for (int row = 1; row <= 60; ++row) {
        if (row <= 40)
            recs.push_back({row % 2 ? "251" : "250", row >= 38 ? "16" : "0"});
        else
            recs.push_back({"253", "0"});
    }
    return recs;
}

std::vector<Rec> firstReading(std::vector<Rec> recs, const std::string& value) {
    recs.front().value = value;
    return recs;
}

} // namespace

TEST(Statistics, ReportTexts) {
    struct Case {
        const char* name;
        std::string model;
        std::vector<Rec> recs;
        bool stopOnLowBat;
        Lines expected;
    } const cases[] = {
        {"small spread, value lines in order",
         "RVM600",
         values({"250", "252", "250", "251"}),
         true,
         {"Rl statistics:", "Value 250 Count: 2", "Value 251 Count: 1", "Value 252 Count: 1",
          "  Rl Dev: 0.8%", "Rl V alarm: ---"}},
        {"above 10",
         "RVM600P",
         values({"100", "111"}),
         true,
         {"Rl statistics:", "  Rl Dev: > 10%", "Rl V alarm: ---"}},
        {"exactly 10",
         "RVM600",
         values({"100", "110"}),
         true,
         {"Rl statistics:", "Value 100 Count: 1", "Value 110 Count: 1", "  Rl Dev: 10%",
          "Rl V alarm: ---"}},
        {"an OFF value against a first value near 250",
         "RVM600",
         {{"250", "0"}, {"251", "1"}, {"252", "0"}},
         true,
         {"Rl statistics:", "  Rl Dev: > 10%", "Rl V alarm: ---"}},
        {"OFF counts, first value read from its cell though the row is OFF",
         "RVM600",
         {{"1000", "1"}, {"50", "0"}, {"abc", "0"}, {"0", "0"}},
         true,
         {"Rl statistics:", "Value OFF Count: 2", "Value 0 Count: 1", "Value 50 Count: 1",
          "  Rl Dev: 5.1%", "Rl V alarm: ---"}},
        {"VX40 reports Qd",
         "VX40",
         values({"120", "121"}),
         true,
         {"Qd statistics:", "Value 120 Count: 1", "Value 121 Count: 1", "  Qd Dev: 0.83%",
          "Qd V alarm: ---"}},
        {"combined model: two blocks, Qd's first value from column 3",
         "RVM600PK",
         {{"250", "0", "100"}, {"255", "0", "104"}},
         true,
         {"Rl statistics:", "Value 250 Count: 1", "Value 255 Count: 1", "  Rl Dev: 2%",
          "Rl V alarm: ---", "", "Qd statistics:", "Value 100 Count: 1", "Value 104 Count: 1",
          "  Qd Dev: 4%", "Qd V alarm: ---"}},
        {"stop at row 40 of 60, box on",
         "RVM600",
         stopAtRow40Of60(),
         true,
         {"Rl statistics:", "Value 250 Count: 19", "Value 251 Count: 20", "  Rl Dev: 0.4%",
          "Rl V alarm: 40"}},
        {"stop at row 40 of 60, box off: spread over all, counts up to the stop",
         "RVM600",
         stopAtRow40Of60(),
         false,
         {"Rl statistics:", "Value 250 Count: 20", "Value 251 Count: 20", "  Rl Dev: 1.2%",
          "Rl V alarm: ---"}},
        {"negative first value",
         "RVM600",
         values({"-5", "-3"}),
         true,
         {"Rl statistics:", "Value -5 Count: 1", "Value -3 Count: 1", "  Rl Dev: -40%",
          "Rl V alarm: ---"}},
        {"extremes: first value 2000000000 with a 10 % spread",
         "RVM600",
         values({"2000000000", "1800000000", "2000000000"}),
         true,
         {"Rl statistics:", "Value 1800000000 Count: 1", "Value 2000000000 Count: 2",
          "  Rl Dev: 10%", "Rl V alarm: ---"}},
        {"extremes: the whole 32-bit range below a negative first value",
         "RVM600",
         values({"-2000000000", "-2147483648", "2147483647"}),
         true,
         {"Rl statistics:", "Value -2147483648 Count: 1", "Value -2000000000 Count: 1",
          "Value 2147483647 Count: 1", "  Rl Dev: -2.1E2%", "Rl V alarm: ---"}},
        // A first reading of 0 leaves the spread unmeasured; the rest of the block stands.
        {"first value 0, extremes differ",
         "RVM600",
         values({"0", "5", "5"}),
         true,
         {"Rl statistics:", "Value 0 Count: 1", "Value 5 Count: 2", "  Rl Dev: ---",
          "Rl V alarm: ---"}},
        {"first value 0, extremes equal",
         "RVM600",
         values({"0", "0"}),
         true,
         {"Rl statistics:", "Value 0 Count: 2", "  Rl Dev: ---", "Rl V alarm: ---"}},
        {"first value 0, stop at row 40 of 60",
         "RVM600",
         firstReading(stopAtRow40Of60(), "0"),
         true,
         {"Rl statistics:", "Value 0 Count: 1", "Value 250 Count: 19", "Value 251 Count: 19",
          "  Rl Dev: ---", "Rl V alarm: 40"}},
        {"combined model: both first values 0, both blocks whole",
         "RVM600PK",
         {{"0", "0", "0"}, {"250", "0", "7"}},
         true,
         {"Rl statistics:", "Value 0 Count: 1", "Value 250 Count: 1", "  Rl Dev: ---",
          "Rl V alarm: ---", "", "Qd statistics:", "Value 0 Count: 1", "Value 7 Count: 1",
          "  Qd Dev: ---", "Qd V alarm: ---"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StatisticsReport r = reportFor(c.model, c.recs, c.stopOnLowBat);
        EXPECT_EQ(r.lines, c.expected);
        EXPECT_TRUE(r.failure.empty());
    }
}

TEST(Statistics, FailuresEndTheReportAfterTheHeading) {
    struct Case {
        const char* name;
        std::string model;
        std::vector<Rec> recs;
        Lines expected;
        std::string failure;
    } const cases[] = {
        {"first value not a whole number",
         "RVM600",
         values({"abc", "5"}),
         {"Rl statistics:"},
         "'abc' is not a valid integer value"},
        {"combined model: no Qd block after a failed Rl block",
         "RVM600PK",
         {{"x1", "0", "100"}, {"0", "0", "101"}},
         {"Rl statistics:"},
         "'x1' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StatisticsReport r = reportFor(c.model, c.recs);
        EXPECT_EQ(r.lines, c.expected);
        EXPECT_EQ(r.failure, c.failure);
    }
}

TEST(Statistics, DecimalSeparatorOfTheLocale) {
    const StatisticsReport r =
        reportFor("RVM600", values({"250", "252", "250", "251"}), true, QLocale(QLocale::German));
    ASSERT_EQ(r.lines.size(), 6u);
    EXPECT_EQ(r.lines[4], "  Rl Dev: 0,8%");
}
