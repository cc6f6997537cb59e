#pragma once

#include <QString>

class QSqlDatabase;

// The archive's tables and their versions: PRAGMA user_version counts the steps applied. An
// archive of an earlier version is brought up to this one step by step; one of a later version
// (written by a newer program) is refused untouched.
class ArchiveSchema {
public:
    static constexpr int kVersion = 2;

    // Brings the database to kVersion. Throws ArchiveError (naming the file) when it is newer or
    // a step fails; a failed step leaves the database as it was.
    static void update(QSqlDatabase& db, const QString& path);
    // The version the database holds; -1 when it cannot be read.
    static int versionOf(QSqlDatabase& db);

private:
    static void createTables(QSqlDatabase& db);
    // What was sent to a team archive.
    static void addTeamSent(QSqlDatabase& db);
};
