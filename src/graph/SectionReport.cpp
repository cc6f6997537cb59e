#include "graph/SectionReport.h"

#include "graph/PerformanceClasses.h"
#include "log/LogTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace {

constexpr int32_t kOff = -1;

// Running figures of one section; the spread by Welford's update, which stays exact (0) for
// equal values and does not lose the small differences of large ones.
struct Accumulator {
    int64_t used = 0;
    int64_t leftOut = 0;
    int64_t sum = 0;
    double runningMean = 0;
    double squares = 0;
    int32_t min = 0;
    int32_t max = 0;
    int64_t below = 0;

    void add(int32_t value, double level) {
        if (used == 0) {
            min = max = value;
        } else {
            min = std::min(min, value);
            max = std::max(max, value);
        }
        ++used;
        sum += value;
        const double delta = value - runningMean;
        runningMean += delta / static_cast<double>(used);
        squares += delta * (value - runningMean);
        if (value < level)
            ++below;
    }
};

SectionStats finish(const Accumulator& a, Quantity series, int required) {
    SectionStats s;
    s.used = a.used;
    s.leftOut = a.leftOut;
    if (a.used > 0) {
        s.min = a.min;
        s.max = a.max;
        // The exact sum keeps the mean of many values free of accumulated rounding; the clamp
        // keeps its last rounding inside the values it comes from.
        s.mean = std::clamp(static_cast<double>(a.sum) / static_cast<double>(a.used),
                            static_cast<double>(a.min), static_cast<double>(a.max));
        if (a.used > 1)
            s.sd = std::sqrt(std::max(0.0, a.squares) / static_cast<double>(a.used - 1));
        s.below = a.below;
        s.belowPercent = 100.0 * static_cast<double>(a.below) / static_cast<double>(a.used);
        s.reachedClass = classReached(series, s.mean);
        s.pass = s.mean >= performanceClasses(series)[static_cast<size_t>(required)].minimum;
    }
    return s;
}

// "%.1f" with the given separator; a value that rounds to zero is never "-0.0".
std::string fixed1(double value, const std::string& separator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string result = text;
    if (result == "-0.0")
        result = "0.0";
    const size_t point = result.find('.');
    if (point != std::string::npos)
        result.replace(point, 1, separator);
    return result;
}

// A cell as RFC 4180 writes it. A text from the instrument that a spreadsheet program would
// take for a formula gets an apostrophe first, so opening the report never runs one.
std::string csvField(const std::string& cell, bool fromInstrument = false) {
    const bool formula = fromInstrument && !cell.empty() &&
                         std::string("=+-@\t\r").find(cell.front()) != std::string::npos;
    const std::string text = formula ? "'" + cell : cell;
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

int clampedClass(Quantity series, int index) {
    const int count = static_cast<int>(performanceClasses(series).size());
    return index >= 0 && index < count ? index : defaultRequiredClass(series);
}

} // namespace

RequiredClasses defaultRequiredClasses() {
    return {defaultRequiredClass(Quantity::Rl), defaultRequiredClass(Quantity::Qd)};
}

