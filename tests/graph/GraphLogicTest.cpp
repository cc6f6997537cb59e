#include "graph/GraphLogic.h"

#include "GraphTestSupport.h"
#include "SimRig.h"
#include "app/HandlerGuard.h"

#include <gtest/gtest.h>

namespace {

// The graph window's logic on a fake chart, over a core with recording fakes.
struct GraphRig {
    SimRig rig;
    FakeGraphView view;
    GraphLogic logic{rig.app, view, QLocale::c()};

    App& app() { return rig.app; }
    // Opening the window, then "Show Graph".
    void openAndShow() {
        logic.FormActivate();
        logic.btnGraphClick();
    }
    std::vector<int> rows(GraphSeries s) { return plottedRows(view.of(s)); }
    std::vector<std::string> warnings() { return logic.memWarn().lines(); }
};

std::vector<int> range(int from, int to) {
    std::vector<int> r;
    for (int i = from; i <= to; ++i)
        r.push_back(i);
    return r;
}

using Lines = std::vector<std::string>;

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
        GraphRig g;
        loadTable(g.app(), c.model, withStatuses(c.statuses));
        g.openAndShow();
        const GraphSeries s = std::string(c.model) == "VX40" ? GraphSeries::Qd : GraphSeries::Rl;
        EXPECT_EQ(g.rows(s), c.plotted);
        EXPECT_EQ(g.logic.alarmText(s), c.alarm);
        EXPECT_EQ(g.view.text[s == GraphSeries::Rl ? GraphControl::lblRVA : GraphControl::lblQVA],
                  c.alarm);
        EXPECT_EQ(g.warnings(), c.warnings);
    }
}

TEST(GraphBuild, ValuesOfErrorsAndNonNumbersAreMinusOne) {
    GraphRig g;
    loadTable(g.app(), "RVM600",
              {{"250", "0"},
               {"251", "17"},
               {"252", "1"},
               {"abc", "0"},
               {"", "0"},
               {"1,5E", "2"},
               {"253", "OK"},
               {"254", ""}});
    g.openAndShow();
    const std::vector<std::pair<double, double>> expected = {{1, 250}, {2, -1}, {3, -1}, {4, -1},
                                                             {5, -1},  {6, -1}, {7, -1}, {8, -1}};
    EXPECT_EQ(g.view.of(GraphSeries::Rl), expected);
    EXPECT_EQ(g.warnings(), (Lines{"Rl warn / error in line: 2", "Rl warn / error in line: 6",
                                   "Rl warn / error in line: 7", "Rl warn / error in line: 8"}));
    // Counted as OFF in the report like any record without a value.
    GraphRig off;
    loadTable(off.app(), "RVM600", {{"10", "x"}, {"10", ""}});
    off.openAndShow();
    EXPECT_EQ(off.app().statistics.lines(),
              (Lines{"Rl statistics:", "Value OFF Count: 2", "  Rl Dev: 0%", "Rl V alarm: ---"}));
}

TEST(GraphBuild, StopBoxOffPlotsEveryRowButStillStops) {
    GraphRig g;
    g.view.checked[GraphCheckBox::cbValarm] = false;
    loadTable(g.app(), "RVM600", withStatuses({"16", "16", "16", "16", "0"}));
    g.openAndShow();
    EXPECT_EQ(g.rows(GraphSeries::Rl), range(1, 5));
    EXPECT_EQ(g.logic.alarmText(GraphSeries::Rl), "---");
    EXPECT_TRUE(g.logic.state(GraphSeries::Rl).Stopped);
    EXPECT_EQ(g.logic.state(GraphSeries::Rl).StopLine, 3);

    // Switching the box on rebuilds at once with the stop applied.
    g.view.checked[GraphCheckBox::cbValarm] = true;
    g.logic.cbValarmClick();
    EXPECT_EQ(g.rows(GraphSeries::Rl), (std::vector<int>{1, 2}));
    EXPECT_EQ(g.logic.alarmText(GraphSeries::Rl), "3");
    EXPECT_FALSE(g.view.showGraphEnabled);
}

