#include "app/App.h"
#include "graph/GraphFormat.h"
#include "graph/GraphLogic.h"
#include "text/AppError.h"
#include "text/Cp1252.h"
#include "text/TextFieldHelpers.h"

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

} // namespace

void GraphLogic::WriteStatistics() {
    // A block per series of the model, an empty line between two.
    bool first = true;
    for (GraphSeries s : {GraphSeries::Rl, GraphSeries::Qd}) {
        if (!seriesColumns(*m_app.session.model, s))
            continue;
        if (!first)
            m_app.statistics.addLine("");
        first = false;
        writeBlock(s);
    }
}

void GraphLogic::writeBlock(GraphSeries series) {
    const bool rl = series == GraphSeries::Rl;
    TextMemo& report = m_app.statistics;
    report.addLine(rl ? "Rl statistics:" : "Qd statistics:");

    const SeriesState& st = state(series);
    const auto cols = seriesColumns(*m_app.session.model, series);
    const int32_t first = StrToInt(m_app.table.cell(cols ? cols->value : 2, 1));
    // Max - Min spans up to 2^32 - 1.
    const int64_t range = int64_t{st.MaxValue} - int64_t{st.MinValue};
    if (first == 0)
        throw AppError(range != 0 ? "Floating point division by zero"
                                  : "Invalid floating point operation");
    const double spread = static_cast<double>(range) / first * 100;

    std::string spreadText;
    if (spread > 10) {
        spreadText = "> 10";
    } else {
        spreadText = FormatGeneral2(spread, toCp1252(m_locale.decimalPoint()));
        // The rows counted: up to the stop of a stopped series, else all; never past the store.
        const int64_t counted = st.Stopped ? st.StopLine : m_app.table.rows() - 1;
        const auto n = static_cast<size_t>(
            std::clamp<int64_t>(counted, 0, static_cast<int64_t>(st.Values.size())));
        for (const auto& [value, count] : countValues(st.Values, n, st.MinValue, st.MaxValue)) {
            if (value == -1)
                report.addLine("Value OFF Count: " + std::to_string(count));
            else
                report.addLine("Value " + std::to_string(value) +
                               " Count: " + std::to_string(count));
        }
    }
    report.addLine((rl ? "  Rl Dev: " : "  Qd Dev: ") + spreadText + "%");
    report.addLine((rl ? "Rl V alarm: " : "Qd V alarm: ") + alarmText(series));
}
