#pragma once

#include "archive/ArchivedDownload.h"

#include <QString>
#include <optional>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

// What the program asks of its archive of downloads, on one connection of the calling thread.
// Every statement of the archive is in Archive.cpp. Failures throw ArchiveError with the text the
// user is told ("Archive: ...").
class Archive {
public:
    // Opens the archive at path on a connection of its own name (one per thread), creating the
    // file (readable by its owner only) and its folder when missing and bringing its schema up
    // to date. An existing file is never replaced: one that is damaged or of a newer schema is
    // refused as it is.
    Archive(const QString& path, const QString& connectionName);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // The archive of the user: LOGDUMP_ARCHIVE when set, else archive.sqlite in the user's
    // application data folder.
    static QString defaultPath();

    const QString& path() const { return m_path; }

    void begin();
    void commit();
    void rollback();

    // A new download, "interrupted" until it ends; its id.
    qint64 addDownload(const DownloadStart& start);
    void setSerialLine(qint64 id, const std::string& serialLine);
    // The rows from the first given on; cells of a row as the table holds them.
    void putRows(qint64 id, int firstRow, const std::vector<std::vector<std::string>>& rows);
    void setCounts(qint64 id, int records, int tableRows);
    void addMemoLines(qint64 id, int firstLine, const std::vector<std::string>& lines);
    void addStreamBytes(qint64 id, int chunk, const std::string& bytes);
    void endDownload(qint64 id, DownloadEnding ending);
    void addSave(qint64 id, const ArchivedSave& save);

    // The downloads, newest first; with a serial filter those whose serial number holds it.
    std::vector<DownloadSummary> list(const std::string& serialFilter = std::string());
    std::optional<ArchivedDownload> load(qint64 id);
    // Deletes the download with everything kept of it; false when there is none of that id.
    bool remove(qint64 id);
    // The newest interrupted download never saved nor offered before, marked offered.
    std::optional<DownloadSummary> takeUnsavedInterrupted();

    // The downloads not yet sent to a team archive, oldest first, except `inProgress` (0: none).
    std::vector<qint64> waitingForTeam(qint64 inProgress = 0);
    // Remembers that the download is in a team archive under this content hash, as it was when
    // it had this ending.
    void markSentToTeam(qint64 id, const QString& contentHash, const QString& ending);

private:
    // The journal mode and the schema.
    void setUp(QSqlDatabase& db);
    QSqlQuery prepared(const char* sql);
    void exec(QSqlQuery& query);
    [[noreturn]] void fail(const QString& what, const QString& why);

    QString m_path;
    QString m_connection;
};