TEST(GraphBuild, CombinedModelSeriesStopIndependently) {
    GraphRig g;
    // Rl runs low at rows 2..4, Qd at rows 4..6.
    std::vector<Rec> recs;
    const char* rstat[] = {"0", "16", "16", "16", "0", "0", "0"};
    const char* qstat[] = {"0", "0", "0", "16", "16", "16", "0"};
    for (int i = 0; i < 7; ++i)
        recs.push_back({std::to_string(250 + i), rstat[i], std::to_string(100 + i), qstat[i]});
    loadTable(g.app(), "RVM600PK", recs);
    g.openAndShow();
    EXPECT_EQ(g.rows(GraphSeries::Rl), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(g.rows(GraphSeries::Qd), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(g.view.of(GraphSeries::Qd).back(), (std::pair<double, double>{5, 104}));
    EXPECT_EQ(g.logic.alarmText(GraphSeries::Rl), "4");
    EXPECT_EQ(g.logic.alarmText(GraphSeries::Qd), "6");
    EXPECT_TRUE(g.warnings().empty());
}

TEST(GraphBuild, ConversionErrorEndsTheBuildAtItsRow) {
    struct Case {
        const char* name;
        std::vector<Rec> recs;
        std::string error;
        std::vector<int> plotted;
        Lines warnings;
    } const cases[] = {
        {"value with a fraction",
         {{"250", "0"}, {"2,5", "0"}},
         "'2,5' is not a valid integer value.",
         {1},
         {}},
        {"value with a fraction after a status that is no number",
         {{"250", "x"}, {"251", ""}, {"2,5", "0"}},
         "'2,5' is not a valid integer value.",
         {1, 2},
         {"Rl warn / error in line: 1", "Rl warn / error in line: 2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GraphRig g;
        loadTable(g.app(), "RVM600", c.recs);
        g.logic.FormActivate();
        RunGuarded(g.rig.dialogs, [&] { g.logic.btnGraphClick(); });
        EXPECT_EQ(g.rig.dialogs.events, Lines{"error: " + c.error});
        EXPECT_EQ(g.rows(GraphSeries::Rl), c.plotted);
        EXPECT_EQ(g.view.drawn, 1); // what was built before is drawn
        EXPECT_EQ(g.warnings(), c.warnings);
        EXPECT_TRUE(g.app().statistics.empty());
        EXPECT_FALSE(g.view.showGraphEnabled);
    }
}

TEST(GraphBuild, StopRecordWithABadNumberCellFails) {
    GraphRig g;
    loadTable(g.app(), "RVM600", withStatuses({"16", "16", "16", "16"}));
    g.app().table.setCell(0, 3, "3a");
    g.logic.FormActivate();
    RunGuarded(g.rig.dialogs, [&] { g.logic.btnGraphClick(); });
    EXPECT_EQ(g.rig.dialogs.events, Lines{"error: '3a' is not a valid integer value."});
    EXPECT_EQ(g.rows(GraphSeries::Rl), (std::vector<int>{1, 2}));
}

TEST(GraphBuild, SkipsEmptyRowsBehindTheRecords) {
    GraphRig g;
    loadTable(g.app(), "RVM600", withStatuses({"0", "0", "0"}), 2);
    g.openAndShow();
    EXPECT_EQ(g.rows(GraphSeries::Rl), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(g.app().statistics.lines(),
              (Lines{"Rl statistics:", "Value 250 Count: 3", "  Rl Dev: 0%", "Rl V alarm: ---"}));
    EXPECT_EQ(g.app().table.rows(), 6);
}

TEST(GraphBuild, ABuildNeverAddsToAnEarlierOne) {
    GraphRig g;
    loadTable(g.app(), "RVM600", withStatuses({"2", "0", "16", "16", "16"}));
    g.logic.FormActivate();
    g.logic.cbValarmClick();
    const auto points = g.view.of(GraphSeries::Rl);
    const Lines warnings = g.warnings();
    const Lines report = g.app().statistics.lines();
    ASSERT_EQ(points.size(), 4u);
    // "Show Graph" is still enabled after the box changed: a second build replaces the first.
    g.logic.btnGraphClick();
    EXPECT_EQ(g.view.of(GraphSeries::Rl), points);
    EXPECT_EQ(g.warnings(), warnings);
    EXPECT_EQ(g.app().statistics.lines(), report);
    g.logic.BuildGraph();
    EXPECT_EQ(g.app().statistics.lines(), report);
}

TEST(GraphBuild, ValueStoreGrowsWithTheTable) {
    GraphRig g;
    std::vector<Rec> recs;
    for (int i = 0; i < 5000; ++i)
        recs.push_back({std::to_string(1000 + i % 7), "0"});
    loadTable(g.app(), "RVM600", recs);
    g.openAndShow();
    EXPECT_EQ(g.view.of(GraphSeries::Rl).size(), 5000u);
    EXPECT_EQ(g.logic.state(GraphSeries::Rl).Values.size(), 5000u);
    const Lines& report = g.app().statistics.lines();
    ASSERT_EQ(report.size(), 10u);
    EXPECT_EQ(report[1], "Value 1000 Count: 715");
    EXPECT_EQ(report[7], "Value 1006 Count: 714");
    EXPECT_EQ(report[8], "  Rl Dev: 0.6%");
}

TEST(GraphSetUp, PerModel) {
    using C = GraphControl;
    struct Case {
        const char* model;
        bool rl, qd;
        GraphAxis qdAxis;
        std::map<GraphAxis, std::string> titles;
        std::vector<C> shown;
    } const cases[] = {
        {"RVM600PK",
         true,
         true,
         GraphAxis::Right,
         {{GraphAxis::Left, "Rl"}, {GraphAxis::Right, "Qd"}},
         {C::cbShowRl, C::cbShowQd, C::Label1, C::lblRVA, C::lblSerie1, C::Label2, C::lblQVA,
          C::lblSerie2}},
        {"RVM600P",
         true,
         false,
         GraphAxis::Right,
         {{GraphAxis::Left, "Rl"}},
         {C::Label1, C::lblRVA, C::lblSerie1}},
        {"RVM600",
         true,
         false,
         GraphAxis::Right,
         {{GraphAxis::Left, "Rl"}},
         {C::Label1, C::lblRVA, C::lblSerie1}},
        {"VX40",
         false,
         true,
         GraphAxis::Left,
         {{GraphAxis::Left, "Qd"}},
         {C::Label2, C::lblQVA, C::lblSerie2}},
        {"?", false, false, GraphAxis::Right, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        GraphRig g;
        loadTable(g.app(), c.model, withStatuses({"0", "0", "0"}));
        g.app().statistics.addLine("old report");
        g.logic.FormActivate();
        EXPECT_EQ(g.view.active[0], c.rl);
        EXPECT_EQ(g.view.active[1], c.qd);
        EXPECT_EQ(g.view.axis[1], c.qdAxis);
        EXPECT_EQ(g.view.color[1], 0xFF0000FFu);
        EXPECT_EQ(g.view.axisTitle, c.titles);
        EXPECT_EQ(g.view.title, Lines{std::string(c.model) + " s/n 4711"});
        for (C control : {C::cbShowRl, C::cbShowQd, C::Label1, C::lblRVA, C::lblSerie1, C::Label2,
                          C::lblQVA, C::lblSerie2}) {
            const bool shown = std::find(c.shown.begin(), c.shown.end(), control) != c.shown.end();
            EXPECT_EQ(g.view.isVisible(control), shown) << static_cast<int>(control);
        }
        EXPECT_EQ(g.view.text[C::lblRVA], "---");
        EXPECT_EQ(g.view.text[C::lblQVA], "---");
        EXPECT_EQ(g.view.alarmHint, "Stops on the third following low bat alarm");
        EXPECT_TRUE(g.app().statistics.empty());
        EXPECT_TRUE(g.view.showGraphEnabled);
        EXPECT_TRUE(g.view.showGraphFocused);

        g.logic.btnGraphClick();
        EXPECT_EQ(g.view.of(GraphSeries::Rl).size(), c.rl ? 3u : 0u);
        EXPECT_EQ(g.view.of(GraphSeries::Qd).size(), c.qd ? 3u : 0u);
        EXPECT_EQ(g.app().statistics.empty(), !c.rl && !c.qd);
    }
}

TEST(GraphSetUp, ShowBoxesOnlyShowAndHide) {
    GraphRig g;
    loadTable(g.app(), "RVM600PK", withStatuses({"0", "0", "0"}));
    g.openAndShow();
    g.view.checked[GraphCheckBox::cbShowRl] = false;
    g.logic.cbShowRlClick();
    EXPECT_FALSE(g.view.active[0]);
    EXPECT_FALSE(g.view.isVisible(GraphControl::lblSerie1));
    EXPECT_TRUE(g.view.active[1]);
    EXPECT_EQ(g.view.of(GraphSeries::Rl).size(), 3u); // points kept, no rebuild

    g.view.checked[GraphCheckBox::cbShowQd] = false;
    g.logic.cbShowQdClick();
    EXPECT_FALSE(g.view.active[1]);
    EXPECT_FALSE(g.view.isVisible(GraphControl::lblSerie2));

    g.view.checked[GraphCheckBox::cbShowRl] = true;
    g.logic.cbShowRlClick();
    EXPECT_TRUE(g.view.active[0]);
    EXPECT_TRUE(g.view.isVisible(GraphControl::lblSerie1));

    // Reopening makes the model's series active whatever the boxes say.
    g.logic.FormActivate();
    EXPECT_TRUE(g.view.active[1]);
    EXPECT_FALSE(g.view.checked[GraphCheckBox::cbShowQd]);
}

TEST(CursorReadout, InsideThePlotOnlyWithLeftAndTopEdges) {
    struct Case {
        QPointF at;
        bool inside;
    } const cases[] = {
        {{50, 40}, true},    {{449.5, 339.5}, true}, {{200, 200}, true},   {{450, 100}, false},
        {{100, 340}, false}, {{49.9, 100}, false},   {{100, 39.5}, false}, {{0, 0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.x() << "," << c.at.y());
        GraphRig g;
        g.view.valueUnderMouse = {QPointF(7.4, 250.5), QPointF(7.4, -0.5)};
        g.logic.Chart1MouseMove({60, 60}); // a cross-hair is up
        g.logic.Chart1MouseMove(c.at);
        EXPECT_EQ(g.view.cross.has_value(), c.inside);
        if (c.inside) {
            EXPECT_EQ(*g.view.cross, c.at);
            EXPECT_EQ(g.view.text[GraphControl::lblSerie1], "Rl:  251 #:    7");
            EXPECT_EQ(g.view.text[GraphControl::lblSerie2], "Qd:   -1 #:    7");
        } else {
            EXPECT_EQ(g.view.text[GraphControl::lblSerie1], "");
            EXPECT_EQ(g.view.text[GraphControl::lblSerie2], "");
        }
    }
}

TEST(CursorReadout, LeavingTheChartClearsIt) {
    GraphRig g;
    g.logic.Chart1MouseMove({60, 60});
    ASSERT_TRUE(g.view.cross.has_value());
    g.logic.Chart1MouseLeave();
    EXPECT_FALSE(g.view.cross.has_value());
    EXPECT_EQ(g.view.text[GraphControl::lblSerie1], "");
}
