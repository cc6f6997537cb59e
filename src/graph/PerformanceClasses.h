#pragma once

#include "log/InstrumentModel.h"

#include <string>
#include <vector>

// One performance class of a road marking: its name and the least value that reaches it.
struct PerformanceClass {
    std::string name;
    double minimum; // -infinity for the class that sets no requirement
};

// Everything that tells Rl from Qd, in one table.
struct QuantityDescription {
    const char* name;        // "Rl": the axis title, the series in reports and files
    ColumnRole valueColumn;  // where the table holds the value
    ColumnRole statusColumn; // and its status
    std::vector<PerformanceClass> classes;
    const char* defaultClass; // required where the user chose none
    const char* settingsKey;  // where the user's choice is kept, by name
};
const QuantityDescription& describe(Quantity series);

// The classes of a series in ascending order; the first one ("R0", "Q0") sets no requirement.
const std::vector<PerformanceClass>& performanceClasses(Quantity series);

// The index of the highest class a value reaches (0 for a value below every level).
int classReached(Quantity series, double value);

// The index of a class by its name ("R2"), or -1 when the series has no such class.
int findClass(Quantity series, const std::string& name);

// The class required when the user chose none: R2 for Rl, Q2 for Qd.
int defaultRequiredClass(Quantity series);
