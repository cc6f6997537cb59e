#pragma once
// The PostgreSQL server tools/pg-test-server.sh started for the team archive's tests (a ctest
// fixture), a database of its own for each case, and local archives to send from.

#include "archive/Archive.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

// The server's facts (PORT, USER, PASSWORD, PGPASSFILE, DATA, BIN) from the file the script wrote.
inline std::map<QString, QString> readServerFile(const QString& path) {
    std::map<QString, QString> facts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return facts;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            facts[QString::fromUtf8(line.left(equals))] = QString::fromUtf8(line.mid(equals + 1));
    }
    return facts;
}

// One database of the server for one case, dropped after it. The client library finds the test
// role's password in the password file the script wrote, as a technician's laptop would.
class TeamDatabase {
public:
    explicit TeamDatabase(const QString& serverFile = QStringLiteral(LOGDUMP_TEAM_SERVER_FILE))
        : m_facts(readServerFile(serverFile)) {
        if (m_facts.empty())
            return;
        qputenv("PGPASSFILE", m_facts[QStringLiteral("PGPASSFILE")].toLocal8Bit());
        m_name = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
        admin([this](QSqlQuery& query) {
            return query.exec(QStringLiteral("CREATE DATABASE ") + m_name);
        });
    }
    ~TeamDatabase() {
        if (m_name.isEmpty())
            return;
        QSqlDatabase::removeDatabase(QStringLiteral("team-test-db"));
        admin([this](QSqlQuery& query) {
            return query.exec(QStringLiteral("DROP DATABASE IF EXISTS ") + m_name +
                              QStringLiteral(" WITH (FORCE)"));
        });
    }
    TeamDatabase(const TeamDatabase&) = delete;
    TeamDatabase& operator=(const TeamDatabase&) = delete;

    bool ready() const { return !m_name.isEmpty(); }
    QString port() const { return m_facts.at(QStringLiteral("PORT")); }
    QString user() const { return m_facts.at(QStringLiteral("USER")); }
    QString password() const { return m_facts.at(QStringLiteral("PASSWORD")); }
    QString name() const { return m_name; }
    QString fact(const char* name) const { return m_facts.at(QString::fromLatin1(name)); }

    QString uri(const QString& options = QString()) const {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3%4")
            .arg(user(), port(), m_name, options.isEmpty() ? QString() : "?" + options);
    }

    // A statement run directly in the case's database; the first value of its first row.
    QVariant sql(const QString& statement) {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("team-test-db"), false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("team-test-db"));
            connectTo(db, m_name);
        }
        if (!db.isOpen())
            db.open();
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            ADD_FAILURE() << statement.toStdString() << ": "
                          << query.lastError().text().toStdString();
            return {};
        }
        return query.next() ? query.value(0) : QVariant();
    }

private:
    void connectTo(QSqlDatabase& db, const QString& database) const {
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(port().toInt());
        db.setUserName(user());
        db.setPassword(password());
        db.setDatabaseName(database);
    }

    template <typename Run> void admin(Run run) {
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("team-admin"));
            connectTo(db, QStringLiteral("postgres"));
            if (!db.open()) {
                ADD_FAILURE() << "test server: " << db.lastError().text().toStdString();
                m_name.clear();
            } else {
                QSqlQuery query(db);
                if (!run(query)) {
                    ADD_FAILURE() << query.lastError().text().toStdString();
                    m_name.clear();
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("team-admin"));
    }

    std::map<QString, QString> m_facts;
    QString m_name;
};

// A download as a laptop's archive keeps it.
struct LocalDownload {
    QString started = QStringLiteral("2026-12-10T06:12:44+01:00");
    std::string model = "test model";
    std::string serialLine = "SN = 2000-1234";
    std::string identLine = "test model V1.23";
    std::vector<std::vector<std::string>> rows = {{"No.", "Rl", "Qd"}, {"", "", ""}};
    std::vector<std::string> memo;
    std::string stream;
    DownloadEnding ending = DownloadEnding::Complete;
    std::vector<ArchivedSave> saves;
};

// Records numbered from 1, each row of the table a record.
inline LocalDownload downloadWith(int records, const QString& started) {
    LocalDownload d;
    d.started = started;
    for (int i = 1; i <= records; ++i)
        d.rows.push_back({std::to_string(i), std::to_string(100 + i % 400), "0.5", "2026-12-10",
                          "06:12:44", "ok"});
    d.memo = {"Log read", "Records: " + std::to_string(records)};
    d.stream = std::string("\x02LOG\x03", 5) + std::to_string(records);
    return d;
}

inline qint64 putDownload(Archive& archive, const LocalDownload& d) {
    DownloadStart start;
    start.started = d.started;
    start.startedMs = QDateTime::fromString(d.started, Qt::ISODate).toMSecsSinceEpoch();
    start.port = QStringLiteral("/dev/ttyUSB0");
    start.model = d.model;
    start.identLine = d.identLine;
    start.serialLine = d.serialLine;
    start.announced = static_cast<int32_t>(d.rows.size()) - 2;
    archive.begin();
    const qint64 id = archive.addDownload(start);
    archive.putRows(id, 0, d.rows);
    archive.setCounts(id, static_cast<int>(d.rows.size()) - 2, static_cast<int>(d.rows.size()));
    archive.addMemoLines(id, 0, d.memo);
    if (!d.stream.empty())
        archive.addStreamBytes(id, 0, d.stream);
    if (d.ending != DownloadEnding::Interrupted)
        archive.endDownload(id, d.ending);
    for (const ArchivedSave& save : d.saves)
        archive.addSave(id, save);
    archive.commit();
    return id;
}

// What one run of logdump-cli left: its exit status and both streams.
struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline QProcess* startCli(const QStringList& arguments, const QProcessEnvironment& env) {
    auto* cli = new QProcess;
    cli->setProcessEnvironment(env);
    cli->start(QStringLiteral(LOGDUMP_CLI_PATH), arguments);
    return cli;
}

inline CliRun finishCli(QProcess* cli) {
    CliRun run;
    if (cli->waitForFinished(120000)) {
        run.exitCode = cli->exitStatus() == QProcess::NormalExit ? cli->exitCode() : -1;
        run.out = cli->readAllStandardOutput().toStdString();
        run.err = cli->readAllStandardError().toStdString();
    }
    delete cli;
    return run;
}

inline CliRun runCli(const QStringList& arguments,
                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return finishCli(startCli(arguments, env));
}
