#include "graph/GraphLogic.h"

#include "app/App.h"
#include "graph/GraphFormat.h"
#include "log/InstrumentModel.h"
#include "text/TextFieldHelpers.h"

namespace {

constexpr GraphSeries kBothSeries[] = {GraphSeries::Rl, GraphSeries::Qd};

constexpr int32_t kErrorBit = 1;
constexpr int32_t kLowBatBit = 16;
constexpr int kLowBatStopCount = 3;
constexpr QRgb kQdLineColor = 0xFF0000FF; // blue

Quantity quantityOf(GraphSeries s) {
    return s == GraphSeries::Rl ? Quantity::Rl : Quantity::Qd;
}

const char* warnPrefix(GraphSeries s) {
    return s == GraphSeries::Rl ? "Rl warn / error in line: " : "Qd warn / error in line: ";
}

// Points, labels and warnings of a failed build stay on screen, so the chart is drawn however
// the build ends.
class PointsAddedAtExit {
public:
    explicit PointsAddedAtExit(IGraphView& view) : m_view(view) {}
    ~PointsAddedAtExit() { m_view.pointsAdded(); }
    PointsAddedAtExit(const PointsAddedAtExit&) = delete;
    PointsAddedAtExit& operator=(const PointsAddedAtExit&) = delete;

private:
    IGraphView& m_view;
};

} // namespace

std::optional<SeriesColumns> seriesColumns(const InstrumentModel& model, GraphSeries series) {
    const SeriesRule& rule = model.seriesOf(quantityOf(series));
    if (!rule.shown)
        return std::nullopt;
    return SeriesColumns{rule.statusColumn, rule.valueColumn};
}

bool HasGraphRecords(const LogTable& table) {
    constexpr int kNeeded = 2;
    int found = 0;
    int32_t number = 0;
    for (int row = 1; row < table.rows() && found < kNeeded; ++row)
        if (TryStrToInt(table.cell(0, row), number))
            ++found;
    return found >= kNeeded;
}

GraphLogic::GraphLogic(App& app, IGraphView& view, QLocale locale)
    : m_app(app), m_view(view), m_locale(locale) {}

void GraphLogic::FormActivate() {
    SetUpGraph();
    m_view.setShowGraphEnabled(true);
    m_view.focusShowGraph();
}

void GraphLogic::btnGraphClick() {
    m_view.setShowGraphEnabled(false);
    BuildGraph();
}

void GraphLogic::cbValarmClick() {
    SetUpGraph();
    BuildGraph();
}

void GraphLogic::cbShowRlClick() {
    const bool shown = m_view.isChecked(GraphCheckBox::cbShowRl);
    m_view.setSeriesActive(GraphSeries::Rl, shown);
    m_view.setControlVisible(GraphControl::lblSerie1, shown);
}

void GraphLogic::cbShowQdClick() {
    const bool shown = m_view.isChecked(GraphCheckBox::cbShowQd);
    m_view.setSeriesActive(GraphSeries::Qd, shown);
    m_view.setControlVisible(GraphControl::lblSerie2, shown);
}

void GraphLogic::setAlarmText(GraphSeries series, const std::string& text) {
    std::string& current = m_alarmText[static_cast<size_t>(series)];
    if (current == text)
        return;
    current = text;
    m_view.setLabelText(series == GraphSeries::Rl ? GraphControl::lblRVA : GraphControl::lblQVA,
                        text);
}

void GraphLogic::SetUpGraph() {
    m_view.setAlarmHints("Stops on the third following low bat alarm");
    m_memWarn.clear();
    m_app.statistics.clear();
    for (GraphSeries s : kBothSeries)
        m_view.clearPoints(s);
    m_view.clearTitle();
    for (GraphSeries s : kBothSeries)
        m_view.setSeriesActive(s, false);
    m_view.setSeriesColor(GraphSeries::Qd, kQdLineColor);
    const InstrumentModel& model = *m_app.session.model;
    m_view.addTitleLine(model.name + (" " + m_app.session.serialLine));
    // Forced: the labels may show something this logic did not write.
    m_alarmText = {"---", "---"};
    m_view.setLabelText(GraphControl::lblRVA, "---");
    m_view.setLabelText(GraphControl::lblQVA, "---");
    for (GraphControl c : {GraphControl::cbShowRl, GraphControl::cbShowQd, GraphControl::Label1,
                           GraphControl::lblRVA, GraphControl::lblSerie1, GraphControl::Label2,
                           GraphControl::lblQVA, GraphControl::lblSerie2})
        m_view.setControlVisible(c, false);

    for (GraphSeries s : kBothSeries) {
        const SeriesRule& rule = model.seriesOf(quantityOf(s));
        if (!rule.shown)
            continue;
        const bool rl = s == GraphSeries::Rl;
        const GraphAxis axis = rule.axis == SeriesAxis::Left ? GraphAxis::Left : GraphAxis::Right;
        m_view.setSeriesActive(s, true);
        // The Rl series keeps the left axis it was made with.
        if (!rl)
            m_view.setSeriesAxis(s, axis);
        m_view.setAxisTitle(axis, rl ? "Rl" : "Qd");
        m_view.setControlVisible(rl ? GraphControl::Label1 : GraphControl::Label2, true);
        m_view.setControlVisible(rl ? GraphControl::lblRVA : GraphControl::lblQVA, true);
        m_view.setControlVisible(rl ? GraphControl::lblSerie1 : GraphControl::lblSerie2, true);
        if (model.seriesToggles)
            m_view.setControlVisible(rl ? GraphControl::cbShowRl : GraphControl::cbShowQd, true);
    }
    m_holdsBuild = false;
}

