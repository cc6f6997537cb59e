// bench_archive: fills an archive with downloads of 50 records each and times listing it, in the
// program and as `logdump-cli archive list`.
//
// usage: bench_archive [DOWNLOADS]   (default 10000)
#include "archive/Archive.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int downloads = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    {
        Archive archive(path, QStringLiteral("bench"));
        const auto start = std::chrono::steady_clock::now();
        archive.begin();
        for (int i = 0; i < downloads; ++i) {
            DownloadStart d;
            d.started = QStringLiteral("2026-01-01T08:00:00+01:00");
            d.startedMs = 1767250800000LL + i * 60000LL;
            d.port = QStringLiteral("COM1");
            d.model = "RVM600";
            d.identLine = "Virelon RVM600 reflectometer";
            d.serialLine = "s/n: " + std::to_string(4700 + i % 50);
            d.announced = 50;
            const qint64 id = archive.addDownload(d);
            std::vector<std::vector<std::string>> rows;
            for (int r = 1; r <= 50; ++r)
                rows.push_back({std::to_string(r), "01.01.26 08:00:00", "250", "0", "1", "1"});
            archive.putRows(id, 1, rows);
            archive.setCounts(id, 50, 51);
            archive.endDownload(id, DownloadEnding::Complete);
            if (i % 3 == 0)
                archive.addSave(id, {QStringLiteral("/home/user/road.Log"),
                                     QStringLiteral("text log"), d.started});
        }
        archive.commit();
        std::printf("downloads=%d fill_s=%.3f\n", downloads, secondsSince(start));
        const auto listStart = std::chrono::steady_clock::now();
        const size_t listed = archive.list().size();
        std::printf("downloads=%d listed=%zu list_in_program_s=%.3f\n", downloads, listed,
                    secondsSince(listStart));
        const auto filterStart = std::chrono::steady_clock::now();
        const size_t filtered = archive.list("4711").size();
        std::printf("downloads=%d filtered=%zu list_by_serial_s=%.3f\n", downloads, filtered,
                    secondsSince(filterStart));
    }
    QProcess cli;
    const auto cliStart = std::chrono::steady_clock::now();
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH), {QStringLiteral("archive"), QStringLiteral("list"),
                                                 QStringLiteral("--archive"), path});
    cli.waitForFinished(60000);
    const double cliSeconds = secondsSince(cliStart);
    const qsizetype lines = cli.readAllStandardOutput().count('\n');
    std::printf("downloads=%d cli_lines=%lld cli_exit=%d archive_list_s=%.3f (goal < 0.5)\n",
                downloads, static_cast<long long>(lines), cli.exitCode(), cliSeconds);
    return 0;
}
