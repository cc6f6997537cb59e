// The section report on arbitrary logs: the counts of the sections add up to the whole log, the
// mean lies between the extremes, the spread is 0 for equal values, and the CSV has one line per
// row.
#include "FuzzSupport.h"
#include "graph/PerformanceClasses.h"
#include "graph/SectionReport.h"
#include "log/LogTable.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

void checkRow(const SectionStats& s, Quantity series) {
    CHECK(s.used >= 0 && s.leftOut >= 0);
    CHECK(s.below >= 0 && s.below <= s.used);
    CHECK(s.belowPercent >= 0 && s.belowPercent <= 100);
    const auto classes = static_cast<int>(performanceClasses(series).size());
    CHECK(s.reachedClass >= 0 && s.reachedClass < classes);
    if (s.used == 0) {
        CHECK(!s.pass && s.reachedClass == 0 && s.below == 0);
        return;
    }
    CHECK(s.min <= s.max);
    CHECK(s.mean >= s.min && s.mean <= s.max);
    CHECK(std::isfinite(s.sd) && s.sd >= 0);
    if (s.min == s.max)
        CHECK(s.sd == 0 && s.mean == s.min);
    if (s.used == 1)
        CHECK(s.sd == 0);
    // Values within [min, max] spread at most half the range, times sqrt(n / (n - 1)) for the
    // sample's n - 1.
    if (s.used > 1) {
        const double range = static_cast<double>(s.max) - static_cast<double>(s.min);
        const auto n = static_cast<double>(s.used);
        CHECK(s.sd <= range / 2 * std::sqrt(n / (n - 1)) * (1 + 1e-9) + 1e-6);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const std::string model = fuzz::modelFor(data[0]);
    const bool stopOnLowBat = (data[1] & 1) != 0;
    const RequiredClasses required{data[1] >> 1 & 7, data[1] >> 4 & 7}; // some out of range
    const bool combined = model == "RVM600PK";
    const InstrumentModel& instrument = modelNamed(model);
    LogTable t;
    t.setCols(combined ? 8 : 6);
    const int seqCol = combined ? 6 : 4;
    // Each row: a few section ids, statuses from the usual codes, values narrow or wide.
    const size_t perRow = combined ? 5 : 3;
    const int rows = static_cast<int>((size - 2) / perRow);
    t.setRows(rows + 1);
    static const char* const statuses[] = {"0", "1", "2", "16", "17", "x"};
    size_t p = 2;
    int records = 0;
    for (int r = 1; r <= rows; ++r) {
        const uint8_t head = data[p++];
        // Now and then a row that is no record.
        if ((head & 0xF0) == 0xF0) {
            p += perRow - 1;
            continue;
        }
        ++records;
        t.setCell(0, r, std::to_string(r));
        t.setCell(seqCol, r, std::string(1, static_cast<char>('A' + (head & 3))));
        const auto value = [&](uint8_t v) {
            switch (head >> 2 & 3) {
            case 0:
                return std::to_string(v);
            case 1:
                return std::to_string(static_cast<int32_t>(0x01010101u * v) - 1);
            case 2:
                return std::to_string(-static_cast<int>(v));
            default:
                return std::to_string(200); // runs of equal values
            }
        };
        if (combined) {
            t.setCell(2, r, value(data[p++]));
            t.setCell(3, r, value(data[p++]));
            t.setCell(4, r, statuses[data[p++] % 6]);
            t.setCell(5, r, statuses[data[p++] % 6]);
        } else {
            t.setCell(2, r, value(data[p++]));
            t.setCell(3, r, statuses[data[p++] % 6]);
        }
    }

    const SectionReport report = sectionReport(t, instrument, stopOnLowBat, required);
    size_t lines = 1;
    for (const SeriesSections& series : report) {
        CHECK(!series.rows.empty() && series.rows.back().wholeLog);
        const SectionStats& all = series.rows.back();
        int64_t used = 0;
        int64_t leftOut = 0;
        int64_t below = 0;
        for (const SectionStats& s : series.rows) {
            checkRow(s, series.series);
            if (s.wholeLog)
                continue;
            used += s.used;
            leftOut += s.leftOut;
            below += s.below;
            if (s.used > 0)
                CHECK(s.min >= all.min && s.max <= all.max);
        }
        CHECK(used == all.used && leftOut == all.leftOut && below == all.below);
        CHECK(all.used + all.leftOut == records);
        lines += series.rows.size();
    }
    const std::string csv = sectionReportCsv(report);
    CHECK(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')) == lines);
    return 0;
}
