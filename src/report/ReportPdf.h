#pragma once

#include "export/FileLayer.h"

#include <QByteArray>
#include <QPageSize>
#include <QString>

struct ReportContent;

// The report as a PDF document, made in memory so that nothing reaches the disk before it is
// whole.
QByteArray reportPdf(const ReportContent& report, const QPageSize& pageSize);

// Writes the document through the file layer in place of the file at path; the earlier file
// stays until the new one is whole on the disk. Throws OpenFileError, or AppError with
// "Error writing file: " and the error number.
void writeReportFile(const QByteArray& pdf, const QString& path,
                     IFileLayer& files = systemFileLayer());
