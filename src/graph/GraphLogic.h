#pragma once

#include "graph/GraphView.h"
#include "text/TextMemo.h"

#include <QLocale>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class App;
class LogTable;
struct InstrumentModel;

// What one build knows about one series.
struct SeriesState {
    // Entries of data rows that were not plotted.
    static constexpr int32_t kNotPlotted = -9999;

    int32_t Value = 0;       // value in the row being evaluated; -1 for a record without one
    int32_t LowBatCount = 0; // low-battery records since the last status 0 or 1
    bool Stopped = false;    // the third following low-battery record was met
    int32_t StopLine = 0;    // "#" of the record that stopped the series
    int32_t MinValue = 0;    // extremes of the plotted values
    int32_t MaxValue = 0;
    bool HasExtremes = false;    // a value was plotted, so the extremes are real
    std::vector<int32_t> Values; // entry k: the value plotted for data row k + 1
};

// Where a series of a model lives in the log table.
struct SeriesColumns {
    int status;
    int value;
};

// The columns of a series for a model, or nothing when the model has no such series.
std::optional<SeriesColumns> seriesColumns(const InstrumentModel& model, GraphSeries series);

// True when the table holds the two records a graph needs: rows whose "#" cell is a number, so
// the empty rows that lines without a record leave do not count.
bool HasGraphRecords(const LogTable& table);

// The graph window's behaviour: set-up per model, the series from the log table with the
// low-battery stop, the warning list, the statistics report and the cursor readout. It draws
// through IGraphView and writes the statistics into the App's statistics memo, which the saved log
// takes.
class GraphLogic {
public:
    GraphLogic(App& app, IGraphView& view, QLocale locale = QLocale());

    // The locale whose decimal separator the statistics use.
    void setLocale(const QLocale& locale) { m_locale = locale; }

    // Event handlers of the window.
    void FormActivate();
    void btnGraphClick();
    void cbValarmClick();
    void cbShowRlClick();
    void cbShowQdClick();
    // The mouse at a chart pixel.
    void Chart1MouseMove(QPointF position);
    // The mouse left the chart: as a move outside the plot.
    void Chart1MouseLeave();

    void SetUpGraph();
    void EvaluateRow(int row);
    void BuildGraph();
    void WriteStatistics();

    TextMemo& memWarn() { return m_memWarn; }
    const SeriesState& state(GraphSeries series) const {
        return m_series[static_cast<size_t>(series)];
    }
    // The texts of lblRVA / lblQVA.
    const std::string& alarmText(GraphSeries series) const {
        return m_alarmText[static_cast<size_t>(series)];
    }

private:
    SeriesState& stateOf(GraphSeries series) { return m_series[static_cast<size_t>(series)]; }
    void setAlarmText(GraphSeries series, const std::string& text);
    void writeBlock(GraphSeries series);

    App& m_app;
    IGraphView& m_view;
    QLocale m_locale;
    TextMemo m_memWarn;
    std::array<SeriesState, 2> m_series;
    std::array<std::string, 2> m_alarmText{"---", "---"};
    // The chart and memos hold a build; the next build sets the window up first.
    bool m_holdsBuild = false;
};
