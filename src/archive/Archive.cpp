#include "archive/Archive.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveSchema.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>
#include <algorithm>

namespace {

// Long enough for the other program's batch to commit, short enough that a lock held for good
// (another writer that hangs) is told soon.
constexpr int kBusyTimeoutMs = 2000;

DownloadSummary summaryOf(const QSqlQuery& query) {
    DownloadSummary summary;
    summary.id = query.value(0).toLongLong();
    summary.started = query.value(1).toString();
    summary.port = query.value(2).toString();
    summary.model = query.value(3).toString().toStdString();
    summary.serialNo = bytesOf(query.value(4));
    summary.records = query.value(5).toInt();
    summary.announced = query.value(6).toInt();
    summary.ended = query.value(7).toString();
    summary.savedPath = query.value(8).toString();
    return summary;
}

constexpr const char* kSummaryColumns =
    "SELECT d.id, d.started, d.port, d.model, d.serial_no, d.records, d.announced, d.ended,"
    " (SELECT s.path FROM saves s WHERE s.download_id = d.id ORDER BY s.id DESC LIMIT 1)"
    " FROM downloads d ";

} // namespace

QString Archive::defaultPath() {
    const QByteArray given = qgetenv("LOGDUMP_ARCHIVE");
    if (!given.isEmpty())
        return QFile::decodeName(given);
    // Named here rather than from the application's name: the window and the command line must
    // find the same file (the user's local application data, as the settings' folder names it).
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Virelon/Log Dump/archive.sqlite");
}

Archive::Archive(const QString& path, const QString& connectionName)
    : m_path(path), m_connection(connectionName) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        throw ArchiveError("Archive: Qt's SQLite driver is not installed");
    const QFileInfo info(path);
    if (!info.exists()) {
        // Created here, empty, so that it is the owner's alone before any measurement is in it.
        QDir().mkpath(info.absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        else if (!QFileInfo::exists(path)) // else the other program made it just now
            fail(QStringLiteral("cannot create"), file.errorString());
    } else if (!info.isFile()) {
        fail(QStringLiteral("cannot open"), QStringLiteral("not a regular file"));
    }
    try {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
            if (!db.open())
                fail(QStringLiteral("cannot open"), db.lastError().databaseText());
        }
        QSqlQuery pragma = prepared("PRAGMA foreign_keys = ON");
        exec(pragma);
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        const int version = ArchiveSchema::versionOf(db);
        // A newer archive is refused before the journal mode below could change anything in it.
        if (version > ArchiveSchema::kVersion)
            ArchiveSchema::update(db, path);
        // Programs that start on a new archive together find it held while one of them sets it
        // up, at moments the busy wait does not cover: they try again for as long.
        QDeadlineTimer patience(kBusyTimeoutMs);
        for (;;) {
            try {
                setUp(db);
                break;
            } catch (const ArchiveBusy&) {
                if (patience.hasExpired())
                    throw;
                QThread::msleep(20);
            }
        }
    } catch (...) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
        throw;
    }
}

void Archive::setUp(QSqlDatabase& db) {
    // The window and the command line write at the same time; readers never wait for them.
    QSqlQuery wal(db);
    if (!wal.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !wal.next() ||
        wal.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        const QSqlError error = wal.lastError();
        const QString why = error.databaseText().isEmpty() ? QStringLiteral("no write-ahead log")
                                                           : error.databaseText();
        if (archiveBusy(error))
            throw ArchiveBusy(
                ("Archive: cannot open " + QDir::toNativeSeparators(m_path) + ": " + why)
                    .toLocal8Bit()
                    .toStdString());
        fail(QStringLiteral("cannot open"), why);
    }
    wal.finish();
    ArchiveSchema::update(db, m_path);
}

Archive::~Archive() {
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

void Archive::fail(const QString& what, const QString& why) {
    throw ArchiveError(
        ("Archive: " + what + QLatin1Char(' ') + QDir::toNativeSeparators(m_path) + ": " + why)
            .toLocal8Bit()
            .toStdString());
}

QSqlQuery Archive::prepared(const char* sql) {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.prepare(QString::fromLatin1(sql)))
        fail(QStringLiteral("cannot use"), query.lastError().databaseText());
    return query;
}

void Archive::exec(QSqlQuery& query) {
    if (!query.exec())
        fail(QStringLiteral("cannot write to"), query.lastError().databaseText());
}

void Archive::begin() {
    // A write lock from the start: a transaction that begins reading cannot wait its turn.
    QSqlQuery query = prepared("BEGIN IMMEDIATE");
    exec(query);
}

