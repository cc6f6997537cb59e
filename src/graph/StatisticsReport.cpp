#include "graph/StatisticsReport.h"

#include "graph/GraphFormat.h"
#include "graph/PerformanceClasses.h"
#include "text/AppError.h"
#include "text/Cp1252.h"
#include "text/TextFieldHelpers.h"
#include "text/TextMemo.h"

#include <algorithm>
#include <utility>

namespace {

// How often each value in [lo, hi] occurs among the first n entries, in ascending value order:
// the lines a walk over every whole number from lo to hi would give, at the cost of the entries
// rather than of the width of the range.
std::vector<std::pair<int32_t, int32_t>> countValues(const std::vector<int32_t>& values, size_t n,
                                                     int32_t lo, int32_t hi) {
    std::vector<std::pair<int32_t, int32_t>> counts;
    const uint64_t width = static_cast<uint64_t>(int64_t{hi} - int64_t{lo}) + 1;
    if (width <= 4 * static_cast<uint64_t>(n) + 64) {
        // Narrow range, the usual case: one counter per whole number.
        std::vector<int32_t> perValue(width, 0);
        for (size_t k = 0; k < n; ++k)
            if (values[k] >= lo && values[k] <= hi)
                ++perValue[static_cast<size_t>(int64_t{values[k]} - lo)];
        for (size_t i = 0; i < perValue.size(); ++i)
            if (perValue[i] != 0)
                counts.emplace_back(static_cast<int32_t>(lo + static_cast<int64_t>(i)),
                                    perValue[i]);
        return counts;
    }
    std::vector<int32_t> sorted;
    sorted.reserve(n);
    for (size_t k = 0; k < n; ++k)
        if (values[k] >= lo && values[k] <= hi)
            sorted.push_back(values[k]);
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size();) {
        size_t j = i;
        while (j < sorted.size() && sorted[j] == sorted[i])
            ++j;
        counts.emplace_back(sorted[i], static_cast<int32_t>(j - i));
        i = j;
    }
    return counts;
}

void addBlock(std::vector<std::string>& report, Quantity s, const SeriesBuild& series,
              const std::string& separator) {
    const std::string name = describe(s).name;
    report.push_back(name + " statistics:");

    const int32_t first = strToInt(series.firstValueText);
    // Max - Min spans up to 2^32 - 1.
    const int64_t range = int64_t{series.maxValue} - int64_t{series.minValue};
    // A first reading of 0 (an error reading, common at the start of a run) leaves nothing to
    // measure the spread against; the counts and the alarm line still tell the run.
    const bool measurable = first != 0;
    const double spread = measurable ? static_cast<double>(range) / first * 100 : 0;

    std::string spreadText;
    if (spread > 10) {
        spreadText = "> 10%";
    } else {
        spreadText = measurable ? formatSpread(spread, separator) + "%" : "---";
        // The rows counted: up to the stop of a stopped series, else all; never past the store.
        const auto stored = static_cast<int64_t>(series.values.size());
        const auto n = static_cast<size_t>(
            std::clamp<int64_t>(series.stopped ? series.stopLine : stored, 0, stored));
        for (const auto& [value, count] :
             countValues(series.values, n, series.minValue, series.maxValue)) {
            if (value == -1)
                report.push_back("Value OFF Count: " + std::to_string(count));
            else
                report.push_back("Value " + std::to_string(value) +
                                 " Count: " + std::to_string(count));
        }
    }
    report.push_back("  " + name + " Dev: " + spreadText);
    report.push_back(name + " V alarm: " + series.alarmText);
}

} // namespace

StatisticsReport statisticsReport(const GraphBuild& build, const QLocale& locale) {
    StatisticsReport report;
    if (!build.failure.empty())
        return report;
    const std::string separator = toCp1252(locale.decimalPoint());
    bool first = true;
    try {
        for (Quantity s : kQuantities) {
            const SeriesBuild& series = build.of(s);
            if (!series.shown)
                continue;
            if (!first)
                report.lines.emplace_back();
            first = false;
            addBlock(report.lines, s, series, separator);
        }
    } catch (const AppError& e) {
        report.failure = e.what();
    }
    return report;
}

void writeStatistics(const StatisticsReport& report, TextMemo& memo) {
    memo.setLines(report.lines);
    if (!report.failure.empty())
        throw AppError(report.failure);
}
