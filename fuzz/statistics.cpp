// The graph's statistics on arbitrary tables, and the number format on arbitrary values: the
// report is well formed, its counts add up, and it answers at once whatever the range.
#include "FuzzSupport.h"
#include "graph/GraphBuild.h"
#include "graph/GraphFormat.h"
#include "graph/StatisticsReport.h"
#include "log/LogTable.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <regex>

namespace {

void checkFormat(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e300 || std::fabs(value) < 1e-300)
        return;
    const std::string text = formatSpread(value, ".");
    static const std::regex shape(
        R"(0|-?(0|[1-9][0-9]?)(\.[0-9]*[1-9])?|-?[1-9](\.[1-9])?E-?[1-9][0-9]*)");
    CHECK(std::regex_match(text, shape));
    std::string plain = text;
    const auto e = plain.find('E');
    const double back = e == std::string::npos
                            ? std::strtod(plain.c_str(), nullptr)
                            : std::strtod(plain.substr(0, e).c_str(), nullptr) *
                                  std::pow(10.0, std::strtod(plain.substr(e + 1).c_str(), nullptr));
    // Two significant digits: within half a unit of the second digit.
    CHECK(std::fabs(back - value) <= 0.0501 * std::fabs(value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        checkFormat(value);
    }
    if (size < 2)
        return 0;
    const std::string model = fuzz::modelFor(data[0]);
    const bool combined = model == "RVM600PK";
    const InstrumentModel& instrument = modelNamed(model);
    LogTable t;
    t.setCols(combined ? 8 : 6);
    // Each row: a status and a value per series, as small texts or wide numbers.
    const size_t perRow = combined ? 4 : 2;
    const int rows = static_cast<int>((size - 1) / (perRow * 2));
    t.setRows(rows + 1);
    size_t p = 1;
    auto number = [&]() -> std::string {
        const uint8_t kind = data[p++];
        const uint8_t v = data[p++];
        switch (kind % 4) {
        case 0:
            return std::to_string(v);
        case 1:
            return std::to_string(static_cast<int32_t>(0x01010101u * v) - 1);
        case 2:
            return std::to_string(v) + ",5";
        default:
            return std::string(1, static_cast<char>(v));
        }
    };
    for (int r = 1; r <= rows; ++r) {
        t.setCell(0, r, std::to_string(r));
        if (combined) {
            t.setCell(2, r, number());
            t.setCell(3, r, number());
            t.setCell(4, r, number());
            t.setCell(5, r, number());
        } else {
            t.setCell(2, r, number());
            t.setCell(3, r, number());
        }
    }

    const GraphBuild build = buildGraph(t, instrument, GraphOptions());
    if (!build.failure.empty())
        return 0; // a cell that is no whole number ends the build, as the window shows
    const std::vector<std::string> lines = statisticsReport(build, QLocale::c()).lines;

    // Value lines ascend and their counts never exceed the rows counted.
    long long previous = INT64_MIN;
    long long counted = 0;
    for (const auto& lineText : lines) {
        if (lineText.find(" statistics:") != std::string::npos)
            previous = INT64_MIN; // each series' block ascends on its own
        if (lineText.rfind("Value ", 0) != 0)
            continue;
        const auto countAt = lineText.find(" Count: ");
        CHECK(countAt != std::string::npos);
        counted += std::stoll(lineText.substr(countAt + 8));
        if (lineText.rfind("Value OFF", 0) == 0)
            continue;
        const long long v = std::stoll(lineText.substr(6, countAt - 6));
        CHECK(v > previous);
        previous = v;
    }
    CHECK(counted <= 2LL * rows);
    for (const auto& lineText : lines)
        if (lineText.find("Dev: ") != std::string::npos) // a percentage, or "---" unmeasured
            CHECK(lineText.back() == '%' ||
                  lineText.compare(lineText.size() - 8, 8, "Dev: ---") == 0);
    return 0;
}
