#include "archive/TeamArchive.h"

#include "archive/Archive.h"
#include "archive/ArchiveError.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>
#include <algorithm>
#include <array>
#include <variant>

namespace {

constexpr const char* kPrefix = "Team archive: ";

// The connection options of the address passed on to the PostgreSQL client library as they are;
// any other is refused, so that nothing the user did not mean (a password) reaches it.
constexpr std::array kPassedOptions = {
    "sslmode",         "sslrootcert",     "sslcert",    "sslkey",           "sslcrl",
    "sslsni",          "connect_timeout", "passfile",   "application_name", "target_session_attrs",
    "gssencmode",      "channel_binding", "keepalives", "keepalives_idle",  "keepalives_interval",
    "keepalives_count"};

// A laptop that cannot reach the office is told so within this many seconds, not after the
// system's own TCP timeout.
constexpr const char* kDefaultConnectTimeout = "10";

// Rows of a download per INSERT: few round trips, statements of a size the server parses fast.
constexpr int kRowsPerStatement = 1000;
// The raw stream goes in parts of this many bytes.
constexpr size_t kStreamChunk = 1 << 20;

// Two pushes from two computers taking the schema step at once: the second waits for the first.
constexpr qint64 kSchemaLock = 0x6c6f6764756d70; // "logdump"

[[noreturn]] void fail(const QString& text) {
    throw ArchiveError((QLatin1String(kPrefix) + text).toStdString());
}

// A reason from the server or the client library on one line. libpq never repeats a password it
// read from the password file, and the address holds none; a "password=" is hidden all the same.
QString reasonOf(const QSqlError& error) {
    QString text = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    text = text.simplified();
    if (text.endsWith(QLatin1String(" ()"))) // the driver's place for an error code it lacks
        text.chop(3);
    static const QRegularExpression password(QStringLiteral("password\\s*=\\s*('[^']*'|\\S+)"),
                                             QRegularExpression::CaseInsensitiveOption);
    text.replace(password, QStringLiteral("password=(hidden)"));
    if (text.isEmpty())
        text = QStringLiteral("no reason given");
    return text;
}

QString text(const QString& value) {
    // Never a null QString, for the same reason.
    return value.isNull() ? QString(QLatin1String("")) : value;
}

// A value as a connection option takes it: quoted, its quotes and backslashes escaped.
QString quotedOption(const QString& value) {
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

struct TeamAddress {
    QString host;
    int port = -1;
    QString user;
    QString database;
    QStringList options; // name='value'
};

std::variant<TeamAddress, QString> parseAddress(const QString& uri) {
    const QString noUri = QLatin1String(kPrefix) +
                          QStringLiteral("the address is no postgresql:// URI "
                                         "(postgresql://user@host:port/database?sslmode=require)");
    const QUrl url(uri.trimmed(), QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return noUri;
    // Checked before anything else is, so no later message can repeat it.
    if (!url.password().isEmpty() || url.userInfo().contains(QLatin1Char(':')))
        return QLatin1String(kPrefix) +
               QStringLiteral("the address holds a password; it belongs in the password file "
                              "(~/.pgpass, or the file PGPASSFILE names), never in the address");
    TeamAddress address;
    address.host = url.host(QUrl::FullyDecoded);
    address.port = url.port(-1);
    address.user = url.userName(QUrl::FullyDecoded);
    address.database = url.path(QUrl::FullyDecoded);
    if (address.database.startsWith(QLatin1Char('/')))
        address.database.remove(0, 1);
    if (address.database.contains(QLatin1Char('/')) || url.hasFragment())
        return noUri;
    bool timeoutGiven = false;
    for (const auto& item : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        const QString& name = item.first;
        const QString& value = item.second;
        if (name == QLatin1String("password"))
            return QLatin1String(kPrefix) +
                   QStringLiteral(
                       "the address holds a password; it belongs in the password file "
                       "(~/.pgpass, or the file PGPASSFILE names), never in the address");
        const bool known = std::any_of(kPassedOptions.begin(), kPassedOptions.end(),
                                       [&](const char* o) { return name == QLatin1String(o); });
        if (!known)
            return QLatin1String(kPrefix) +
                   QStringLiteral("the address has an option this program does not pass on: %1")
                       .arg(name);
        // The driver turns every ';' into the separator of its options.
        if (value.contains(QLatin1Char(';')))
            return QLatin1String(kPrefix) +
                   QStringLiteral("the option %1 of the address holds a ';'").arg(name);
        timeoutGiven = timeoutGiven || name == QLatin1String("connect_timeout");
        address.options << name + QLatin1Char('=') + quotedOption(value);
    }
    if (!timeoutGiven)
        address.options << QStringLiteral("connect_timeout=") +
                               quotedOption(QLatin1String(kDefaultConnectTimeout));
    return address;
}

// The download's id once, then each row's number and cells.
QString rowsInsert(int count) {
    QString sql = QStringLiteral("INSERT INTO logdump_row (download_id, row_no, cells)"
                                 " SELECT ?, v.r, v.c FROM (VALUES (?::integer, ?::bytea)");
    for (int i = 1; i < count; ++i)
        sql += QStringLiteral(", (?, ?)");
    return sql + QStringLiteral(") AS v (r, c)");
}

constexpr const char* kSummaryColumns =
    "SELECT d.id, d.started, d.port, d.model, d.serial_no, d.records, d.announced, d.ending,"
    " (SELECT s.path FROM logdump_save s WHERE s.download_id = d.id"
    "  ORDER BY s.save_no DESC LIMIT 1),"
    " d.computer, d.user_name"
    " FROM logdump_download d ";

TeamDownloadSummary summaryOf(const QSqlQuery& query) {
    TeamDownloadSummary line;
    DownloadSummary& summary = line.download;
    summary.id = query.value(0).toLongLong();
    summary.started = query.value(1).toString();
    summary.port = query.value(2).toString();
    summary.model = query.value(3).toString().toStdString();
    summary.serialNo = bytesOf(query.value(4));
    summary.records = query.value(5).toInt();
    summary.announced = query.value(6).toInt();
    summary.ended = query.value(7).toString();
    summary.savedPath = query.value(8).toString();
    line.computer = query.value(9).toString();
    line.user = query.value(10).toString();
    return line;
}

} // namespace

const char* const kTeamSchemaSql =
    "CREATE TABLE logdump_schema (version integer NOT NULL);\n"
    "CREATE TABLE logdump_download (\n"
    "    id bigserial PRIMARY KEY,\n"
    "    content_hash text NOT NULL UNIQUE,\n"
    "    computer text NOT NULL,\n"
    "    user_name text NOT NULL,\n"
    "    sent_at timestamptz NOT NULL DEFAULT now(),\n"
    "    started text NOT NULL,\n"
    "    started_ms bigint NOT NULL,\n"
    "    port text NOT NULL,\n"
    "    model text NOT NULL,\n"
    "    ident bytea NOT NULL,\n"
    "    serial_line bytea NOT NULL,\n"
    "    serial_no bytea NOT NULL,\n"
    "    announced integer NOT NULL,\n"
    "    records integer NOT NULL,\n"
    "    table_rows integer NOT NULL,\n"
    "    ending text NOT NULL);\n"
    "CREATE INDEX logdump_download_by_start ON logdump_download (started_ms);\n"
    "CREATE TABLE logdump_row (\n"
    "    download_id bigint NOT NULL REFERENCES logdump_download (id),\n"
    "    row_no integer NOT NULL,\n"
    "    cells bytea NOT NULL,\n"
    "    PRIMARY KEY (download_id, row_no));\n"
    "CREATE TABLE logdump_memo (\n"
    "    download_id bigint NOT NULL REFERENCES logdump_download (id),\n"
    "    line_no integer NOT NULL,\n"
    "    text bytea NOT NULL,\n"
    "    PRIMARY KEY (download_id, line_no));\n"
    "CREATE TABLE logdump_stream (\n"
    "    download_id bigint NOT NULL REFERENCES logdump_download (id),\n"
    "    chunk_no integer NOT NULL,\n"
    "    bytes bytea NOT NULL,\n"
    "    PRIMARY KEY (download_id, chunk_no));\n"
    "CREATE TABLE logdump_save (\n"
    "    download_id bigint NOT NULL REFERENCES logdump_download (id),\n"
    "    save_no integer NOT NULL,\n"
    "    path text NOT NULL,\n"
    "    format text NOT NULL,\n"
    "    saved_at text NOT NULL,\n"
    "    PRIMARY KEY (download_id, save_no));\n"
    "INSERT INTO logdump_schema (version) VALUES (1);\n";

std::optional<QString> teamAddressProblem(const QString& uri) {
    const auto parsed = parseAddress(uri);
    if (const QString* problem = std::get_if<QString>(&parsed))
        return *problem;
    return std::nullopt;
}

QString teamComputerName() {
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("unknown") : name;
}

QString teamUserName() {
    for (const char* variable : {"USER", "USERNAME", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("unknown");
}

QString downloadHash(const ArchivedDownload& download) {
    // Each part with its length before it, so that no two downloads give the same bytes.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto part = [&hash](const QByteArray& bytes) {
        hash.addData(QByteArray::number(bytes.size()) + ':');
        hash.addData(bytes);
    };
    part(QByteArrayLiteral("logdump download 1"));
    part(storedBytes(download.summary.model));
    part(storedBytes(download.serialLine));
    part(download.summary.started.toUtf8());
    part(QByteArray::number(static_cast<qulonglong>(download.rows.size())));
    for (const std::vector<std::string>& row : download.rows) {
        part(QByteArray::number(static_cast<qulonglong>(row.size())));
        for (const std::string& cell : row)
            part(storedBytes(cell));
    }
    return QString::fromLatin1(hash.result().toHex());
}

TeamArchive::TeamArchive(const QString& uri, const QString& connectionName)
    : m_connection(connectionName) {
    const auto parsed = parseAddress(uri);
    if (const QString* problem = std::get_if<QString>(&parsed))
        throw ArchiveError(problem->toStdString());
    const TeamAddress& address = std::get<TeamAddress>(parsed);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        fail(QStringLiteral("Qt's PostgreSQL driver is not installed"));
    try {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
            // No password is ever set: the client library reads the user's password file.
            if (!address.host.isEmpty())
                db.setHostName(address.host);
            if (address.port > 0)
                db.setPort(address.port);
            if (!address.user.isEmpty())
                db.setUserName(address.user);
            if (!address.database.isEmpty())
                db.setDatabaseName(address.database);
            db.setConnectOptions(address.options.join(QLatin1Char(';')));
            if (!db.open())
                fail(QStringLiteral("cannot connect: ") + reasonOf(db.lastError()));
        }
        setUp();
    } catch (...) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
        throw;
    }
}

TeamArchive::~TeamArchive() {
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlQuery TeamArchive::prepared(const QString& sql, const QString& doing) {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.prepare(sql))
        fail(doing + QStringLiteral(": ") + reasonOf(query.lastError()));
    return query;
}

void TeamArchive::exec(QSqlQuery& query, const QString& doing) {
    if (!query.exec())
        fail(doing + QStringLiteral(": ") + reasonOf(query.lastError()));
}

int TeamArchive::schemaVersion() {
    const QString doing = QStringLiteral("cannot read the version of its tables");
    QSqlQuery exists =
        prepared(QStringLiteral("SELECT to_regclass('logdump_schema') IS NOT NULL"), doing);
    exec(exists, doing);
    if (!exists.next() || !exists.value(0).toBool())
        return 0;
    QSqlQuery version =
        prepared(QStringLiteral("SELECT coalesce(max(version), 0) FROM logdump_schema"), doing);
    exec(version, doing);
    return version.next() ? version.value(0).toInt() : 0;
}

void TeamArchive::setUp() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // A role that may only write downloads finds the tables there and needs no lock.
    int version = schemaVersion();
    if (version == kVersion)
        return;
    if (version > kVersion)
        refuseNewer(version);
    const QString doing = QStringLiteral("cannot make its tables");
    // A lock of the session taken before the transaction begins: the transaction then sees
    // the tables another program made while this one waited (a lock taken inside it would
    // leave it looking at the catalogue as it was before the wait).
    QSqlQuery lock = prepared(QStringLiteral("SELECT pg_advisory_lock(?)"), doing);
    lock.addBindValue(kSchemaLock);
    exec(lock, doing);
    lock.finish();
    const auto unlock = [&] {
        QSqlQuery query(db);
        query.exec(QStringLiteral("SELECT pg_advisory_unlock_all()"));
    };
    try {
        version = schemaVersion(); // another program may have taken the step meanwhile
        if (version > kVersion)
            refuseNewer(version);
        if (version < 1) {
            if (!db.transaction())
                fail(doing + QStringLiteral(": ") + reasonOf(db.lastError()));
            QSqlQuery create(db);
            // Fixed text, no value in it: one statement list, run as it is.
            if (!create.exec(QString::fromLatin1(kTeamSchemaSql))) {
                const QString reason = reasonOf(create.lastError());
                db.rollback();
                fail(doing +
                     QStringLiteral(" (the role may lack the right to create them; "
                                    "the README shows how to make them by hand): ") +
                     reason);
            }
            // Later steps go here, one each: if (version < 2) ...
            if (!db.commit()) {
                const QString reason = reasonOf(db.lastError());
                db.rollback();
                fail(doing + QStringLiteral(": ") + reason);
            }
        }
    } catch (...) {
        unlock();
        throw;
    }
    unlock();
}

