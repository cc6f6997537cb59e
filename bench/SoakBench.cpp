// soak: one long-lived logdump-cli runs "Read log" again and again against instrument-sim over a
// pseudo-terminal without pacing; its resident memory and open file descriptors, taken from
// outside as each run's log is read whole (its "100 %" progress line), are printed; both must
// stay flat.
//
// usage: soak [--runs N] [--records N] [--model NAME]   (default 50 runs of 2000 RVM600PK records)
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sample {
    int run = 0;
    long rssKb = 0;
    long fds = 0;
};

void summary(const char* name, const std::vector<Sample>& samples, long Sample::*field) {
    long max = 0;
    for (const Sample& s : samples)
        max = std::max(max, s.*field);
    std::printf("%s_first=%ld\n%s_last=%ld\n%s_max=%ld\n%s_growth=%ld\n", name,
                samples.front().*field, name, samples.back().*field, name, max, name,
                samples.back().*field - samples.front().*field);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    int runs = 50;
    int records = 2000;
    QString model = QStringLiteral("RVM600PK");
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--runs")
            runs = std::atoi(argv[i + 1]);
        else if (arg == "--records")
            records = std::atoi(argv[i + 1]);
        else if (arg == "--model")
            model = QString::fromLocal8Bit(argv[i + 1]);
    }

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("COM1"));
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(LOGDUMP_SIM_PATH), {"--link", link, "--model", model, "--count",
                                                 QString::number(records), "--no-pacing"});
    for (int i = 0; i < 500 && !QFileInfo(link).isSymLink(); ++i)
        QThread::msleep(10);

    std::fprintf(stderr, "soak: %d runs of %d %s records in one logdump-cli ...\n", runs, records,
                 qPrintable(model));
    QElapsedTimer timer;
    timer.start();
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setReadChannel(QProcess::StandardError);
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH),
              {"read", "--port", link, "--repeat", QString::number(runs)});
    std::vector<Sample> samples;
    int runsRead = 0;
    // Without a terminal the progress goes out as a line per 10 %; the last of each run is this.
    const QRegularExpression runRead(QStringLiteral("^100 % \\("));
    while (cli.state() != QProcess::NotRunning || cli.bytesAvailable() > 0) {
        cli.waitForReadyRead(1000);
        while (cli.canReadLine()) {
            const QString line = QString::fromUtf8(cli.readLine()).trimmed();
            if (!runRead.match(line).hasMatch())
                continue;
            ++runsRead;
            // The last run's process may be gone by the time its line is here: not measured.
            const platform::ProcessResources figures = platform::processResources(cli.processId());
            if (figures.residentKb < 0 || figures.openHandles < 0)
                continue;
            samples.push_back({runsRead, figures.residentKb, figures.openHandles});
            std::fprintf(stderr, "run %d: rss_kb=%ld open_fds=%ld\n", runsRead, figures.residentKb,
                         figures.openHandles);
        }
        if (cli.state() == QProcess::NotRunning && !cli.canReadLine() && cli.bytesAvailable() > 0)
            cli.readAll(); // an unfinished last line
    }
    const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;
    sim.terminate();
    sim.waitForFinished(5000);

    std::printf("soak: %s, %d records a run, instrument-sim without pacing\n", qPrintable(model),
                records);
    for (const Sample& s : samples)
        std::printf("run=%d rss_kb=%ld open_fds=%ld\n", s.run, s.rssKb, s.fds);
    std::printf("runs_completed=%d\nruns_measured=%zu\nexit_status=%d\nwall_s=%.1f\n", runsRead,
                samples.size(), cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
                seconds);
    if (samples.empty())
        return 1;
    summary("rss_kb", samples, &Sample::rssKb);
    summary("open_fds", samples, &Sample::fds);
    return runsRead == runs ? 0 : 1;
}
