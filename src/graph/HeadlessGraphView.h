#pragma once

#include "graph/GraphView.h"

// The graph window without a window: nothing drawn, every check box at its default (checked)
// unless given. Lets a front-end without windows write the statistics report the window would
// write, and the section report build its series without writing one.
class HeadlessGraphView final : public IGraphView {
public:
    HeadlessGraphView() = default;
    HeadlessGraphView(bool stopOnLowBat, bool showStatistics)
        : m_stopOnLowBat(stopOnLowBat), m_showStatistics(showStatistics) {}

    void setAlarmHints(const std::string&) override {}
    void setControlVisible(GraphControl, bool) override {}
    void setLabelText(GraphControl, const std::string&) override {}
    bool isChecked(GraphCheckBox box) const override {
        if (box == GraphCheckBox::cbValarm)
            return m_stopOnLowBat;
        return box == GraphCheckBox::cbStat ? m_showStatistics : true;
    }
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

private:
    bool m_stopOnLowBat = true;
    bool m_showStatistics = true;
};
