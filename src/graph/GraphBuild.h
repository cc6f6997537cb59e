#pragma once

#include "log/InstrumentModel.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class LogTable;

// How the graph shows one series of a model, before any build.
struct SeriesLayout {
    bool shown = false; // the model has this series
    SeriesAxis axis = SeriesAxis::Left;
    std::string axisTitle; // "Rl" or "Qd", on that axis
};

// What the graph window shows of a model as it opens: the chart title and the series it draws.
struct GraphLayout {
    std::vector<std::string> titleLines;
    std::array<SeriesLayout, 2> series; // by Quantity
    bool seriesToggles = false;         // each series can be hidden by its own box

    const SeriesLayout& of(Quantity s) const { return series[static_cast<size_t>(s)]; }
};

// The layout for a model; the title names the model and the log's "S/N" line.
GraphLayout graphLayout(const InstrumentModel& model, const std::string& serialLine);

// The choices of the graph window that change a build.
struct GraphOptions {
    bool stopOnLowBat = true; // "Stop when low bat": nothing plotted after the stop record
};

// What one build made of one series.
struct SeriesBuild {
    // Entries of data rows that were not plotted.
    static constexpr int32_t kNotPlotted = -9999;

    bool shown = false;            // the model has this series; nothing else is set without it
    std::vector<int32_t> values;   // entry k: the value plotted for data row k + 1, -1 for "OFF"
    bool stopped = false;          // the third following low-battery record was met
    int32_t stopLine = 0;          // "#" of the record that stopped the series
    std::string alarmText = "---"; // the stop line once the stop applies to the plot
    int32_t minValue = 0;          // extremes of the plotted values
    int32_t maxValue = 0;
    bool hasExtremes = false;   // a value was plotted, so the extremes are real
    std::string firstValueText; // the value cell of data row 1, the statistics' reference
};

// A build of the graph from the log table: the points of each series, the warning lines and,
// when a cell that should be a whole number was not, the error that ended the build early (the
// rows before it stay plotted, as the window draws them).
struct GraphBuild {
    std::array<SeriesBuild, 2> series; // by Quantity
    std::vector<std::string> warnings; // "Rl warn / error in line: 7"
    std::string failure;               // empty for a build that reached the end of the table

    const SeriesBuild& of(Quantity s) const { return series[static_cast<size_t>(s)]; }
};

// Plots the table's records for the model's series with the low-battery stop.
GraphBuild buildGraph(const LogTable& table, const InstrumentModel& model,
                      const GraphOptions& options);

// True when the table holds the two records a graph needs: rows whose "#" cell is a number, so
// the empty rows that lines without a record leave do not count.
bool hasGraphRecords(const LogTable& table);
