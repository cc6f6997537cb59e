#pragma once

class QPrinter;
class QWidget;
struct ReportContent;

// Sets a printer up for the report: the whole sheet is the report's to lay out, A4 or Letter by
// the user's locale until the print dialog changes it.
void prepareReportPrinter(QPrinter& printer);

// "Print...": the report in a preview, printed from there through the system's print dialog.
void previewAndPrintReport(const ReportContent& report, QWidget* parent);
