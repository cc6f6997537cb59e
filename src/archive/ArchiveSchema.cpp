#include "archive/ArchiveSchema.h"

#include "archive/ArchiveError.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

void run(QSqlDatabase& db, const char* sql) {
    QSqlQuery query(db);
    if (!query.exec(QString::fromLatin1(sql)))
        throw ArchiveError(query.lastError().databaseText().toStdString());
}

} // namespace

int ArchiveSchema::versionOf(QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return -1;
    return query.value(0).toInt();
}

void ArchiveSchema::update(QSqlDatabase& db, const QString& path) {
    const std::string name = path.toLocal8Bit().toStdString();
    // A write lock first: two programs starting on a new archive must not both create it.
    QSqlQuery lock(db);
    if (!lock.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        const std::string message =
            "Archive: cannot open " + name + ": " + lock.lastError().databaseText().toStdString();
        if (archiveBusy(lock.lastError()))
            throw ArchiveBusy(message);
        throw ArchiveError(message);
    }
    const int version = versionOf(db);
    try {
        if (version < 0)
            throw ArchiveError("the archive's version cannot be read");
        if (version > kVersion)
            throw ArchiveError("Archive: " + name +
                               " was written by a newer version of this program (schema " +
                               std::to_string(version) + ", this one knows " +
                               std::to_string(kVersion) + "); it is left untouched");
        if (version < 1)
            createTables(db);
        // Later steps go here, one function each.
        if (version < 2)
            addTeamSent(db);
        if (version < kVersion)
            run(db, ("PRAGMA user_version = " + std::to_string(kVersion)).c_str());
        run(db, "COMMIT");
    } catch (const ArchiveError& e) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        const std::string what = e.what();
        if (what.rfind("Archive: ", 0) == 0)
            throw;
        throw ArchiveError("Archive: cannot open " + name + ": " + what);
    }
}

void ArchiveSchema::createTables(QSqlDatabase& db) {
    // Texts from the instrument are BLOBs: their bytes, never a decoding of them.
    run(db, "CREATE TABLE downloads ("
            " id INTEGER PRIMARY KEY,"
            " started TEXT NOT NULL,"
            " started_ms INTEGER NOT NULL,"
            " port TEXT NOT NULL,"
            " model TEXT NOT NULL,"
            " ident BLOB NOT NULL,"
            " serial_line BLOB NOT NULL,"
            " serial_no BLOB NOT NULL,"
            " announced INTEGER NOT NULL,"
            " records INTEGER NOT NULL DEFAULT 0,"
            " table_rows INTEGER NOT NULL DEFAULT 2,"
            " ended TEXT NOT NULL DEFAULT 'interrupted',"
            " offered INTEGER NOT NULL DEFAULT 0)");
    run(db, "CREATE INDEX downloads_by_start ON downloads (started_ms)");
    run(db, "CREATE TABLE table_rows ("
            " download_id INTEGER NOT NULL REFERENCES downloads (id) ON DELETE CASCADE,"
            " row INTEGER NOT NULL,"
            " cells BLOB NOT NULL,"
            " PRIMARY KEY (download_id, row)) WITHOUT ROWID");
    run(db, "CREATE TABLE memo_lines ("
            " download_id INTEGER NOT NULL REFERENCES downloads (id) ON DELETE CASCADE,"
            " line INTEGER NOT NULL,"
            " text BLOB NOT NULL,"
            " PRIMARY KEY (download_id, line)) WITHOUT ROWID");
    run(db, "CREATE TABLE stream_chunks ("
            " download_id INTEGER NOT NULL REFERENCES downloads (id) ON DELETE CASCADE,"
            " chunk INTEGER NOT NULL,"
            " bytes BLOB NOT NULL,"
            " PRIMARY KEY (download_id, chunk)) WITHOUT ROWID");
    run(db, "CREATE TABLE saves ("
            " id INTEGER PRIMARY KEY,"
            " download_id INTEGER NOT NULL REFERENCES downloads (id) ON DELETE CASCADE,"
            " path TEXT NOT NULL,"
            " format TEXT NOT NULL,"
            " saved_at TEXT NOT NULL)");
    run(db, "CREATE INDEX saves_by_download ON saves (download_id)");
}

void ArchiveSchema::addTeamSent(QSqlDatabase& db) {
    // A table of its own rather than a column: the downloads' table stays as earlier programs
    // wrote it, and the hash and the ending tell which content went out.
    run(db, "CREATE TABLE team_sent ("
            " download_id INTEGER PRIMARY KEY REFERENCES downloads (id) ON DELETE CASCADE,"
            " content_hash TEXT NOT NULL,"
            " ending TEXT NOT NULL,"
            " sent_at TEXT NOT NULL)");
}