void TeamArchive::refuseNewer(int version) {
    fail(QStringLiteral("its tables were made by a newer version of this program (schema %1, this "
                        "one knows %2); nothing is sent to it or read from it")
             .arg(version)
             .arg(kVersion));
}

PushOutcome TeamArchive::push(Archive& local, const QString& computer, const QString& user,
                              qint64 inProgress) {
    PushOutcome outcome;
    for (const qint64 id : local.waitingForTeam(inProgress)) {
        const std::optional<ArchivedDownload> download = local.load(id);
        if (!download)
            continue; // deleted since the list was read
        const QString hash = downloadHash(*download);
        if (send(*download, hash, computer, user))
            ++outcome.sent;
        else
            ++outcome.alreadyThere;
        // After the commit: a mark lost here only costs a send that adds nothing.
        local.markSentToTeam(id, hash, download->summary.ended);
    }
    return outcome;
}

bool TeamArchive::send(const ArchivedDownload& download, const QString& hash,
                       const QString& computer, const QString& user) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QString doing =
        QStringLiteral("cannot send the download of %1").arg(download.summary.started);
    if (!db.transaction())
        fail(doing + QStringLiteral(": ") + reasonOf(db.lastError()));
    try {
        qint64 teamId = 0;
        {
            // The hash is unique: of two computers sending the same download at once, the second
            // waits for the first and then inserts nothing.
            QSqlQuery query = prepared(
                QStringLiteral(
                    "INSERT INTO logdump_download (content_hash, computer, user_name, started,"
                    " started_ms, port, model, ident, serial_line, serial_no, announced, records,"
                    " table_rows, ending) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                    " ON CONFLICT (content_hash) DO NOTHING RETURNING id"),
                doing);
            const DownloadSummary& s = download.summary;
            const QDateTime started = QDateTime::fromString(s.started, Qt::ISODate);
            query.addBindValue(hash);
            query.addBindValue(text(computer));
            query.addBindValue(text(user));
            query.addBindValue(text(s.started));
            query.addBindValue(started.isValid() ? started.toMSecsSinceEpoch() : qint64(0));
            query.addBindValue(text(s.port));
            query.addBindValue(text(QString::fromStdString(s.model)));
            query.addBindValue(storedBytes(download.identLine));
            query.addBindValue(storedBytes(download.serialLine));
            query.addBindValue(storedBytes(serialNoOf(download.serialLine)));
            query.addBindValue(s.announced);
            query.addBindValue(s.records);
            query.addBindValue(download.tableRows);
            query.addBindValue(text(s.ended));
            exec(query, doing);
            if (!query.next()) {
                db.rollback();
                return false;
            }
            teamId = query.value(0).toLongLong();
        }
        sendRows(teamId, download.rows, doing);
        for (size_t line = 0; line < download.memo.size(); ++line) {
            QSqlQuery query = prepared(
                QStringLiteral(
                    "INSERT INTO logdump_memo (download_id, line_no, text) VALUES (?, ?, ?)"),
                doing);
            query.addBindValue(teamId);
            query.addBindValue(static_cast<int>(line));
            query.addBindValue(storedBytes(download.memo[line]));
            exec(query, doing);
        }
        for (size_t at = 0, chunk = 0; at < download.stream.size(); at += kStreamChunk, ++chunk) {
            QSqlQuery query = prepared(
                QStringLiteral(
                    "INSERT INTO logdump_stream (download_id, chunk_no, bytes) VALUES (?, ?, ?)"),
                doing);
            query.addBindValue(teamId);
            query.addBindValue(static_cast<int>(chunk));
            query.addBindValue(storedBytes(download.stream.substr(at, kStreamChunk)));
            exec(query, doing);
        }
        for (size_t save = 0; save < download.saves.size(); ++save) {
            QSqlQuery query = prepared(
                QStringLiteral("INSERT INTO logdump_save (download_id, save_no, path, format,"
                               " saved_at) VALUES (?, ?, ?, ?, ?)"),
                doing);
            query.addBindValue(teamId);
            query.addBindValue(static_cast<int>(save));
            query.addBindValue(text(download.saves[save].path));
            query.addBindValue(text(download.saves[save].format));
            query.addBindValue(text(download.saves[save].savedAt));
            exec(query, doing);
        }
        if (!db.commit())
            fail(doing + QStringLiteral(": ") + reasonOf(db.lastError()));
        return true;
    } catch (...) {
        db.rollback();
        throw;
    }
}

