// bench_team: the team archive on a PostgreSQL server of its own (tools/pg-test-server.sh):
// the rate of a push of large downloads, and the time to list a team archive of many downloads.
//
// usage: bench_team [RECORDS_PER_DOWNLOAD] [DOWNLOADS_TO_LIST]   (default 25000 and 1000)
#include "archive/Archive.h"
#include "archive/TeamArchive.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void fill(Archive& archive, int downloads, int records, int first) {
    archive.begin();
    for (int i = 0; i < downloads; ++i) {
        DownloadStart d;
        const QDateTime started =
            QDateTime::fromMSecsSinceEpoch(1767250800000LL + (first + i) * 60000LL);
        d.started = isoLocalTime(started);
        d.startedMs = started.toMSecsSinceEpoch();
        d.port = QStringLiteral("COM1");
        d.model = "RVM600";
        d.identLine = "Virelon RVM600 reflectometer";
        d.serialLine = "s/n: " + std::to_string(4700 + i % 50);
        d.announced = records;
        const qint64 id = archive.addDownload(d);
        std::vector<std::vector<std::string>> rows;
        for (int r = 1; r <= records; ++r)
            rows.push_back({std::to_string(r), "01.01.26 08:00:00", std::to_string(200 + r % 300),
                            "0", "1", "1"});
        archive.putRows(id, 1, rows);
        archive.setCounts(id, records, records + 1);
        archive.endDownload(id, DownloadEnding::Complete);
    }
    archive.commit();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 25000;
    const int listed = argc > 2 ? std::atoi(argv[2]) : 1000;
    QTemporaryDir dir;
    const QString script = QStringLiteral(LOGDUMP_SOURCE_DIR "/tools/pg-test-server.sh");
    const QString serverDir = dir.filePath(QStringLiteral("server"));
    if (QProcess::execute(QStringLiteral("bash"), {script, "start", serverDir}) != 0) {
        std::fprintf(stderr, "cannot start the test server\n");
        return 1;
    }
    std::map<QString, QString> facts;
    {
        QFile file(serverDir + QStringLiteral("/server.env"));
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& line : file.readAll().split('\n'))
                if (const qsizetype eq = line.indexOf('='); eq > 0)
                    facts[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
    }
    qputenv("PGPASSFILE", facts[QStringLiteral("PGPASSFILE")].toLocal8Bit());
    {
        // A database of the bench's own, which the test role owns and may make tables in.
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "admin");
        admin.setHostName(QStringLiteral("127.0.0.1"));
        admin.setPort(facts[QStringLiteral("PORT")].toInt());
        admin.setUserName(facts[QStringLiteral("USER")]);
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open() || !QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE bench")))
            std::fprintf(stderr, "cannot make the bench's database\n");
        admin.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    const QString uri = QStringLiteral("postgresql://%1@127.0.0.1:%2/bench")
                            .arg(facts[QStringLiteral("USER")], facts[QStringLiteral("PORT")]);
    int status = 0;
    try {
        constexpr int kLarge = 4;
        Archive local(dir.filePath(QStringLiteral("local.sqlite")), QStringLiteral("local"));
        fill(local, kLarge, records, 0);
        // What the push takes before the server: reading the local archive and the hashes.
        auto start = std::chrono::steady_clock::now();
        for (const DownloadSummary& d : local.list())
            downloadHash(*local.load(d.id));
        std::printf("read_and_hash records=%d s=%.3f\n", kLarge * records, secondsSince(start));
        TeamArchive team(uri, QStringLiteral("team"));
        start = std::chrono::steady_clock::now();
        PushOutcome outcome = team.push(local, QStringLiteral("bench"), QStringLiteral("bench"));
        double seconds = secondsSince(start);
        std::printf("push downloads=%d records=%d push_s=%.3f records_per_s=%.0f\n", outcome.sent,
                    kLarge * records, seconds, kLarge * records / seconds);

        fill(local, listed - kLarge, 50, kLarge);
        start = std::chrono::steady_clock::now();
        outcome = team.push(local, QStringLiteral("bench"), QStringLiteral("bench"));
        seconds = secondsSince(start);
        std::printf("push downloads=%d records=%d push_s=%.3f downloads_per_s=%.0f\n", outcome.sent,
                    outcome.sent * 50, seconds, outcome.sent / seconds);
        start = std::chrono::steady_clock::now();
        const size_t lines = team.list().size();
        std::printf("list downloads=%zu list_s=%.3f\n", lines, secondsSince(start));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    QProcess::execute(QStringLiteral("bash"), {script, "stop", serverDir});
    return status;
}
