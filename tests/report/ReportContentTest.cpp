// What the report shows, before any layout.
#include "report/ReportContent.h"

#include "ReportTestSupport.h"
#include "graph/GraphBuild.h"
#include "graph/StatisticsReport.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace reportfix;

namespace {

const QDateTime kMadeAt(QDate(2026, 3, 12), QTime(17, 45, 59));

QString field(const std::vector<ReportField>& fields, const QString& label) {
    for (const ReportField& f : fields)
        if (f.first == label)
            return f.second;
    return QStringLiteral("<none>");
}

} // namespace

TEST(ReportContent, DetailsAppearOnlyWhereGivenAndInstrumentLinesAlways) {
    struct Case {
        const char* name;
        SurveyDetails survey;
        int32_t announced;
        std::string origin;
        int records;
        QStringList labels; // of the details
        QString announcedText;
        QString originText;
        QString firstRecord;
    } const cases[] = {
        {"none given",
         {},
         40,
         "Download complete",
         40,
         {},
         "40",
         "Download complete",
         "12.03.2026 08:00:00"},
        {"blank ones left out",
         {"P", " ", "north", "", "line 1\nline 2"},
         40,
         "Download stopped by the user",
         40,
         {"Project", "Direction", "Notes"},
         "40",
         "Download stopped by the user",
         "12.03.2026 08:00:00"},
        {"reply not understood, no origin, no records",
         {},
         -1,
         "",
         0,
         {},
         "reply not understood",
         "-",
         "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogTable table;
        Session session;
        fillLog(table, session, "RVM600", c.records);
        session.survey = c.survey;
        session.logCount = c.announced;
        session.logOrigin = c.origin;
        const ReportContent r = reportContent(table, session, defaultRequiredClasses(), kMadeAt);
        EXPECT_EQ(r.heading, QStringLiteral("Road marking survey report"));
        QStringList labels;
        for (const ReportField& f : r.details)
            labels << f.first;
        EXPECT_EQ(labels, c.labels);
        EXPECT_EQ(field(r.instrument, "Model"), QStringLiteral("RVM600"));
        EXPECT_EQ(field(r.instrument, "Identification"), QStringLiteral("RVM600 V2.10"));
        EXPECT_EQ(field(r.instrument, "Serial line"), QStringLiteral("S/N: 4711"));
        EXPECT_EQ(field(r.instrument, "Records read"), QString::number(c.records));
        EXPECT_EQ(field(r.instrument, "Records announced"), c.announcedText);
        EXPECT_EQ(field(r.instrument, "Log"), c.originText);
        EXPECT_EQ(field(r.instrument, "First record"), c.firstRecord);
        EXPECT_EQ(r.program, QStringLiteral("Virelon Log Dump 1.2"));
        EXPECT_EQ(r.madeAt, QStringLiteral("2026-03-12 17:45"));
    }
}

TEST(ReportContent, VerdictsMarksStatisticsAndLeftOutFollowTheGraphWindow) {
    struct Case {
        const char* model;
        const char* classes;
    } const cases[] = {
        {"RVM600", "R2"},
        {"RVM600P", "R4"},
        {"VX40", "Q3"},
        {"RVM600PK", "R3,Q3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        LogTable table;
        Session session;
        fillLog(table, session, c.model, 200);
        RequiredClasses required = defaultRequiredClasses();
        ASSERT_TRUE(parseRequiredClasses(c.classes, required));
        const ReportContent r = reportContent(table, session, required, kMadeAt);

        // The section rows with the verdict in words and colour.
        const SectionReport sections = sectionReport(table, *session.model, true, required);
        size_t row = 0;
        for (const SeriesSections& series : sections) {
            for (const SectionStats& s : series.rows) {
                ASSERT_LT(row, r.sections.rows.size());
                const QStringList& texts = r.sections.rows[row];
                EXPECT_EQ(texts[1], QString::fromStdString(s.section));
                EXPECT_EQ(texts.back(), s.pass ? "pass" : "fail");
                EXPECT_EQ(r.sections.colors[row].back(),
                          s.pass ? QColor(0, 128, 0) : QColor(200, 0, 0));
                ++row;
            }
        }
        EXPECT_EQ(row, r.sections.rows.size());

        // One graph per series the model has, with its required level.
        const GraphBuild build = buildGraph(table, *session.model, GraphOptions());
        ASSERT_EQ(r.graphs.size(), sections.size());
        for (size_t i = 0; i < sections.size(); ++i) {
            EXPECT_EQ(r.graphs[i].values, build.of(sections[i].series).values);
            EXPECT_TRUE(r.graphs[i].hasLevel);
        }

        // Statistics and warnings as the graph window writes them.
        QStringList statistics;
        for (const std::string& line : statisticsReport(build, QLocale()).lines)
            statistics << QString::fromStdString(line);
        EXPECT_EQ(r.statistics, statistics);
        EXPECT_EQ(r.warnings.size(), static_cast<int>(build.warnings.size()));

        // The records left out, one line per series, as many as the whole log's row counts.
        ASSERT_EQ(r.leftOut.size(), static_cast<int>(sections.size()));
        for (size_t i = 0; i < sections.size(); ++i) {
            int64_t listed = 0;
            const QString ranges = r.leftOut[static_cast<int>(i)].section(": ", 1);
            for (const QString& part : ranges.split(", ", Qt::SkipEmptyParts)) {
                const QStringList ends = part.split('-');
                listed += ends.size() == 2 ? ends[1].toInt() - ends[0].toInt() + 1 : 1;
            }
            if (ranges == "none")
                listed = 0;
            EXPECT_EQ(listed, sections[i].rows.back().leftOut) << ranges.toStdString();
        }

        // The appendix: every record, its mark in words.
        ASSERT_EQ(r.records.rows.size(), 200u);
        EXPECT_EQ(r.records.titles.back(), QStringLiteral("Mark"));
        for (int k = 1; k <= 200; ++k) {
            CellMark worst = CellMark::Normal;
            for (int col = 0; col < table.cols(); ++col) {
                const CellMark m = table.mark(col, k);
                if (m == CellMark::Red || (m == CellMark::Orange && worst == CellMark::Normal))
                    worst = m;
            }
            EXPECT_EQ(r.records.rows[static_cast<size_t>(k - 1)].back(),
                      worst == CellMark::Red      ? "error"
                      : worst == CellMark::Orange ? "warning"
                                                  : "")
                << "record " << k;
        }
    }
}

TEST(ReportContent, AGraphThatEndedEarlyIsSaidInTheStatistics) {
    LogTable table;
    Session session;
    fillLog(table, session, "RVM600", 20);
    table.setCell(2, 5, "99999999999"); // no 32-bit whole number
    const GraphBuild build = buildGraph(table, *session.model, GraphOptions());
    ASSERT_FALSE(build.failure.empty());
    const ReportContent r = reportContent(table, session, defaultRequiredClasses(), kMadeAt);
    EXPECT_EQ(r.statistics,
              QStringList{"The graph ended early: " + QString::fromStdString(build.failure)});
}

TEST(ReportContent, NumbersAsRangesAndInstrumentTextsWithoutControls) {
    struct Range {
        std::vector<int64_t> numbers;
        QString text;
    } const ranges[] = {
        {{}, ""},
        {{7}, "7"},
        {{3, 7, 8, 9, 12}, "3, 7-9, 12"},
        {{1, 2}, "1-2"},
        {{1, 3, 5}, "1, 3, 5"},
    };
    for (const Range& c : ranges)
        EXPECT_EQ(numberRanges(c.numbers), c.text) << c.text.toStdString();

    struct Text {
        std::string bytes;
        QString shown;
    } const texts[] = {
        {"plain", "plain"},
        {"\x1b]52;c;AAAA\x07", QString::fromUtf8("\uFFFD]52;c;AAAA\uFFFD")},
        {"a\r\nb\tc", QString::fromUtf8("a\uFFFD\uFFFDb\uFFFDc")},
        {"\x80 \xE9t\xE9", QString::fromUtf8("€ été")},
    };
    for (const Text& c : texts)
        EXPECT_EQ(reportText(c.bytes), c.shown) << c.bytes;

    // Replies over lines keep their breaks, without the last.
    const Text replies[] = {
        {"Virelon VX40 Qd meter\r\n", "Virelon VX40 Qd meter"},
        {"FV 2.10\r\nVirelon RVM600\n\r", "FV 2.10\nVirelon RVM600"},
        {"S/N: 4711\x1b[0m", QString::fromUtf8("S/N: 4711\uFFFD[0m")},
    };
    for (const Text& c : replies)
        EXPECT_EQ(reportLines(c.bytes), c.shown) << c.bytes;
}
