#pragma once

#include <QPointF>
#include <QRectF>
#include <QRgb>
#include <string>

// The two series of the graph window: Series1 (Rl) and Series2 (Qd).
enum class GraphSeries { Rl = 0, Qd = 1 };

// The chart's vertical axes.
enum class GraphAxis { Left, Right };

// The graph window's controls that the set-up shows, hides or writes.
enum class GraphControl {
    cbShowRl,
    cbShowQd,
    Label1,
    lblRVA,
    lblSerie1,
    Label2,
    lblQVA,
    lblSerie2,
};

// The graph window's check boxes.
enum class GraphCheckBox { cbValarm, cbShowRl, cbShowQd, cbStat };

// The chart and controls of the graph window as its logic sees them, so the logic runs without
// any chart toolkit. Texts are the system's bytes.
class IGraphView {
public:
    virtual ~IGraphView() = default;

    // Label1, Label2, lblRVA and lblQVA get this hint, and their hints are switched on.
    virtual void setAlarmHints(const std::string& hint) = 0;
    virtual void setControlVisible(GraphControl control, bool visible) = 0;
    // For lblRVA, lblQVA, lblSerie1 and lblSerie2.
    virtual void setLabelText(GraphControl label, const std::string& text) = 0;
    virtual bool isChecked(GraphCheckBox box) const = 0;
    virtual void setShowGraphEnabled(bool enabled) = 0;
    virtual void focusShowGraph() = 0;

    virtual void clearTitle() = 0;
    virtual void addTitleLine(const std::string& line) = 0;
    virtual void setAxisTitle(GraphAxis axis, const std::string& title) = 0;
    virtual void clearPoints(GraphSeries series) = 0;
    // Active series are drawn; inactive ones keep their points and their axes.
    virtual void setSeriesActive(GraphSeries series, bool active) = 0;
    virtual void setSeriesAxis(GraphSeries series, GraphAxis axis) = 0;
    virtual void setSeriesColor(GraphSeries series, QRgb color) = 0;
    // Points come in ascending x; they need not show before pointsAdded.
    virtual void addPoint(GraphSeries series, double x, double y) = 0;
    // The points of a build are all in (also after a failed build): draw them, range the axes.
    virtual void pointsAdded() = 0;

    // The chart's area inside its axes, in the chart's pixel coordinates.
    virtual QRectF plotArea() const = 0;
    // The bottom axis value (x) and the series' own vertical axis value (y) at a chart pixel.
    virtual QPointF valueAt(GraphSeries series, QPointF position) const = 0;
    // The cross-hair through a chart pixel, replacing any drawn before; or none.
    virtual void showCross(QPointF position) = 0;
    virtual void hideCross() = 0;
};
