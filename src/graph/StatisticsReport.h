#pragma once

#include "graph/GraphBuild.h"

#include <QLocale>
#include <string>
#include <vector>

class TextMemo;

// The statistics of a build as the graph window shows them and the text log saves them.
struct StatisticsReport {
    std::vector<std::string> lines;
    std::string failure; // the error that ended the report after its lines; empty when whole
};

// A block per series of the build, an empty line between two: how often each value was plotted
// up to the stop, the spread against the first value and the stop line. Nothing for a build
// that failed. Numbers use the locale's decimal separator.
StatisticsReport statisticsReport(const GraphBuild& build, const QLocale& locale);

// Puts the report into the memo the text log saves, then throws its failure, if it has one.
void writeStatistics(const StatisticsReport& report, TextMemo& memo);
