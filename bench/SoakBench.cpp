// soak: one long-lived logdump-cli runs "Read log" again and again against instrument-sim over a
// pseudo-terminal without pacing; its resident memory and open file descriptors after each run
// but the last, taken from outside the process as the next run starts, are printed; both must
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
    // Each run after the first starts with the question about the table the run before read
    // (answered by itself on the command line): the moment to look at what that run left.
    const QRegularExpression nextRun(QStringLiteral("^Data not saved - continue\\?$"));
    while (cli.state() != QProcess::NotRunning || cli.bytesAvailable() > 0) {
        cli.waitForReadyRead(1000);
        while (cli.canReadLine()) {
            const QString line = QString::fromUtf8(cli.readLine()).trimmed();
            if (!nextRun.match(line).hasMatch())
                continue;
            const platform::ProcessResources figures = platform::processResources(cli.processId());
            const int run = static_cast<int>(samples.size()) + 1;
            samples.push_back({run, figures.residentKb, figures.openHandles});
            std::fprintf(stderr, "run %d: rss_kb=%ld open_fds=%ld\n", run, figures.residentKb,
                         figures.openHandles);
        }
        if (cli.state() == QProcess::NotRunning && !cli.canReadLine() && cli.bytesAvailable() > 0)
            cli.readAll(); // an unfinished last line
    }
    const bool lastRunRead = cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
    const int runsRead = static_cast<int>(samples.size()) + (lastRunRead ? 1 : 0);
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
