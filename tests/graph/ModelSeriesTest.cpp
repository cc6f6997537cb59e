#include "GraphTestSupport.h"
#include "SimRig.h"
#include "graph/GraphLogic.h"
#include "log/InstrumentModel.h"

#include <gtest/gtest.h>

// The graph window set up and built for each model shows the series, axes, boxes and
// statistics blocks its description names.
TEST(ModelSeries, TheGraphFollowsTheDescription) {
    using C = GraphControl;
    for (const char* name : {"RVM600PK", "VX40", "RVM600P", "RVM600", "?"}) {
        SCOPED_TRACE(name);
        const InstrumentModel& model = modelNamed(name);
        SimRig rig;
        FakeGraphView view;
        GraphLogic logic(rig.app, view, QLocale::c());
        loadTable(rig.app, name, withStatuses({"0", "0", "0"}));
        logic.FormActivate();
        logic.btnGraphClick();

        std::vector<std::string> blocks;
        for (Quantity q : kQuantities) {
            const bool rl = q == Quantity::Rl;
            const GraphSeries s = rl ? GraphSeries::Rl : GraphSeries::Qd;
            const SeriesRule& rule = model.seriesOf(q);
            SCOPED_TRACE(rl ? "Rl" : "Qd");
            const auto cols = seriesColumns(name, s);
            ASSERT_EQ(cols.has_value(), rule.shown);
            EXPECT_EQ(view.active[FakeGraphView::idx(s)], rule.shown);
            EXPECT_EQ(view.isVisible(rl ? C::cbShowRl : C::cbShowQd),
                      rule.shown && model.seriesToggles);
            if (!rule.shown)
                continue;
            EXPECT_EQ(cols->status, rule.statusColumn);
            EXPECT_EQ(cols->value, rule.valueColumn);
            const GraphAxis axis =
                rule.axis == SeriesAxis::Left ? GraphAxis::Left : GraphAxis::Right;
            EXPECT_EQ(view.axisTitle[axis], rl ? "Rl" : "Qd");
            if (!rl) {
                EXPECT_EQ(view.axis[FakeGraphView::idx(s)], axis);
            }
            if (!blocks.empty())
                blocks.push_back("");
            blocks.push_back(rl ? "Rl statistics:" : "Qd statistics:");
        }
        std::vector<std::string> headings;
        for (const std::string& line : rig.app.memStat.lines())
            if (line.empty() || line.find("statistics:") != std::string::npos)
                headings.push_back(line);
        EXPECT_EQ(headings, blocks);
        EXPECT_EQ(view.title, std::vector<std::string>{std::string(model.name) + " s/n 4711"});
    }
}
