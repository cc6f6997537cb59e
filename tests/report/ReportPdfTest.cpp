// The report as PDF, read back by poppler's tools, which share no code with the writer.
#include "report/ReportPdf.h"

#include "../export/ExportFixtures.h"
#include "ReportTestSupport.h"
#include "report/ReportContent.h"
#include "text/AppError.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace reportfix;

namespace {

const QDateTime kMadeAt(QDate(2026, 3, 12), QTime(17, 45));

struct Log {
    LogTable table;
    Session session;
};

// Writes the report of the log to a file in dir; its path.
QString writePdf(const Log& log, const QTemporaryDir& dir,
                 const RequiredClasses& required = defaultRequiredClasses()) {
    const QString path = dir.filePath("report.pdf");
    writeReportFile(reportPdf(reportContent(log.table, log.session, required, kMadeAt),
                              QPageSize(QPageSize::A4)),
                    path);
    return path;
}

// The text without the blanks and line ends a wrap puts in.
QString unwrapped(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

} // namespace

TEST(ReportPdf, HoldsTheHeadingDetailsInstrumentAndEverySectionFigure) {
    struct Case {
        const char* model;
        int records;
    } const cases[] = {
        {"RVM600", 120},   {"RVM600P", 120}, {"VX40", 120},
        {"RVM600PK", 120}, {"RVM600PK", 1},  {"RVM600", 2000},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " with " + std::to_string(c.records) + " records");
        Log log;
        fillLog(log.table, log.session, c.model, c.records);
        log.session.survey = {"A7 resurfacing", "A7 km 12.0-14.5", "northbound", "J. Doe",
                              "dry, 14 C\nsecond lane closed"};
        const QString pdf = writePdf(log, dir);
        const QStringList pages = pageTexts(pdf);
        const QString text = pages.join(QLatin1Char('\f'));

        EXPECT_TRUE(text.contains("Road marking survey report"));
        for (const char* line :
             {"Project\\s+A7 resurfacing", "Road\\s+A7 km 12.0-14.5", "Direction\\s+northbound",
              "Operator\\s+J. Doe", "Notes\\s+dry, 14 C\\s+second lane closed"})
            EXPECT_TRUE(text.contains(QRegularExpression(line))) << line;
        const QString model = QString::fromLatin1(c.model);
        for (const QString& line :
             {"Model\\s+" + model + "\\n", "Identification\\s+" + model + " V2.10",
              QStringLiteral("Serial line\\s+S/N: 4711"),
              QStringLiteral("First record\\s+12.03.2026 08:00:00"),
              QStringLiteral("Records read\\s+%1\\n").arg(c.records),
              QStringLiteral("Records announced\\s+%1\\n").arg(c.records),
              QStringLiteral("Log\\s+Download complete")})
            EXPECT_TRUE(text.contains(QRegularExpression(line))) << line.toStdString();

        const SectionReport sections =
            sectionReport(log.table, *log.session.model, true, defaultRequiredClasses());
        for (const QString& row : sectionRowPatterns(sections))
            EXPECT_TRUE(text.contains(QRegularExpression(row))) << row.toStdString();

        // Every record in the appendix, on a line of its own, its mark in words at the end.
        std::map<int, QString> recordLines;
        const QRegularExpression record(QStringLiteral("^\\s*(\\d+)\\s+12\\.03\\.2026 "));
        for (const QString& line : text.split(QRegularExpression("[\\n\\f]"))) {
            const QRegularExpressionMatch m = record.match(line);
            if (m.hasMatch())
                recordLines[m.captured(1).toInt()] = line.trimmed();
        }
        EXPECT_EQ(recordLines.size(), static_cast<size_t>(c.records));
        for (int row = 1; row <= c.records; ++row) {
            bool red = false;
            bool orange = false;
            for (int col = 0; col < log.table.cols(); ++col) {
                red = red || log.table.mark(col, row) == CellMark::Red;
                orange = orange || log.table.mark(col, row) == CellMark::Orange;
            }
            const QString& line = recordLines[row];
            EXPECT_EQ(line.endsWith(QLatin1String(" error")), red) << line.toStdString();
            EXPECT_EQ(line.endsWith(QLatin1String(" warning")), orange && !red)
                << line.toStdString();
        }

        // The page count agrees with the footers, and each appendix page starts with the
        // table's title row.
        const int count = pdfPageCount(pdf);
        ASSERT_EQ(pages.size(), count);
        bool inAppendix = false;
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE("page " + std::to_string(i + 1));
            EXPECT_TRUE(pages[i].contains(QStringLiteral("Page %1 of %2").arg(i + 1).arg(count)));
            EXPECT_TRUE(pages[i].contains("Virelon Log Dump 1.2"));
            EXPECT_TRUE(pages[i].contains("Report made 2026-03-12 17:45"));
            inAppendix = inAppendix || pages[i].contains("Appendix: the records");
            if (inAppendix) {
                EXPECT_TRUE(pages[i].contains(QRegularExpression("#\\s+Date / Time\\s+.*Mark")));
            }
        }
        EXPECT_TRUE(inAppendix);
        if (c.records == 2000) {
            EXPECT_GT(count, 20);
        }
        EXPECT_EQ(fontsNotEmbedded(pdf), QStringList());
    }
}

