#pragma once

#include "graph/GraphView.h"

// The graph window without a window: every check box at its default (checked), nothing drawn.
// Lets a front-end without windows write the statistics report the window would write.
class HeadlessGraphView final : public IGraphView {
public:
    void setAlarmHints(const std::string&) override {}
    void setControlVisible(GraphControl, bool) override {}
    void setLabelText(GraphControl, const std::string&) override {}
    bool isChecked(GraphCheckBox) const override { return true; }
    void setShowGraphEnabled(bool) override {}
    void focusShowGraph() override {}
    void clearTitle() override {}
    void addTitleLine(const std::string&) override {}
    void setAxisTitle(GraphAxis, const std::string&) override {}
    void clearPoints(GraphSeries) override {}
    void setSeriesActive(GraphSeries, bool) override {}
    void setSeriesAxis(GraphSeries, GraphAxis) override {}
    void setSeriesColor(GraphSeries, QRgb) override {}
    void addPoint(GraphSeries, double, double) override {}
    void pointsAdded() override {}
    QRectF plotArea() const override { return {}; }
    QPointF valueAt(GraphSeries, QPointF) const override { return {}; }
    void showCross(QPointF) override {}
    void hideCross() override {}
};