void TeamArchive::sendRows(qint64 teamId, const std::vector<std::vector<std::string>>& rows,
                           const QString& doing) {
    // Rows no record filled are not sent: loading leaves them empty as the local archive does.
    std::vector<int> filled;
    for (size_t row = 0; row < rows.size(); ++row)
        if (!rows[row].empty())
            filled.push_back(static_cast<int>(row));
    std::optional<QSqlQuery> full;
    for (size_t first = 0; first < filled.size(); first += kRowsPerStatement) {
        const int count =
            static_cast<int>(std::min<size_t>(kRowsPerStatement, filled.size() - first));
        std::optional<QSqlQuery> last;
        if (count == kRowsPerStatement && !full)
            full.emplace(prepared(rowsInsert(count), doing));
        else if (count < kRowsPerStatement)
            last.emplace(prepared(rowsInsert(count), doing));
        QSqlQuery& query = count == kRowsPerStatement ? *full : *last;
        query.bindValue(0, teamId);
        for (int i = 0; i < count; ++i) {
            const int row = filled[first + static_cast<size_t>(i)];
            query.bindValue(1 + 2 * i, row);
            query.bindValue(2 + 2 * i, storedBytes(joinCells(rows[static_cast<size_t>(row)])));
        }
        exec(query, doing);
    }
}

