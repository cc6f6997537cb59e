#include "widgets/report/ReportPrinting.h"

#include "app/HandlerGuard.h"
#include "report/ReportContent.h"
#include "report/ReportPainter.h"

#include <QLocale>
#include <QPrintPreviewDialog>
#include <QPrinter>

void prepareReportPrinter(QPrinter& printer) {
    printer.setFullPage(true);
    printer.setPageSize(reportPageSize(QLocale()));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(QStringLiteral("Road marking survey report"));
}

void previewAndPrintReport(const ReportContent& report, IDialogs& dialogs, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    prepareReportPrinter(printer);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("Print report"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&report, &dialogs](QPrinter* target) {
                         runGuarded(dialogs, [&] { paintReport(report, *target); });
                     });
    preview.exec();
}
