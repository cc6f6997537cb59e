#include "report/ReportContent.h"

#include "graph/GraphBuild.h"
#include "graph/PerformanceClasses.h"
#include "graph/StatisticsReport.h"
#include "log/LogTable.h"
#include "log/Session.h"
#include "text/Cp1252.h"
#include "text/TextFieldHelpers.h"

#include <QLocale>

#ifndef LOGDUMP_VERSION
#define LOGDUMP_VERSION "?"
#endif

namespace {

const QColor kPassColor(0, 128, 0);
const QColor kFailColor(200, 0, 0);
const QColor kWarningColor(230, 120, 0);
const QColor kErrorColor(200, 0, 0);
// The lines of the graph window: Rl red, Qd blue.
const QColor kSeriesColors[] = {QColor(255, 0, 0), QColor(0, 0, 255)};

QString levelText(Quantity s, int classIndex) {
    const PerformanceClass& c = performanceClasses(s)[static_cast<size_t>(classIndex)];
    if (classIndex == 0)
        return QStringLiteral("%1 (no requirement)").arg(QString::fromStdString(c.name));
    return QStringLiteral("%1 (>= %2 mcd/m^2/lx)")
        .arg(QString::fromStdString(c.name))
        .arg(c.minimum);
}

QColor markColor(CellMark mark) {
    switch (mark) {
    case CellMark::Orange:
        return kWarningColor;
    case CellMark::Red:
        return kErrorColor;
    case CellMark::Normal:
        break;
    }
    return QColor();
}

void addInstrument(ReportContent& report, const LogTable& table, const Session& session) {
    std::vector<ReportField>& f = report.instrument;
    f.emplace_back(QStringLiteral("Model"), QString::fromLatin1(session.model->name));
    f.emplace_back(QStringLiteral("Identification"), reportLines(session.identLine));
    f.emplace_back(QStringLiteral("Serial line"), reportLines(session.serialLine));
    const int dateTime = session.model->layout->column(ColumnRole::DateTime);
    int first = -1;
    int last = -1;
    int64_t records = 0;
    for (int row = 1; row < table.rows(); ++row) {
        if (!isRecordRow(table, row))
            continue;
        if (first < 0)
            first = row;
        last = row;
        ++records;
    }
    f.emplace_back(QStringLiteral("First record"),
                   first < 0 ? QStringLiteral("-") : reportText(table.cell(dateTime, first)));
    f.emplace_back(QStringLiteral("Last record"),
                   last < 0 ? QStringLiteral("-") : reportText(table.cell(dateTime, last)));
    f.emplace_back(QStringLiteral("Records read"), QString::number(records));
    f.emplace_back(QStringLiteral("Records announced"), session.logCount < 0
                                                            ? QStringLiteral("reply not understood")
                                                            : QString::number(session.logCount));
    f.emplace_back(QStringLiteral("Log"), session.logOrigin.empty()
                                              ? QStringLiteral("-")
                                              : QString::fromStdString(session.logOrigin));
}

void addSections(ReportContent& report, const SectionReport& sections) {
    report.sections.titles = {"Series", "Section",  "Used",   "Left out", "Mean",
                              "SD",     "Min",      "Max",    "Below",    "Below %",
                              "Class",  "Required", "Verdict"};
    for (const SeriesSections& series : sections) {
        for (const SectionStats& row : series.rows) {
            QStringList texts;
            for (const std::string& t : sectionRowTexts(series, row, "."))
                texts << reportText(t);
            texts.back() = row.pass ? QStringLiteral("pass") : QStringLiteral("fail");
            std::vector<QColor> colors(static_cast<size_t>(texts.size()));
            colors.back() = row.pass ? kPassColor : kFailColor;
            report.sections.rows.push_back(texts);
            report.sections.colors.push_back(std::move(colors));
        }
    }
}

void addGraphs(ReportContent& report, const GraphBuild& build, const InstrumentModel& model,
               const RequiredClasses& required) {
    for (Quantity s : kQuantities) {
        const SeriesBuild& series = build.of(s);
        if (!series.shown)
            continue;
        const auto i = static_cast<size_t>(s);
        ReportGraph graph;
        graph.title = QStringLiteral("%1 (mcd/m^2/lx) - %2").arg(describe(s).name, model.name);
        graph.color = kSeriesColors[i];
        graph.values = series.values;
        const int classIndex = required[i];
        graph.hasLevel = classIndex > 0;
        graph.level = performanceClasses(s)[static_cast<size_t>(classIndex)].minimum;
        graph.levelText = QStringLiteral("required: %1").arg(levelText(s, classIndex));
        report.graphs.push_back(std::move(graph));
    }
}

void addLeftOut(ReportContent& report, const LogTable& table, const GraphBuild& build) {
    for (Quantity s : kQuantities) {
        const SeriesBuild& series = build.of(s);
        if (!series.shown)
            continue;
        std::vector<int64_t> numbers;
        for (int row = 1; row < table.rows(); ++row) {
            if (!isRecordRow(table, row))
                continue;
            const auto k = static_cast<size_t>(LogTable::recordIndex(row));
            const int32_t value =
                k < series.values.size() ? series.values[k] : SeriesBuild::kNotPlotted;
            if (value == SeriesBuild::kNotPlotted || value == -1)
                numbers.push_back(strToInt(recordNumberCell(table, row)));
        }
        report.leftOut << QStringLiteral("%1: %2").arg(
            describe(s).name, numbers.empty() ? QStringLiteral("none") : numberRanges(numbers));
    }
}

void addRecords(ReportContent& report, const LogTable& table) {
    ReportTable& t = report.records;
    for (int col = 0; col < table.cols(); ++col)
        t.titles << reportText(table.cell(col, 0));
    t.titles << QStringLiteral("Mark");
    t.rows.reserve(static_cast<size_t>(table.rows()));
    t.colors.reserve(static_cast<size_t>(table.rows()));
    for (int row = 1; row < table.rows(); ++row) {
        QStringList texts;
        std::vector<QColor> colors;
        bool empty = true;
        CellMark worst = CellMark::Normal;
        for (int col = 0; col < table.cols(); ++col) {
            const std::string& cell = table.cell(col, row);
            empty = empty && cell.empty();
            texts << reportText(cell);
            const CellMark mark = table.mark(col, row);
            colors.push_back(markColor(mark));
            if (mark == CellMark::Red || (mark == CellMark::Orange && worst == CellMark::Normal))
                worst = mark;
        }
        if (empty)
            continue; // a line that was no record left the row empty
        // The mark in words, so a print in black and white keeps it.
        texts << (worst == CellMark::Red      ? QStringLiteral("error")
                  : worst == CellMark::Orange ? QStringLiteral("warning")
                                              : QString());
        colors.push_back(markColor(worst));
        t.rows.push_back(std::move(texts));
        t.colors.push_back(std::move(colors));
    }
}

} // namespace

