#include "graph/PerformanceClasses.h"

#include <limits>

namespace {

constexpr double kNoRequirement = -std::numeric_limits<double>::infinity();

// Retroreflection Rl and daylight luminance Qd, both in mcd/m^2/lx, by EN 1436. Another edition
// or a national table is another pair of lists here. Stored by name, so a class table that grows
// keeps what the user chose.
const QuantityDescription kQuantityDescriptions[] = {
    {"Rl",
     ColumnRole::Rl,
     ColumnRole::RlStatus,
     {{"R0", kNoRequirement}, {"R1", 80}, {"R2", 100}, {"R3", 150}, {"R4", 200}, {"R5", 300}},
     "R2",
     "sections/requiredRl"},
    {"Qd",
     ColumnRole::Qd,
     ColumnRole::QdStatus,
     {{"Q0", kNoRequirement}, {"Q1", 80}, {"Q2", 100}, {"Q3", 130}, {"Q4", 160}},
     "Q2",
     "sections/requiredQd"}};

} // namespace

const QuantityDescription& describe(Quantity series) {
    return kQuantityDescriptions[static_cast<size_t>(series)];
}

const std::vector<PerformanceClass>& performanceClasses(Quantity series) {
    return describe(series).classes;
}

int classReached(Quantity series, double value) {
    const std::vector<PerformanceClass>& classes = performanceClasses(series);
    int reached = 0;
    for (size_t i = 0; i < classes.size(); ++i)
        if (value >= classes[i].minimum)
            reached = static_cast<int>(i);
    return reached;
}

int findClass(Quantity series, const std::string& name) {
    const std::vector<PerformanceClass>& classes = performanceClasses(series);
    for (size_t i = 0; i < classes.size(); ++i)
        if (classes[i].name == name)
            return static_cast<int>(i);
    return -1;
}

int defaultRequiredClass(Quantity series) {
    return findClass(series, describe(series).defaultClass);
}
