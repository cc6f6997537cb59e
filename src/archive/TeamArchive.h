#pragma once

#include "archive/ArchivedDownload.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

class Archive;
class QSqlQuery;

// The team archive: one PostgreSQL database the office shares, into which every laptop sends its
// downloads when it can reach it. A download is identified there by the hash of its content, so
// sending one again, from this computer or another, adds nothing.

// The message when a team archive address cannot be used as given (it holds a password, it is
// no postgresql:// URI, ...); nothing when it can. Never repeats a password.
std::optional<QString> teamAddressProblem(const QString& uri);

// One line of the team archive's list: a download as the local list shows it (its id is the
// team archive's), with the computer and the user that sent it.
struct TeamDownloadSummary {
    DownloadSummary download;
    QString computer;
    QString user;
};

// What the team list is filtered by; empty fields filter nothing.
struct TeamFilter {
    std::string serial; // the serial number holds it
    QString user;       // the technician (user name) holds it
    QString from, to;   // yyyy-MM-dd, inclusive, of the start time
};

struct PushOutcome {
    int sent = 0;         // downloads the team archive did not have yet
    int alreadyThere = 0; // downloads it had already (from this or another computer)
};

// The shared archive on PostgreSQL, on one connection of the calling thread. Failures throw
// ArchiveError with the text the user is told ("Team archive: <reason>"), never a password.
class TeamArchive {
public:
    // The version of the team archive's tables this program writes (logdump_schema).
    static constexpr int kVersion = 1;

    // Connects and, when the role may, creates or upgrades the schema; a newer schema than the
    // program knows is refused.
    TeamArchive(const QString& uri, const QString& connectionName);
    ~TeamArchive();
    TeamArchive(const TeamArchive&) = delete;
    TeamArchive& operator=(const TeamArchive&) = delete;

    // Sends every download of the local archive that has ended or was left interrupted and is
    // not marked sent yet, except `inProgress` (the download being written now, or 0), one
    // transaction each, with the computer's and the user's name; marks them sent locally.
    PushOutcome push(Archive& local, const QString& computer, const QString& user,
                     qint64 inProgress = 0);
    std::vector<TeamDownloadSummary> list(const TeamFilter& filter = {});
    std::optional<ArchivedDownload> load(qint64 id);

private:
    QSqlQuery prepared(const QString& sql, const QString& doing);
    void exec(QSqlQuery& query, const QString& doing);
    int schemaVersion();
    // Makes the tables, or takes them up to kVersion, under a lock of the database.
    void setUp();
    [[noreturn]] void refuseNewer(int version);
    // One download in one transaction; false when the team archive had it already.
    bool send(const ArchivedDownload& download, const QString& hash, const QString& computer,
              const QString& user);
    void sendRows(qint64 teamId, const std::vector<std::vector<std::string>>& rows,
                  const QString& doing);

    QString m_connection;
};

// The local downloads not yet sent to a team archive (ended or interrupted).
int waitingForTeam(Archive& local, qint64 inProgress = 0);

// The name of this computer and of its user, as the team archive records who sent a download.
QString teamComputerName();
QString teamUserName();

// The SQL that makes the team archive's tables, as the program runs it on first use (and the
// administrator may run it by hand).
extern const char* const kTeamSchemaSql;

// The content hash that identifies a download in the team archive (hex SHA-256 of its model,
// serial line, start time and every cell).
QString downloadHash(const ArchivedDownload& download);
