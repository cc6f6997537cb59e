// Prints figures for the instrument link on the real clock: how closely instrument-sim keeps
// the 9600 bit/s pace over a pseudo-terminal, and how far Delay overshoots its wait.
#include "InstrumentSim.h"
#include "link/InstrumentLine.h"
#include "link/InstrumentPort.h"
#include "text/Clock.h"
#include "text/TextFieldHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <unistd.h>

namespace {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// CPU time another process has used so far, from /proc (Linux); -1 elsewhere.
double processCpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which ends with ')': utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The log stream of `count` records, read as the download reads it: poll, one byte, 5 ms rest.
void pacing(int count) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("bench"));
    QProcess process;
    process.start(QStringLiteral(LOGDUMP_SIM_PATH),
                  {"--link", link, "--count", QString::number(count)});
    process.waitForReadyRead(5000);

    sim::Scenario scenario;
    scenario.count = count;
    const size_t expected = sim::InstrumentSim(scenario).logStream().size();

    InstrumentPort port;
    SystemClock clock;
    port.setDevicePath(link);
    port.openPort();
    port.writeText("LE\r\n");
    std::string stream;
    Steady::time_point first;
    Steady::time_point last;
    const double cpuStart = cpuMs();
    int idle = 0;
    while (idle < 100 && stream.size() < expected) {
        if (port.bytesWaiting() > 0) {
            char byte = 0;
            port.readBytes(&byte, 1);
            last = Steady::now();
            if (stream.empty())
                first = last;
            stream.push_back(byte);
            idle = 0;
        } else {
            delay(clock, 5);
            ++idle;
        }
    }
    const double span = std::chrono::duration<double, std::milli>(last - first).count();
    std::printf("pacing: %zu of %zu bytes in %.1f ms: %.4f ms per byte (line rate 1.0417), "
                "reader CPU %.1f ms, instrument-sim CPU %.1f ms\n",
                stream.size(), expected, span, span / static_cast<double>(stream.size() - 1),
                cpuMs() - cpuStart, processCpuMs(process.processId()));
    port.closePort();
    process.terminate();
    process.waitForFinished(5000);
}

// delay(ms) against the real clock: mean and worst overshoot, and the CPU it burns.
void delays(int ms, int rounds) {
    SystemClock clock;
    double total = 0;
    double worst = 0;
    const double cpuStart = cpuMs();
    for (int i = 0; i < rounds; ++i) {
        const auto start = Steady::now();
        delay(clock, ms);
        const double over = msSince(start) - ms;
        total += over;
        worst = std::max(worst, over);
    }
    std::printf("delay(%d) x %d: overshoot mean %.3f ms, worst %.3f ms, CPU %.1f ms\n", ms, rounds,
                total / rounds, worst, cpuMs() - cpuStart);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    delays(5, 200);
    delays(50, 20);
    pacing(120);
    return 0;
}
