#pragma once

#include "graph/SectionReport.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

class LogTable;
struct Session;

// A label and its text, one line of the report's heading blocks.
using ReportField = std::pair<QString, QString>;

// One series drawn as a graph: the values plotted per data row (SeriesBuild's entries) and the
// required level as a dashed line.
struct ReportGraph {
    QString title;
    QColor color;
    std::vector<int32_t> values; // entry k: data row k + 1; kNotPlotted and -1 ("OFF") not drawn
    bool hasLevel = false;
    double level = 0;
    QString levelText; // "required R2: 100"
};

// A table of the report: titles, rows of display texts and, per row, the colour of each cell's
// text (invalid: black).
struct ReportTable {
    QStringList titles;
    std::vector<QStringList> rows;
    std::vector<std::vector<QColor>> colors; // empty, or one entry per row
};

// Everything the report shows, in display texts; made once and painted on any paged device.
struct ReportContent {
    QString heading;
    std::vector<ReportField> details;    // the survey details the user gave
    std::vector<ReportField> instrument; // model, identification, serial line, times, counts
    QString requiredLine;                // the required classes with their levels
    ReportTable sections;
    std::vector<ReportGraph> graphs;
    QStringList statistics;
    QStringList warnings;
    QStringList leftOut; // one line per series: the "#" of the records left out, as ranges
    ReportTable records; // the appendix
    QString program;     // "Virelon Log Dump 1.2"
    QString madeAt;      // when the report was made
};

// The report of the log in the table, with the section report for the required classes and the
// graph and statistics as the graph window starts ("Stop when low bat" checked).
ReportContent reportContent(const LogTable& table, const Session& session,
                            const RequiredClasses& required, const QDateTime& madeAt);

// Instrument bytes as the report shows them: Windows-1252, control characters replaced, so an
// escape sequence or a line break in a Seq-Id cannot shape the page.
QString reportText(const std::string& bytes);

// A reply of the instrument that may run over lines: each line break one "\n", none at the
// end, other control characters replaced as in reportText.
QString reportLines(const std::string& bytes);

// "3, 7-9, 12" for ascending record numbers.
QString numberRanges(const std::vector<int64_t>& numbers);
