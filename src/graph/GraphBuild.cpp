#include "graph/GraphBuild.h"

#include "log/LogTable.h"
#include "text/AppError.h"
#include "text/TextFieldHelpers.h"

#include <algorithm>

namespace {

constexpr int32_t kErrorBit = 1;
constexpr int32_t kLowBatBit = 16;
constexpr int kLowBatStopCount = 3;

const char* warnPrefix(Quantity s) {
    return s == Quantity::Rl ? "Rl warn / error in line: " : "Qd warn / error in line: ";
}

// One series while the rows are read.
struct SeriesRun {
    const SeriesRule* rule = nullptr;
    int32_t value = 0;       // in the row being read; -1 for a record without one
    int32_t lowBatCount = 0; // low-battery records since the last status 0 or 1
};

// Reads one record for each series: its value, its warning line and the low-battery count.
// Throws ConversionError for a value or "#" cell that looks like a number and is no whole one.
void readRow(const LogTable& table, int row, std::array<SeriesRun, 2>& runs, GraphBuild& build) {
    for (Quantity s : kQuantities) {
        const auto i = static_cast<size_t>(s);
        SeriesRun& run = runs[i];
        if (!run.rule)
            continue;
        SeriesBuild& series = build.series[i];
        int32_t status = 0;
        if (!tryStrToInt(table.cell(run.rule->statusColumn, row), status)) {
            // A status that is no number tells nothing good: shown as an error, OFF in the
            // report; it neither counts towards the low-battery stop nor resets the count.
            build.warnings.push_back(warnPrefix(s) + std::to_string(row));
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
                    series.stopLine = strToInt(table.cell(0, row));
                }
            }
            if (status != kLowBatBit)
                build.warnings.push_back(warnPrefix(s) + std::to_string(row));
        }
        if ((status & kErrorBit) != 0) {
            run.value = -1;
        } else {
            const std::string& text = table.cell(run.rule->valueColumn, row);
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
    series.values[static_cast<size_t>(row - 1)] = value;
}

} // namespace

GraphLayout graphLayout(const InstrumentModel& model, const std::string& serialLine) {
    GraphLayout layout;
    layout.titleLines.push_back(model.name + (" " + serialLine));
    layout.seriesToggles = model.seriesToggles;
    for (Quantity s : kQuantities) {
        const SeriesRule& rule = model.seriesOf(s);
        SeriesLayout& series = layout.series[static_cast<size_t>(s)];
        series.shown = rule.shown;
        series.axis = rule.axis;
        series.axisTitle = s == Quantity::Rl ? "Rl" : "Qd";
    }
    return layout;
}

GraphBuild buildGraph(const LogTable& table, const InstrumentModel& model,
                      const GraphOptions& options) {
    GraphBuild build;
    const int dataRows = std::max(table.rows() - 1, 0);
    std::array<SeriesRun, 2> runs;
    for (Quantity s : kQuantities) {
        const SeriesRule& rule = model.seriesOf(s);
        if (!rule.shown)
            continue;
        const auto i = static_cast<size_t>(s);
        runs[i].rule = &rule;
        SeriesBuild& series = build.series[i];
        series.shown = true;
        series.values.assign(static_cast<size_t>(dataRows), SeriesBuild::kNotPlotted);
        series.firstValueText = table.cell(rule.valueColumn, 1);
    }

    try {
        for (int row = 1; row <= dataRows; ++row) {
            // Lines of the log that were no records leave empty rows behind the records.
            if (table.cell(0, row).empty())
                continue;
            readRow(table, row, runs, build);
            for (Quantity s : kQuantities) {
                const auto i = static_cast<size_t>(s);
                if (!runs[i].rule)
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
    int32_t number = 0;
    for (int row = 1; row < table.rows() && found < kNeeded; ++row)
        if (tryStrToInt(table.cell(0, row), number))
            ++found;
    return found >= kNeeded;
}