SectionReport sectionReport(const LogTable& table, const InstrumentModel& model,
                            const GraphBuild& build, const RequiredClasses& required) {
    SectionReport report;
    std::array<double, 2> level{};
    for (Quantity s : kQuantities) {
        const auto i = static_cast<size_t>(s);
        if (!build.of(s).shown)
            continue;
        SeriesSections series;
        series.series = s;
        series.requiredClass = clampedClass(s, required[i]);
        level[i] = performanceClasses(s)[static_cast<size_t>(series.requiredClass)].minimum;
        report.push_back(std::move(series));
    }
    if (report.empty())
        return report;

    const int seqCol = model.layout->column(ColumnRole::SeqId);
    std::vector<std::string> names;
    std::unordered_map<std::string, size_t> indexOf;
    // Per series: one accumulator per section, the whole log last (added at the end).
    std::array<std::vector<Accumulator>, 2> sections;
    std::array<Accumulator, 2> whole;
    const std::string* lastName = nullptr;
    size_t lastIndex = 0;
    for (int row = LogTable::recordRow(0); row <= table.records(); ++row) {
        if (recordNumberCell(table, row).empty())
            continue;
        // Readings of a run follow each other, so the previous row's section is the usual hit.
        const std::string& name = table.cell(seqCol, row);
        if (!lastName || name != *lastName) {
            const auto [it, added] = indexOf.emplace(name, names.size());
            if (added) {
                names.push_back(name);
                for (auto& perSeries : sections)
                    perSeries.emplace_back();
            }
            lastIndex = it->second;
            lastName = &name;
        }
        for (const SeriesSections& series : report) {
            const auto i = static_cast<size_t>(series.series);
            const std::vector<int32_t>& values = build.series[i].values;
            const auto k = static_cast<size_t>(LogTable::recordIndex(row));
            const int32_t value = k < values.size() ? values[k] : SeriesBuild::kNotPlotted;
            Accumulator& section = sections[i][lastIndex];
            if (value == SeriesBuild::kNotPlotted || value == kOff) {
                ++section.leftOut;
                ++whole[i].leftOut;
            } else {
                section.add(value, level[i]);
                whole[i].add(value, level[i]);
            }
        }
    }

    for (SeriesSections& series : report) {
        const auto i = static_cast<size_t>(series.series);
        series.rows.reserve(names.size() + 1);
        for (size_t n = 0; n < names.size(); ++n) {
            series.rows.push_back(finish(sections[i][n], series.series, series.requiredClass));
            series.rows.back().section = names[n];
        }
        series.rows.push_back(finish(whole[i], series.series, series.requiredClass));
        series.rows.back().section = "ALL";
        series.rows.back().wholeLog = true;
    }
    return report;
}

SectionReport sectionReport(const LogTable& table, const InstrumentModel& model, bool stopOnLowBat,
                            const RequiredClasses& required) {
    // A build that failed plotted nothing from the failing row on: those records count as left
    // out, as they are on the chart the window shows after the same failure.
    GraphOptions options;
    options.stopOnLowBat = stopOnLowBat;
    return sectionReport(table, model, buildGraph(table, model, options), required);
}

const std::vector<std::string>& sectionColumnTitles() {
    static const std::vector<std::string> titles = {
        "series", "section", "used",      "left_out", "mean",     "sd",  "min",
        "max",    "below",   "below_pct", "class",    "required", "pass"};
    return titles;
}

std::vector<std::string> sectionRowTexts(const SeriesSections& series, const SectionStats& row,
                                         const std::string& decimalSeparator) {
    const std::vector<PerformanceClass>& classes = performanceClasses(series.series);
    const bool any = row.used > 0;
    return {describe(series.series).name, row.section, std::to_string(row.used),
            std::to_string(row.leftOut), any ? fixed1(row.mean, decimalSeparator) : "",
            row.used > 1 ? fixed1(row.sd, decimalSeparator) : "",
            any ? std::to_string(row.min) : "", any ? std::to_string(row.max) : "",
            // Without readings there is nothing to count below the level and no class reached.
            any ? std::to_string(row.below) : "",
            any ? fixed1(row.belowPercent, decimalSeparator) : "",
            any ? classes[static_cast<size_t>(row.reachedClass)].name : "",
            classes[static_cast<size_t>(series.requiredClass)].name, row.pass ? "yes" : "no"};
}

std::string sectionReportCsv(const SectionReport& report) {
    constexpr size_t kSectionField = 1; // the Seq-Id, the one text from the instrument
    const auto line = [](const std::vector<std::string>& fields) {
        std::string text;
        for (size_t i = 0; i < fields.size(); ++i)
            text += (i ? "," : "") + csvField(fields[i], i == kSectionField);
        return text + "\r\n";
    };
    std::string csv = line(sectionColumnTitles());
    for (const SeriesSections& series : report)
        for (const SectionStats& row : series.rows)
            csv += line(sectionRowTexts(series, row, "."));
    return csv;
}

bool parseRequiredClasses(const std::string& text, RequiredClasses& required) {
    RequiredClasses parsed = required;
    std::array<bool, 2> seen{};
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string name =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool found = false;
        for (Quantity s : kQuantities) {
            const auto i = static_cast<size_t>(s);
            const int index = findClass(s, name);
            if (index >= 0 && !seen[i]) {
                parsed[i] = index;
                seen[i] = true;
                found = true;
            }
        }
        if (!found)
            return false;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    required = parsed;
    return true;
}