std::vector<TeamDownloadSummary> TeamArchive::list(const TeamFilter& filter) {
    const QString doing = QStringLiteral("cannot read the list of downloads");
    for (const QString& date : {filter.from, filter.to})
        if (!date.isEmpty() && !QDate::fromString(date, QStringLiteral("yyyy-MM-dd")).isValid())
            fail(QStringLiteral("%1 is no date (yyyy-MM-dd)").arg(date));
    QString sql = QLatin1String(kSummaryColumns) + QStringLiteral("WHERE true");
    if (!filter.serial.empty())
        sql += QStringLiteral(" AND position(? in d.serial_no) > 0");
    if (!filter.user.isEmpty())
        sql += QStringLiteral(" AND strpos(lower(d.user_name), lower(?)) > 0");
    // The day the technician saw: the start's own local date.
    if (!filter.from.isEmpty())
        sql += QStringLiteral(" AND substr(d.started, 1, 10) >= ?");
    if (!filter.to.isEmpty())
        sql += QStringLiteral(" AND substr(d.started, 1, 10) <= ?");
    sql += QStringLiteral(" ORDER BY d.started_ms DESC, d.id DESC");
    QSqlQuery query = prepared(sql, doing);
    query.setForwardOnly(true);
    if (!filter.serial.empty())
        query.addBindValue(storedBytes(filter.serial));
    if (!filter.user.isEmpty())
        query.addBindValue(filter.user);
    if (!filter.from.isEmpty())
        query.addBindValue(filter.from);
    if (!filter.to.isEmpty())
        query.addBindValue(filter.to);
    exec(query, doing);
    std::vector<TeamDownloadSummary> downloads;
    while (query.next())
        downloads.push_back(summaryOf(query));
    return downloads;
}

