// The report from the window's commands: after a download, through the file dialog, on a printer.
#include "ReportTestSupport.h"
#include "SimRig.h"
#include "app/Commands.h"
#include "report/ReportContent.h"
#include "report/ReportPainter.h"
#include "report/ReportPdf.h"
#include "widgets/main/MainWindow.h"
#include "widgets/report/ReportPrinting.h"
#include "widgets/report/SurveyDetailsDialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace reportfix;

TEST(ReportCommand, WritesTheDownloadWithItsDetailsWhereTheUserChose) {
    SimRig rig;
    ASSERT_EQ(readLog(rig.app).end, ReadLogEnd::Complete);
    rig.app.session().survey.project = QStringLiteral("Harbour access");
    rig.app.session().survey.direction = QStringLiteral("both");
    QTemporaryDir dir;
    const QString path = dir.filePath("survey.pdf");
    struct Case {
        const char* name;
        std::optional<SaveDialogResult> answer;
        bool written;
    } const cases[] = {
        {"cancelled", std::nullopt, false},
        {"chosen", SaveDialogResult{path, 1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.dialogs.events.clear();
        rig.dialogs.saveAnswer = c.answer;
        saveReport(rig.app);
        EXPECT_EQ(rig.dialogs.events, std::vector<std::string>{"save"});
        EXPECT_EQ(rig.dialogs.lastSaveSetup.filters, QStringList{"PDF document (*.pdf)"});
        EXPECT_EQ(rig.dialogs.lastSaveSetup.defaultSuffix, QStringLiteral("pdf"));
        EXPECT_EQ(rig.dialogs.busyDepth, 0);
        EXPECT_EQ(QFile::exists(path), c.written);
    }
    const QString text = pageTexts(path).join(QLatin1Char('\f'));
    for (const char* line :
         {"Project\\s+Harbour access\\n", "Direction\\s+both\\n", "Model\\s+RVM600\\n",
          "Serial line\\s+\\S*\\s*4711", "Records read\\s+25\\n", "Records announced\\s+25\\n",
          "Log\\s+Download complete\\n"})
        EXPECT_TRUE(text.contains(QRegularExpression(line))) << line;
    EXPECT_FALSE(text.contains("Operator"));
    // The line ends of the instrument's replies are no characters on the page.
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
    // Saving the report saves no log: the question about unsaved data still comes.
    EXPECT_FALSE(rig.app.session().dataSaved);

    // The details belong to the log they were given for; the next download starts without.
    ASSERT_EQ(readLog(rig.app).end, ReadLogEnd::Complete);
    EXPECT_TRUE(rig.app.session().survey.project.isEmpty());
    EXPECT_EQ(rig.app.session().logOrigin, "Download complete");
}

TEST(ReportCommand, ThePrinterGetsTheSamePagesAsThePdf) {
    LogTable table;
    Session session;
    fillLog(table, session, "RVM600PK", 300);
    const ReportContent report = reportContent(table, session, defaultRequiredClasses(),
                                               QDateTime(QDate(2026, 3, 12), QTime(9, 0)));
    QTemporaryDir dir;
    const QString printed = dir.filePath("printed.pdf");
    QPrinter printer(QPrinter::HighResolution);
    prepareReportPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printed);
    const int pages = paintReport(report, printer);

    const QString written = dir.filePath("written.pdf");
    writeReportFile(reportPdf(report, reportPageSize(QLocale())), written);
    EXPECT_EQ(pdfPageCount(printed), pages);
    EXPECT_EQ(pdfPageCount(written), pages);
    const QStringList a = pageTexts(printed);
    const QStringList b = pageTexts(written);
    ASSERT_EQ(a.size(), b.size());
    for (int i = 0; i < a.size(); ++i)
        EXPECT_EQ(a[i].simplified(), b[i].simplified()) << "page " << i + 1;
}

TEST(ReportCommand, PaperFollowsTheLocale) {
    struct Case {
        QLocale locale;
        QPageSize::PageSizeId paper;
    } const cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), QPageSize::A4},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), QPageSize::A4},
        {QLocale(QLocale::English, QLocale::UnitedStates), QPageSize::Letter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        EXPECT_EQ(reportPageSize(c.locale).id(), c.paper);
    }
}

TEST(ReportMenu, TheReportCommandsOpenAndCloseWithSaveAs) {
    VirtualClock clock;
    sim::InstrumentSim instrument(sim::Scenario{});
    SimSerialLine line(instrument, clock);
    FakeDialogs dialogs;
    MainWindow window(line, clock, {}, dialogs);
    window.show();
    QCoreApplication::processEvents();

    const QList<QAction*> file = window.menuBar()->actions().front()->menu()->actions();
    QStringList titles;
    for (const QAction* a : file)
        titles << a->text();
    EXPECT_EQ(titles.mid(0, 6), (QStringList{"&Open...", "&Downloads...", "Save As",
                                             "Survey details...", "Report...", "Print..."}));
    for (bool enabled : {false, true, false}) {
        SCOPED_TRACE(enabled);
        window.setSaveAsEnabled(enabled);
        for (QAction* a : {window.saveAsAction(), window.surveyAction(), window.reportAction(),
                           window.printAction()})
            EXPECT_EQ(a->isEnabled(), enabled) << a->text().toStdString();
    }
}

TEST(SurveyDetailsDialog, ShowsAndGivesBackTheTextsAsTyped) {
    SurveyDetails given;
    given.project = QStringLiteral("<b>Ring</b> &amp; road");
    given.road = QStringLiteral("B 27");
    given.direction = QStringLiteral("=SUM(A1)");
    given.operatorName = QStringLiteral("Łukasz");
    given.notes = QStringLiteral("wet\nsecond lane closed");
    SurveyDetailsDialog dialog(given);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Survey details"));
    EXPECT_EQ(dialog.projectEdit()->text(), given.project);
    EXPECT_EQ(dialog.notesEdit()->toPlainText(), given.notes);

    dialog.roadEdit()->setText(QStringLiteral("B 28"));
    const SurveyDetails edited = dialog.details();
    EXPECT_EQ(edited.project, given.project);
    EXPECT_EQ(edited.road, QStringLiteral("B 28"));
    EXPECT_EQ(edited.direction, given.direction);
    EXPECT_EQ(edited.operatorName, given.operatorName);
    EXPECT_EQ(edited.notes, given.notes);
}
