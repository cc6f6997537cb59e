#include "graph/GraphBuild.h"

#include "GraphTestSupport.h"
#include "graph/StatisticsReport.h"

#include <gtest/gtest.h>

namespace {

std::vector<int> range(int from, int to) {
    std::vector<int> r;
    for (int i = from; i <= to; ++i)
        r.push_back(i);
    return r;
}

using Lines = std::vector<std::string>;
using Points = std::vector<std::pair<int, int32_t>>;

Lines statisticsOf(const GraphBuild& build) {
    return statisticsReport(build, QLocale::c()).lines;
}

} // namespace

TEST(GraphBuild, LowBatteryStopRule) {
    struct Case {
        const char* name;
        const char* model;
        std::vector<std::string> statuses;
        std::vector<int> plotted;
        std::string alarm;
        Lines warnings;
    } const cases[] = {
        {"third low bat stops", "RVM600", {"16", "16", "16", "0", "0"}, {1, 2}, "3", {}},
        {"other warning leaves the count",
         "RVM600",
         {"16", "2", "16", "16", "0"},
         {1, 2, 3},
         "4",
         {"Rl warn / error in line: 2"}},
        {"status 0 resets", "RVM600", {"16", "16", "0", "16", "16"}, range(1, 5), "---", {}},
        {"status 1 resets", "RVM600P", {"16", "16", "1", "16", "16"}, range(1, 5), "---", {}},
        {"later 0 keeps the stop line",
         "RVM600",
         {"16", "16", "16", "0", "16", "16", "16"},
         {1, 2},
         "3",
         {}},
        {"17 is low bat with a warning",
         "RVM600",
         {"17", "17", "17"},
         {1, 2},
         "3",
         {"Rl warn / error in line: 1", "Rl warn / error in line: 2",
          "Rl warn / error in line: 3"}},
        {"only the low byte counts", "RVM600", {"272", "272", "272"}, {1, 2}, "3", {}},
        {"256 is 0 for VX40", "VX40", {"16", "16", "256", "16", "16"}, range(1, 5), "---", {}},
        {"VX40 stops too",
         "VX40",
         {"0", "48", "16", "16"},
         {1, 2, 3},
         "4",
         {"Qd warn / error in line: 2"}},
        {"a status that is no number leaves the count",
         "RVM600",
         {"16", "x", "16", "16", "0"},
         {1, 2, 3},
         "4",
         {"Rl warn / error in line: 2"}},
        {"an empty status too",
         "VX40",
         {"16", "16", "", "16"},
         {1, 2, 3},
         "4",
         {"Qd warn / error in line: 3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GraphBuild build = GraphLog(c.model, withStatuses(c.statuses)).build();
        const Quantity s = std::string(c.model) == "VX40" ? Quantity::Qd : Quantity::Rl;
        EXPECT_EQ(plottedRows(build.of(s)), c.plotted);
        EXPECT_EQ(build.of(s).alarmText, c.alarm);
        EXPECT_EQ(build.warnings, c.warnings);
        EXPECT_TRUE(build.failure.empty());
    }
}

TEST(GraphBuild, ValuesOfErrorsAndNonNumbersAreMinusOne) {
    const GraphBuild build = GraphLog("RVM600", {{"250", "0"},
                                                 {"251", "17"},
                                                 {"252", "1"},
                                                 {"abc", "0"},
                                                 {"", "0"},
                                                 {"1,5E", "2"},
                                                 {"253", "OK"},
                                                 {"254", ""}})
                                 .build();
    EXPECT_EQ(plottedPoints(build.of(Quantity::Rl)),
              (Points{{1, 250}, {2, -1}, {3, -1}, {4, -1}, {5, -1}, {6, -1}, {7, -1}, {8, -1}}));
    EXPECT_EQ(build.warnings, (Lines{"Rl warn / error in line: 2", "Rl warn / error in line: 6",
                                     "Rl warn / error in line: 7", "Rl warn / error in line: 8"}));
    // Counted as OFF in the report like any record without a value.
    EXPECT_EQ(statisticsOf(GraphLog("RVM600", {{"10", "x"}, {"10", ""}}).build()),
              (Lines{"Rl statistics:", "Value OFF Count: 2", "  Rl Dev: 0%", "Rl V alarm: ---"}));
}

TEST(GraphBuild, StopBoxOffPlotsEveryRowButStillStops) {
    const GraphLog log("RVM600", withStatuses({"16", "16", "16", "16", "0"}));
    const GraphBuild all = log.build(false);
    EXPECT_EQ(plottedRows(all.of(Quantity::Rl)), range(1, 5));
    EXPECT_EQ(all.of(Quantity::Rl).alarmText, "---");
    EXPECT_TRUE(all.of(Quantity::Rl).stopped);
    EXPECT_EQ(all.of(Quantity::Rl).stopLine, 3);

    const GraphBuild stopped = log.build(true);
    EXPECT_EQ(plottedRows(stopped.of(Quantity::Rl)), (std::vector<int>{1, 2}));
    EXPECT_EQ(stopped.of(Quantity::Rl).alarmText, "3");
}

TEST(GraphBuild, CombinedModelSeriesStopIndependently) {
    // Rl runs low at rows 2..4, Qd at rows 4..6.
    std::vector<Rec> recs;
    const char* rstat[] = {"0", "16", "16", "16", "0", "0", "0"};
    const char* qstat[] = {"0", "0", "0", "16", "16", "16", "0"};
    for (int i = 0; i < 7; ++i)
        recs.push_back({std::to_string(250 + i), rstat[i], std::to_string(100 + i), qstat[i]});
    const GraphBuild build = GraphLog("RVM600PK", recs).build();
    EXPECT_EQ(plottedRows(build.of(Quantity::Rl)), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(plottedRows(build.of(Quantity::Qd)), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(plottedPoints(build.of(Quantity::Qd)).back(), (std::pair<int, int32_t>{5, 104}));
    EXPECT_EQ(build.of(Quantity::Rl).alarmText, "4");
    EXPECT_EQ(build.of(Quantity::Qd).alarmText, "6");
    EXPECT_TRUE(build.warnings.empty());
}

TEST(GraphBuild, ConversionErrorEndsTheBuildAtItsRow) {
    struct Case {
        const char* name;
        std::vector<Rec> recs;
        std::string failure;
        std::vector<int> plotted;
        Lines warnings;
        const char* number3 = nullptr; // the "#" cell of row 3, when not "3"
    } const cases[] = {
        {"value with a fraction",
         {{"250", "0"}, {"2,5", "0"}},
         "'2,5' is not a valid integer value",
         {1},
         {}},
        {"value with a fraction after a status that is no number",
         {{"250", "x"}, {"251", ""}, {"2,5", "0"}},
         "'2,5' is not a valid integer value",
         {1, 2},
         {"Rl warn / error in line: 1", "Rl warn / error in line: 2"}},
        {"the stop record with a bad number cell",
         {{"250", "16"}, {"250", "16"}, {"250", "16"}, {"250", "16"}},
         "'3a' is not a valid integer value",
         {1, 2},
         {},
         "3a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GraphLog log("RVM600", c.recs);
        if (c.number3)
            log.table.setCell(0, 3, c.number3);
        const GraphBuild build = log.build();
        EXPECT_EQ(build.failure, c.failure);
        EXPECT_EQ(plottedRows(build.of(Quantity::Rl)), c.plotted);
        EXPECT_EQ(build.warnings, c.warnings);
        // A failed build has no statistics.
        EXPECT_TRUE(statisticsOf(build).empty());
    }
}

TEST(GraphBuild, SkipsEmptyRowsBehindTheRecords) {
    const GraphLog log("RVM600", withStatuses({"0", "0", "0"}), 2);
    const GraphBuild build = log.build();
    EXPECT_EQ(plottedRows(build.of(Quantity::Rl)), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(statisticsOf(build),
              (Lines{"Rl statistics:", "Value 250 Count: 3", "  Rl Dev: 0%", "Rl V alarm: ---"}));
    EXPECT_EQ(log.table.rows(), 6);
}

TEST(GraphBuild, ValueStoreGrowsWithTheTable) {
    std::vector<Rec> recs;
    for (int i = 0; i < 5000; ++i)
        recs.push_back({std::to_string(1000 + i % 7), "0"});
    const GraphBuild build = GraphLog("RVM600", recs).build();
    EXPECT_EQ(plottedRows(build.of(Quantity::Rl)).size(), 5000u);
    EXPECT_EQ(build.of(Quantity::Rl).values.size(), 5000u);
    const Lines report = statisticsOf(build);
    ASSERT_EQ(report.size(), 10u);
    EXPECT_EQ(report[1], "Value 1000 Count: 715");
    EXPECT_EQ(report[7], "Value 1006 Count: 714");
    EXPECT_EQ(report[8], "  Rl Dev: 0.6%");
}

TEST(GraphLayout, PerModel) {
    struct Case {
        const char* model;
        bool rl, qd;
        SeriesAxis qdAxis;
        bool toggles;
    } const cases[] = {
        {"RVM600PK", true, true, SeriesAxis::Right, true},
        {"RVM600P", true, false, SeriesAxis::Left, false},
        {"RVM600", true, false, SeriesAxis::Left, false},
        {"VX40", false, true, SeriesAxis::Left, false},
        {"?", false, false, SeriesAxis::Left, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        const GraphLog log(c.model, withStatuses({"0", "0", "0"}));
        const GraphLayout layout = graphLayout(*log.session.model, log.session.serialLine);
        EXPECT_EQ(layout.titleLines, Lines{std::string(c.model) + " s/n 4711"});
        EXPECT_EQ(layout.of(Quantity::Rl).shown, c.rl);
        EXPECT_EQ(layout.of(Quantity::Qd).shown, c.qd);
        EXPECT_EQ(layout.of(Quantity::Rl).axis, SeriesAxis::Left);
        if (c.qd) {
            EXPECT_EQ(layout.of(Quantity::Qd).axis, c.qdAxis);
        }
        EXPECT_EQ(layout.of(Quantity::Rl).axisTitle, "Rl");
        EXPECT_EQ(layout.of(Quantity::Qd).axisTitle, "Qd");
        EXPECT_EQ(layout.seriesToggles, c.toggles);

        // Only the model's series are built, and only they have statistics.
        const GraphBuild build = log.build();
        EXPECT_EQ(plottedRows(build.of(Quantity::Rl)).size(), c.rl ? 3u : 0u);
        EXPECT_EQ(plottedRows(build.of(Quantity::Qd)).size(), c.qd ? 3u : 0u);
        EXPECT_EQ(statisticsOf(build).empty(), !c.rl && !c.qd);
    }
}
