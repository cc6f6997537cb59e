#include "report/ReportPdf.h"

#include "report/ReportContent.h"
#include "report/ReportPainter.h"
#include "text/AppError.h"

#include <QBuffer>
#include <QPdfWriter>

QByteArray reportPdf(const ReportContent& report, const QPageSize& pageSize) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(pageSize);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(report.heading);
        writer.setCreator(report.program);
        paintReport(report, writer);
    } // the writer puts its last bytes into the buffer as it goes
    return buffer.data();
}

void writeReportFile(const QByteArray& pdf, const QString& path, IFileLayer& files) {
    int openError = 0;
    const std::unique_ptr<IReplacingFile> file = files.openForReplace(path, openError);
    if (!file)
        throw OpenFileError(openError);
    int e = file->write(pdf.constData(), static_cast<size_t>(pdf.size()));
    if (e == 0)
        e = file->commit();
    if (e != 0)
        throw AppError("Error writing file: " + std::to_string(e));
}
