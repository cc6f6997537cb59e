#pragma once

#include <QPageSize>

class QLocale;
class QPagedPaintDevice;
struct ReportContent;

// Paints the report on a paged device, a PDF writer or a printer alike: the one layout of both,
// measured in millimetres from the paper's corner (the device must paint the full page). Every
// page gets the footer with the program, the time the report was made and "Page N of M".
// Returns the number of pages.
int paintReport(const ReportContent& report, QPagedPaintDevice& device);

// A4, or Letter where the locale measures in the US system.
QPageSize reportPageSize(const QLocale& locale);