QString reportText(const std::string& bytes) {
    QString text = fromCp1252(bytes);
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = QChar(0xFFFD);
    return text;
}

QString reportLines(const std::string& bytes) {
    QString text = displayText(bytes);
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n'))
            c = QChar(0xFFFD);
    return text;
}

QString numberRanges(const std::vector<int64_t>& numbers) {
    QStringList parts;
    for (size_t i = 0; i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        parts << (j == i ? QString::number(numbers[i])
                         : QStringLiteral("%1-%2").arg(numbers[i]).arg(numbers[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

ReportContent reportContent(const LogTable& table, const Session& session,
                            const RequiredClasses& required, const QDateTime& madeAt) {
    ReportContent report;
    report.heading = QStringLiteral("Road marking survey report");
    const SurveyDetails& d = session.survey;
    const ReportField details[] = {{QStringLiteral("Project"), d.project},
                                   {QStringLiteral("Road"), d.road},
                                   {QStringLiteral("Direction"), d.direction},
                                   {QStringLiteral("Operator"), d.operatorName},
                                   {QStringLiteral("Notes"), d.notes}};
    for (const ReportField& field : details)
        if (!field.second.trimmed().isEmpty())
            report.details.push_back(field);
    addInstrument(report, table, session);

    const InstrumentModel& model = *session.model;
    const GraphBuild build = buildGraph(table, model, GraphOptions());
    const SectionReport sections = sectionReport(table, model, build, required);
    QStringList required1;
    for (const SeriesSections& series : sections)
        required1 << QStringLiteral("%1 %2").arg(describe(series.series).name,
                                                 levelText(series.series, series.requiredClass));
    report.requiredLine = QStringLiteral("Required: ") + required1.join(QStringLiteral(", "));
    addSections(report, sections);
    addGraphs(report, build, model, required);

    const StatisticsReport statistics = statisticsReport(build, QLocale());
    for (const std::string& line : statistics.lines)
        report.statistics << reportText(line);
    if (!build.failure.empty())
        report.statistics << QStringLiteral("The graph ended early: ") + reportText(build.failure);
    else if (!statistics.failure.empty())
        report.statistics << reportText(statistics.failure);
    for (const std::string& line : build.warnings)
        report.warnings << reportText(line);
    addLeftOut(report, table, build);
    addRecords(report, table);

    report.program = QStringLiteral("Virelon Log Dump " LOGDUMP_VERSION);
    report.madeAt = madeAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return report;
}