std::optional<ArchivedDownload> TeamArchive::load(qint64 id) {
    const QString doing = QStringLiteral("cannot read download %1").arg(id);
    const auto read = [&](const char* sql) {
        QSqlQuery query = prepared(QString::fromLatin1(sql), doing);
        query.setForwardOnly(true);
        query.addBindValue(id);
        exec(query, doing);
        return query;
    };
    ArchivedDownload download;
    {
        QSqlQuery query =
            prepared(QLatin1String(kSummaryColumns) + QStringLiteral("WHERE d.id = ?"), doing);
        query.addBindValue(id);
        exec(query, doing);
        if (!query.next())
            return std::nullopt;
        download.summary = summaryOf(query).download;
    }
    {
        QSqlQuery query =
            read("SELECT ident, serial_line, table_rows FROM logdump_download WHERE id = ?");
        if (!query.next())
            return std::nullopt;
        download.identLine = bytesOf(query.value(0));
        download.serialLine = bytesOf(query.value(1));
        download.tableRows = std::max(2, query.value(2).toInt());
    }
    download.rows.resize(static_cast<size_t>(download.tableRows));
    {
        QSqlQuery query =
            read("SELECT row_no, cells FROM logdump_row WHERE download_id = ? ORDER BY row_no");
        while (query.next())
            putStoredRow(download, query.value(0).toInt(), bytesOf(query.value(1)));
    }
    {
        QSqlQuery query =
            read("SELECT text FROM logdump_memo WHERE download_id = ? ORDER BY line_no");
        while (query.next())
            download.memo.push_back(bytesOf(query.value(0)));
    }
    {
        QSqlQuery query =
            read("SELECT bytes FROM logdump_stream WHERE download_id = ? ORDER BY chunk_no");
        while (query.next())
            download.stream += bytesOf(query.value(0));
    }
    {
        QSqlQuery query = read("SELECT path, format, saved_at FROM logdump_save"
                               " WHERE download_id = ? ORDER BY save_no");
        while (query.next())
            download.saves.push_back(
                {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    }
    return download;
}

int waitingForTeam(Archive& local, qint64 inProgress) {
    return static_cast<int>(local.waitingForTeam(inProgress).size());
}
