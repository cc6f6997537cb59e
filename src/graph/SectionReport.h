#pragma once

#include "graph/GraphBuild.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class LogTable;

// The required class of each series, as indices into its performanceClasses (Rl, then Qd).
using RequiredClasses = std::array<int, 2>;

// R2 and Q2, required where the user chose nothing.
RequiredClasses defaultRequiredClasses();

// What the readings of one section (or of the whole log) give.
struct SectionStats {
    std::string section; // the Seq-Id text; "ALL" for the whole log
    bool wholeLog = false;
    int64_t used = 0;    // readings plotted with a value
    int64_t leftOut = 0; // the other records of the section
    double mean = 0;     // mean, sd, min and max are meaningful with used > 0 (sd: used > 1)
    double sd = 0;       // sample standard deviation
    int32_t min = 0;
    int32_t max = 0;
    int64_t below = 0;       // used readings under the required level
    double belowPercent = 0; // below as a share of used, 0 without readings
    int reachedClass = 0;    // the class the mean reaches; 0 without readings
    bool pass = false;       // the mean is at or above the required level
};

// The sections of one series in order of first appearance, then the whole log.
struct SeriesSections {
    Quantity series = Quantity::Rl;
    int requiredClass = 0;
    std::vector<SectionStats> rows;
};

// One entry per series the model has, Rl before Qd.
using SectionReport = std::vector<SeriesSections>;

// The report from what a build plotted. A reading is used when it was plotted with a value
// other than -1 ("OFF"); every other record of its section is left out; rows without a "#" are
// no records and count nowhere. Series the build does not show have no entry.
SectionReport sectionReport(const LogTable& table, const InstrumentModel& model,
                            const GraphBuild& build, const RequiredClasses& required);

// The report from a build of its own, with "Stop when low bat" as given.
SectionReport sectionReport(const LogTable& table, const InstrumentModel& model, bool stopOnLowBat,
                            const RequiredClasses& required);

// The column titles of the report's rows in files.
const std::vector<std::string>& sectionColumnTitles();

// The texts of one row under sectionColumnTitles, numbers with the given decimal separator.
std::vector<std::string> sectionRowTexts(const SeriesSections& series, const SectionStats& row,
                                         const std::string& decimalSeparator);

// The whole report as CSV: header row, then one row per series and section, commas, points,
// CR LF line ends.
std::string sectionReportCsv(const SectionReport& report);

// Required classes from "R3,Q3" (either order, either one alone; the other keeps its default).
// False, with nothing changed, for any other text.
bool parseRequiredClasses(const std::string& text, RequiredClasses& required);
