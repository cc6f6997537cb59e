#include "app/Downloads.h"

#include "app/App.h"
#include "app/OpenLog.h"
#include "archive/Archive.h"
#include "archive/ArchiveError.h"
#include "archive/ArchiveWriter.h"
#include "export/LogFileReader.h"
#include "export/SaveAs.h"

#include <QDateTime>
#include <QFileInfo>

void recordSave(App& app, const QString& path) {
    if (!app.archive() || !app.archived())
        return;
    const bool textLog = tableFormatOf(path) == TableFormat::TextLog;
    const ArchivedSave save{QFileInfo(path).absoluteFilePath(),
                            textLog ? QStringLiteral("text log") : QStringLiteral("workbook"),
                            isoLocalTime(QDateTime::currentDateTime())};
    app.archive()->post([entry = app.archived(), save](Archive& archive) {
        if (entry->id)
            archive.addSave(entry->id, save);
    });
}

void showArchivedDownload(App& app, const ArchivedDownload& download) {
    SavedLog log;
    log.title = kSavedLogTitle + download.summary.model + " - " + download.serialLine;
    log.rows = download.rows;
    // The report tells how the download ended and when it was read.
    showSavedLog(app, log,
                 "Download " + download.summary.ended.toStdString() + ", read on " +
                     downloadTime(download.summary).toStdString());
    // The memo as the download left it, the notes of its records among them.
    app.view().clearMessages();
    for (const std::string& line : download.memo)
        app.view().addMessage(line);
    app.session().identLine = download.identLine;
    app.session().logCount = download.summary.announced;
    app.session().dataSaved = !download.saves.empty();
    auto entry = std::make_shared<ArchiveEntry>();
    entry->id = download.summary.id;
    app.setArchived(entry);
}

std::string downloadListHeader() {
    return "id\tstarted\tport\tmodel\tserial\trecords\tannounced\tended\tsaved\n";
}

std::string downloadListLine(const DownloadSummary& d) {
    return std::to_string(d.id) + '\t' + d.started.toStdString() + '\t' +
           d.port.toLocal8Bit().toStdString() + '\t' + d.model + '\t' + d.serialNo + '\t' +
           std::to_string(d.records) + '\t' + std::to_string(d.announced) + '\t' +
           d.ended.toStdString() + '\t' + d.savedPath.toLocal8Bit().toStdString() + '\n';
}

std::string teamDownloadListHeader() {
    std::string header = downloadListHeader();
    header.insert(header.size() - 1, "\tcomputer\tuser");
    return header;
}

std::string teamDownloadListLine(const TeamDownloadSummary& line) {
    std::string text = downloadListLine(line.download);
    text.insert(text.size() - 1, '\t' + line.computer.toLocal8Bit().toStdString() + '\t' +
                                     line.user.toLocal8Bit().toStdString());
    return text;
}

QString downloadTime(const DownloadSummary& download) {
    const QDateTime started = QDateTime::fromString(download.started, Qt::ISODate);
    if (!started.isValid())
        return download.started;
    return started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::string unsavedDownloadQuestion(const DownloadSummary& download) {
    return "The log read on " + downloadTime(download).toStdString() + " (" +
           std::to_string(download.records) + " records) was not saved. Open it now?";
}

std::optional<DownloadSummary> offerUnsavedDownload(App& app, const QString& archivePath) {
    // No archive yet: nothing was lost, and none is made just to look.
    if (!QFileInfo::exists(archivePath))
        return std::nullopt;
    try {
        Archive archive(archivePath, QStringLiteral("logdump-archive-offer"));
        const std::optional<DownloadSummary> lost = archive.takeUnsavedInterrupted();
        if (!lost || !app.dialogs().confirmYesNo(unsavedDownloadQuestion(*lost)))
            return std::nullopt;
        const std::optional<ArchivedDownload> download = archive.load(lost->id);
        if (!download)
            return std::nullopt;
        showArchivedDownload(app, *download);
        return lost;
    } catch (const ArchiveError& e) {
        app.view().addMessage(e.what());
        return std::nullopt;
    }
}

bool openArchivedDownload(App& app, Archive& archive, qint64 id) {
    if (!app.session().dataSaved && !app.dialogs().confirmYesNo("Data not saved - continue?"))
        return false;
    const std::optional<ArchivedDownload> download = archive.load(id);
    if (!download)
        return false;
    showArchivedDownload(app, *download);
    return true;
}