void GraphLogic::EvaluateRow(int row) {
    const LogTable& table = m_app.table;
    for (GraphSeries s : kBothSeries) {
        const auto cols = seriesColumns(*m_app.session.model, s);
        if (!cols)
            continue;
        SeriesState& st = stateOf(s);
        int32_t status = 0;
        if (!TryStrToInt(table.cell(cols->status, row), status)) {
            // A status that is no number tells nothing good: shown as an error, OFF in the
            // report; it neither counts towards the low-battery stop nor resets the count.
            m_memWarn.addLine(warnPrefix(s) + std::to_string(row));
            st.Value = -1;
            continue;
        }
        status &= 0xFF;
        if (status == 0 || status == 1) {
            st.LowBatCount = 0;
        } else {
            if ((status & kLowBatBit) != 0 && !st.Stopped) {
                ++st.LowBatCount;
                if (st.LowBatCount == kLowBatStopCount) {
                    st.Stopped = true;
                    st.StopLine = StrToInt(table.cell(0, row));
                }
            }
            if (status != kLowBatBit)
                m_memWarn.addLine(warnPrefix(s) + std::to_string(row));
        }
        if ((status & kErrorBit) != 0) {
            st.Value = -1;
        } else {
            const std::string& text = table.cell(cols->value, row);
            st.Value = IsNumeric(text) ? StrToInt(text) : -1;
        }
    }
}

void GraphLogic::BuildGraph() {
    // A second build on the same window would add every point, warning and report line again.
    if (m_holdsBuild)
        SetUpGraph();
    m_holdsBuild = true;

    const int dataRows = std::max(m_app.table.rows() - 1, 0);
    for (SeriesState& st : m_series) {
        st = SeriesState{};
        st.Values.assign(static_cast<size_t>(dataRows), SeriesState::kNotPlotted);
    }
    const InstrumentModel& model = *m_app.session.model;
    const bool rlShown = seriesColumns(model, GraphSeries::Rl).has_value();
    const bool qdShown = seriesColumns(model, GraphSeries::Qd).has_value();
    if (!rlShown && !qdShown)
        return;

    const bool stopOnLowBat = m_view.isChecked(GraphCheckBox::cbValarm);
    {
        PointsAddedAtExit drawAtExit(m_view);
        for (int row = 1; row <= dataRows; ++row) {
            // Lines of the log that were no records leave empty rows behind the records.
            if (m_app.table.cell(0, row).empty())
                continue;
            EvaluateRow(row);
            for (GraphSeries s : kBothSeries) {
                if (!(s == GraphSeries::Rl ? rlShown : qdShown))
                    continue;
                SeriesState& st = stateOf(s);
                if (st.Stopped && stopOnLowBat) {
                    setAlarmText(s, std::to_string(st.StopLine));
                    continue;
                }
                m_view.addPoint(s, row, st.Value);
                if (!st.HasExtremes) {
                    st.MinValue = st.MaxValue = st.Value;
                    st.HasExtremes = true;
                } else {
                    st.MinValue = std::min(st.MinValue, st.Value);
                    st.MaxValue = std::max(st.MaxValue, st.Value);
                }
                st.Values[static_cast<size_t>(row - 1)] = st.Value;
            }
        }
    }
    if (m_view.isChecked(GraphCheckBox::cbStat))
        WriteStatistics();
}

void GraphLogic::Chart1MouseMove(QPointF position) {
    m_view.hideCross();
    const QRectF plot = m_view.plotArea();
    // Left and top edges belong to the plot, right and bottom edges do not.
    const bool inside = position.x() >= plot.left() && position.x() < plot.right() &&
                        position.y() >= plot.top() && position.y() < plot.bottom();
    if (!inside) {
        m_view.setLabelText(GraphControl::lblSerie1, "");
        m_view.setLabelText(GraphControl::lblSerie2, "");
        return;
    }
    m_view.showCross(position);
    const QPointF rl = m_view.valueAt(GraphSeries::Rl, position);
    m_view.setLabelText(GraphControl::lblSerie1,
                        "Rl: " + FormatReadout(rl.y()) + " #: " + FormatReadout(rl.x()));
    const QPointF qd = m_view.valueAt(GraphSeries::Qd, position);
    m_view.setLabelText(GraphControl::lblSerie2,
                        "Qd: " + FormatReadout(qd.y()) + " #: " + FormatReadout(qd.x()));
}

void GraphLogic::Chart1MouseLeave() {
    m_view.hideCross();
    m_view.setLabelText(GraphControl::lblSerie1, "");
    m_view.setLabelText(GraphControl::lblSerie2, "");
}