void Archive::commit() {
    QSqlQuery query = prepared("COMMIT");
    exec(query);
}

void Archive::rollback() {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.exec(QStringLiteral("ROLLBACK")); // nothing to do when none is open
}

qint64 Archive::addDownload(const DownloadStart& start) {
    QSqlQuery query =
        prepared("INSERT INTO downloads (started, started_ms, port, model, ident,"
                 " serial_line, serial_no, announced) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    query.addBindValue(start.started);
    query.addBindValue(start.startedMs);
    query.addBindValue(start.port);
    query.addBindValue(QString::fromStdString(start.model));
    query.addBindValue(storedBytes(start.identLine));
    query.addBindValue(storedBytes(start.serialLine));
    query.addBindValue(storedBytes(serialNoOf(start.serialLine)));
    query.addBindValue(start.announced);
    exec(query);
    return query.lastInsertId().toLongLong();
}

void Archive::setSerialLine(qint64 id, const std::string& serialLine) {
    QSqlQuery query = prepared("UPDATE downloads SET serial_line = ?, serial_no = ? WHERE id = ?");
    query.addBindValue(storedBytes(serialLine));
    query.addBindValue(storedBytes(serialNoOf(serialLine)));
    query.addBindValue(id);
    exec(query);
}

void Archive::putRows(qint64 id, int firstRow, const std::vector<std::vector<std::string>>& rows) {
    QSqlQuery query =
        prepared("INSERT OR REPLACE INTO table_rows (download_id, row, cells) VALUES (?, ?, ?)");
    for (size_t i = 0; i < rows.size(); ++i) {
        query.bindValue(0, id);
        query.bindValue(1, firstRow + static_cast<int>(i));
        query.bindValue(2, storedBytes(joinCells(rows[i])));
        exec(query);
    }
}

void Archive::setCounts(qint64 id, int records, int tableRows) {
    QSqlQuery query = prepared("UPDATE downloads SET records = ?, table_rows = ? WHERE id = ?");
    query.addBindValue(records);
    query.addBindValue(tableRows);
    query.addBindValue(id);
    exec(query);
}

void Archive::addMemoLines(qint64 id, int firstLine, const std::vector<std::string>& lines) {
    QSqlQuery query =
        prepared("INSERT OR REPLACE INTO memo_lines (download_id, line, text) VALUES (?, ?, ?)");
    for (size_t i = 0; i < lines.size(); ++i) {
        query.bindValue(0, id);
        query.bindValue(1, firstLine + static_cast<int>(i));
        query.bindValue(2, storedBytes(lines[i]));
        exec(query);
    }
}

void Archive::addStreamBytes(qint64 id, int chunk, const std::string& bytes) {
    QSqlQuery query = prepared(
        "INSERT OR REPLACE INTO stream_chunks (download_id, chunk, bytes) VALUES (?, ?, ?)");
    query.addBindValue(id);
    query.addBindValue(chunk);
    query.addBindValue(storedBytes(bytes));
    exec(query);
}

void Archive::endDownload(qint64 id, DownloadEnding ending) {
    QSqlQuery query = prepared("UPDATE downloads SET ended = ? WHERE id = ?");
    query.addBindValue(QString::fromLatin1(endingName(ending)));
    query.addBindValue(id);
    exec(query);
}

void Archive::addSave(qint64 id, const ArchivedSave& save) {
    // A download deleted in the meantime (from the Downloads window, or by the other program)
    // takes no saves: there is nothing to keep them with.
    QSqlQuery query = prepared("INSERT INTO saves (download_id, path, format, saved_at)"
                               " SELECT id, ?, ?, ? FROM downloads WHERE id = ?");
    query.addBindValue(save.path);
    query.addBindValue(save.format);
    query.addBindValue(save.savedAt);
    query.addBindValue(id);
    exec(query);
}

std::vector<DownloadSummary> Archive::list(const std::string& serialFilter) {
    QSqlQuery query =
        prepared((std::string(kSummaryColumns) +
                  "WHERE instr(d.serial_no, ?) > 0 ORDER BY d.started_ms DESC, d.id DESC")
                     .c_str());
    query.setForwardOnly(true);
    query.addBindValue(storedBytes(serialFilter));
    if (!query.exec())
        fail(QStringLiteral("cannot read"), query.lastError().databaseText());
    std::vector<DownloadSummary> downloads;
    while (query.next())
        downloads.push_back(summaryOf(query));
    return downloads;
}

std::optional<ArchivedDownload> Archive::load(qint64 id) {
    const auto read = [this](QSqlQuery& query) {
        query.setForwardOnly(true);
        if (!query.exec())
            fail(QStringLiteral("cannot read"), query.lastError().databaseText());
    };
    ArchivedDownload download;
    {
        QSqlQuery query = prepared((std::string(kSummaryColumns) + "WHERE d.id = ?").c_str());
        query.addBindValue(id);
        read(query);
        if (!query.next())
            return std::nullopt;
        download.summary = summaryOf(query);
    }
    {
        QSqlQuery query =
            prepared("SELECT ident, serial_line, table_rows FROM downloads WHERE id = ?");
        query.addBindValue(id);
        read(query);
        if (!query.next())
            return std::nullopt;
        download.identLine = bytesOf(query.value(0));
        download.serialLine = bytesOf(query.value(1));
        download.tableRows = std::max(2, query.value(2).toInt());
    }
    download.rows.resize(static_cast<size_t>(download.tableRows));
    {
        QSqlQuery query =
            prepared("SELECT row, cells FROM table_rows WHERE download_id = ? ORDER BY row");
        query.addBindValue(id);
        read(query);
        while (query.next())
            putStoredRow(download, query.value(0).toInt(), bytesOf(query.value(1)));
    }
    {
        QSqlQuery query =
            prepared("SELECT text FROM memo_lines WHERE download_id = ? ORDER BY line");
        query.addBindValue(id);
        read(query);
        while (query.next())
            download.memo.push_back(bytesOf(query.value(0)));
    }
    {
        QSqlQuery query =
            prepared("SELECT bytes FROM stream_chunks WHERE download_id = ? ORDER BY chunk");
        query.addBindValue(id);
        read(query);
        while (query.next())
            download.stream += bytesOf(query.value(0));
    }
    {
        QSqlQuery query =
            prepared("SELECT path, format, saved_at FROM saves WHERE download_id = ? ORDER BY id");
        query.addBindValue(id);
        read(query);
        while (query.next())
            download.saves.push_back(
                {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    }
    return download;
}

bool Archive::remove(qint64 id) {
    QSqlQuery query = prepared("DELETE FROM downloads WHERE id = ?");
    query.addBindValue(id);
    exec(query);
    return query.numRowsAffected() > 0;
}

std::optional<DownloadSummary> Archive::takeUnsavedInterrupted() {
    std::optional<DownloadSummary> found;
    {
        QSqlQuery query =
            prepared((std::string(kSummaryColumns) +
                      "WHERE d.ended = 'interrupted' AND d.offered = 0"
                      " AND NOT EXISTS (SELECT 1 FROM saves s WHERE s.download_id = d.id)"
                      " ORDER BY d.started_ms DESC, d.id DESC LIMIT 1")
                         .c_str());
        query.setForwardOnly(true);
        if (!query.exec())
            fail(QStringLiteral("cannot read"), query.lastError().databaseText());
        if (query.next())
            found = summaryOf(query);
    }
    if (found) {
        QSqlQuery mark = prepared("UPDATE downloads SET offered = 1 WHERE id = ?");
        mark.addBindValue(found->id);
        exec(mark);
    }
    return found;
}

std::vector<qint64> Archive::waitingForTeam(qint64 inProgress) {
    // Every download has ended or was left interrupted: all but the one being written now. One
    // sent as interrupted that has ended since was still being written by the other program
    // then: its whole content goes out too.
    QSqlQuery query =
        prepared("SELECT d.id FROM downloads d WHERE d.id <> ?"
                 " AND NOT EXISTS (SELECT 1 FROM team_sent t WHERE t.download_id = d.id"
                 " AND (t.ending = d.ended OR t.ending <> 'interrupted'))"
                 " ORDER BY d.started_ms, d.id");
    query.setForwardOnly(true);
    query.addBindValue(inProgress);
    if (!query.exec())
        fail(QStringLiteral("cannot read"), query.lastError().databaseText());
    std::vector<qint64> ids;
    while (query.next())
        ids.push_back(query.value(0).toLongLong());
    return ids;
}

void Archive::markSentToTeam(qint64 id, const QString& contentHash, const QString& ending) {
    // A download deleted in the meantime needs no mark.
    QSqlQuery query =
        prepared("INSERT OR REPLACE INTO team_sent (download_id, content_hash, ending, sent_at)"
                 " SELECT id, ?, ?, ? FROM downloads WHERE id = ?");
    query.addBindValue(contentHash);
    query.addBindValue(ending);
    query.addBindValue(isoLocalTime(QDateTime::currentDateTime()));
    query.addBindValue(id);
    exec(query);
}
