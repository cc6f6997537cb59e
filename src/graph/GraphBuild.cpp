#include "graph/GraphBuild.h"

#include "graph/PerformanceClasses.h"
#include "log/LogTable.h"
#include "text/AppError.h"
#include "text/TextFieldHelpers.h"

#include <algorithm>

namespace {

constexpr int32_t kErrorBit = 1;
constexpr int32_t kLowBatBit = 16;
constexpr int kLowBatStopCount = 3;

std::string warnLine(Quantity s, int row) {
    return describe(s).name + (" warn / error in line: " + std::to_string(row));
}

// One series while the rows are read.
struct SeriesRun {
    int statusColumn = -1; // -1 for a series the model does not have
    int valueColumn = -1;
    int32_t value = 0;       // in the row being read; -1 for a record without one
    int32_t lowBatCount = 0; // low-battery records since the last status 0 or 1
};

// Reads one record for each series: its value, its warning line and the low-battery count.
// Throws ConversionError for a value or "#" cell that looks like a number and is no whole one.
void readRow(const LogTable& table, int row, std::array<SeriesRun, 2>& runs, GraphBuild& build) {
    for (Quantity s : kQuantities) {
        const auto i = static_cast<size_t>(s);
        SeriesRun& run = runs[i];
        if (run.statusColumn < 0)
            continue;
        SeriesBuild& series = build.series[i];
        int32_t status = 0;
        if (!tryStrToInt(table.cell(run.statusColumn, row), status)) {
            // A status that is no number tells nothing good: shown as an error, OFF in the
            // report; it neither counts towards the low-battery stop nor resets the count.
            build.warnings.push_back(warnLine(s, row));
            run.value = -1;
            continue;
        }
        status &= 0xFF;
        if (status == 0 || status == 1) {
            run.lowBatCount = 0;
        } else {
            if ((status & kLowBatBit) != 0 && !series.stopped) {
                ++run.lowBatCount;
                if (run.lowBatCount == kLowBatStopCount) {
                    series.stopped = true;
                    series.stopLine = strToInt(recordNumberCell(table, row));
                }
            }
            if (status != kLowBatBit)
                build.warnings.push_back(warnLine(s, row));
        }
        if ((status & kErrorBit) != 0) {
            run.value = -1;
        } else {
            const std::string& text = table.cell(run.valueColumn, row);
            run.value = isNumeric(text) ? strToInt(text) : -1;
        }
    }
}

void plot(SeriesBuild& series, int row, int32_t value) {
    if (!series.hasExtremes) {
        series.minValue = series.maxValue = value;
        series.hasExtremes = true;
    } else {
        series.minValue = std::min(series.minValue, value);
        series.maxValue = std::max(series.maxValue, value);
    }
    series.values[static_cast<size_t>(LogTable::recordIndex(row))] = value;
}

} // namespace

GraphLayout graphLayout(const InstrumentModel& model, const std::string& serialLine) {
    GraphLayout layout;
    layout.titleLines.push_back(model.name + (" " + serialLine));
    layout.seriesToggles = model.graphs(Quantity::Rl) && model.graphs(Quantity::Qd);
    for (Quantity s : kQuantities) {
        SeriesLayout& series = layout.series[static_cast<size_t>(s)];
        series.shown = model.graphs(s);
        // The second of two series takes the right axis.
        series.axis =
            layout.seriesToggles && s != kQuantities[0] ? SeriesAxis::Right : SeriesAxis::Left;
        series.axisTitle = describe(s).name;
    }
    return layout;
}

GraphBuild buildGraph(const LogTable& table, const InstrumentModel& model,
                      const GraphOptions& options) {
    GraphBuild build;
    std::array<SeriesRun, 2> runs;
    for (Quantity s : kQuantities) {
        if (!model.graphs(s))
            continue;
        const auto i = static_cast<size_t>(s);
        SeriesRun& run = runs[i];
        run.statusColumn = model.layout->column(describe(s).statusColumn);
        run.valueColumn = model.layout->column(describe(s).valueColumn);
        SeriesBuild& series = build.series[i];
        series.shown = true;
        series.values.assign(static_cast<size_t>(table.records()), SeriesBuild::kNotPlotted);
        series.firstValueText = table.cell(run.valueColumn, LogTable::recordRow(0));
    }

    try {
        for (int row = LogTable::recordRow(0); row <= table.records(); ++row) {
            // Lines of the log that were no records leave empty rows behind the records.
            if (recordNumberCell(table, row).empty())
                continue;
            readRow(table, row, runs, build);
            for (Quantity s : kQuantities) {
                const auto i = static_cast<size_t>(s);
                if (runs[i].statusColumn < 0)
                    continue;
                SeriesBuild& series = build.series[i];
                if (series.stopped && options.stopOnLowBat) {
                    series.alarmText = std::to_string(series.stopLine);
                    continue;
                }
                plot(series, row, runs[i].value);
            }
        }
    } catch (const ConversionError& e) {
        build.failure = e.what();
    }
    return build;
}

bool hasGraphRecords(const LogTable& table) {
    constexpr int kNeeded = 2;
    int found = 0;
    for (int row = 1; row < table.rows() && found < kNeeded; ++row)
        found += isRecordRow(table, row);
    return found >= kNeeded;
}
