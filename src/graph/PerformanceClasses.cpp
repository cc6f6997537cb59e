#include "graph/PerformanceClasses.h"

#include <limits>

namespace {

constexpr double kNoRequirement = -std::numeric_limits<double>::infinity();

// Retroreflection Rl and daylight luminance Qd, both in mcd/m^2/lx, by EN 1436. Another edition
// or a national table is another pair of lists here.
const std::vector<PerformanceClass> kRlClasses = {
    {"R0", kNoRequirement}, {"R1", 80}, {"R2", 100}, {"R3", 150}, {"R4", 200}, {"R5", 300}};
const std::vector<PerformanceClass> kQdClasses = {
    {"Q0", kNoRequirement}, {"Q1", 80}, {"Q2", 100}, {"Q3", 130}, {"Q4", 160}};

const char* const kDefaultRl = "R2";
const char* const kDefaultQd = "Q2";

} // namespace

const std::vector<PerformanceClass>& performanceClasses(Quantity series) {
    return series == Quantity::Rl ? kRlClasses : kQdClasses;
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
    return findClass(series, series == Quantity::Rl ? kDefaultRl : kDefaultQd);
}