TEST(ReportPdf, InstrumentAndUserTextsReachThePageAsPlainText) {
    struct Case {
        const char* name;
        std::string seqId; // Windows-1252 bytes from the instrument
        QString shown;     // as the page shows it
    } const cases[] = {
        {"markup", "<b>x</b>&amp;", "<b>x</b>&amp;"},
        {"formula", "=SUM(A1:A9)", "=SUM(A1:A9)"},
        {"non-ASCII",
         "Stra\xDF"
         "e \xC4u\xDF"
         "ere \x80",
         QString::fromUtf8("Straße Äußere €")},
        {"control bytes", "A\x1b[2J\tB", QString::fromUtf8("A\uFFFD[2J\uFFFDB")},
        {"long", std::string(300, 'K') + " end", QString(300, QLatin1Char('K')) + " end"},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Log log;
        fillLog(log.table, log.session, "RVM600PK", 30,
                [&](int i) { return i < 15 ? c.seqId : std::string("B"); });
        log.session.survey.project = QStringLiteral("<i>Bridge</i> & =1+1");
        const QString pdf = writePdf(log, dir);
        const QString text = pageTexts(pdf).join(QLatin1Char('\f'));
        // As the section of each series and in each of its 15 records.
        EXPECT_EQ(unwrapped(drawnText(pdf)).count(unwrapped(c.shown)), 2 + 15);
        EXPECT_TRUE(text.contains(QStringLiteral("<i>Bridge</i> & =1+1")));
        // The figures of each section stay on one line however its name wraps.
        const SectionReport sections =
            sectionReport(log.table, *log.session.model, true, defaultRequiredClasses());
        for (const QString& row : sectionRowPatterns(sections, 2))
            EXPECT_TRUE(text.contains(QRegularExpression(row))) << row.toStdString();
        EXPECT_EQ(fontsNotEmbedded(pdf), QStringList());
    }
}

TEST(ReportFile, AFailedWriteIsToldAndTheEarlierFileKept) {
    struct Case {
        const char* name;
        int exportfix::FailingFiles::*call;
        int error;
        std::string message;
    } const cases[] = {
        {"open", &exportfix::FailingFiles::replaceError, 13, "Error opening file: 13"},
        {"write", &exportfix::FailingFiles::writeError, 28, "Error writing file: 28"},
        {"sync and move", &exportfix::FailingFiles::flushError, 5, "Error writing file: 5"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exportfix::writeFile(path, "earlier report");
        exportfix::FailingFiles files;
        files.*c.call = c.error;
        try {
            writeReportFile("%PDF-1.4 new", path, files);
            ADD_FAILURE() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_EQ(exportfix::readFile(path), "earlier report");
        EXPECT_EQ(exportfix::filesIn(dir.path()), QStringList{"report.pdf"});
    }
    writeReportFile("%PDF-1.4 new", path);
    EXPECT_EQ(exportfix::readFile(path), "%PDF-1.4 new");
}

TEST(ReportPdf, FirstPageRenderedAsAnImage) {
    Log log;
    fillLog(log.table, log.session, "RVM600PK", 150);
    log.session.survey = {"A7 resurfacing", "A7 km 12.0-14.5", "northbound", "J. Doe", "dry, 14 C"};
    QTemporaryDir dir;
    RequiredClasses required = defaultRequiredClasses();
    ASSERT_TRUE(parseRequiredClasses("R3,Q3", required));
    const QString pdf = writePdf(log, dir, required);
    QDir().mkpath(QStringLiteral("screenshots"));
    const QString stem = QDir::current().filePath(QStringLiteral("screenshots/report-page"));
    ASSERT_NE(runTool(QStringLiteral("pdftoppm"),
                      {"-r", "80", "-png", "-singlefile", "-f", "1", "-l", "1", pdf, stem}),
              QStringLiteral("<failed>"));
    EXPECT_TRUE(QFileInfo(stem + ".png").size() > 10000) << stem.toStdString();
}
