#pragma once

class IDialogs;
class QPrinter;
class QWidget;
struct ReportContent;

// Sets a printer up for the report: the whole sheet is the report's to lay out, A4 or Letter by
// the user's locale until the print dialog changes it.
void prepareReportPrinter(QPrinter& printer);

// "Print...": the report in a preview, printed from there through the system's print dialog.
// The preview paints from its own event loop, so each painting runs under the error guard.
void previewAndPrintReport(const ReportContent& report, IDialogs& dialogs, QWidget* parent);
