// window_latency: how alive the main window stays while "Read log" runs. The real window (under
// the offscreen platform unless another is set) reads a log from instrument-sim over a
// pseudo-terminal at 9600 bit/s; a timer of the window thread ticks every 5 ms and its lateness
// is the event loop's latency. Prints that latency, the wall time against the line time of the
// bytes read and against the procedure replayed on a virtual clock, and the CPU time.
//
// usage: window_latency [--model NAME] [COUNT]   (default RVM600PK, 2000)
#include "Fakes.h"
#include "InstrumentSim.h"
#include "ReplayFloor.h"
#include "SimSerialLine.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "app/Commands.h"
#include "link/InstrumentPort.h"
#include "text/Clock.h"
#include "widgets/main/MainWindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTickMs = 5;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

pid_t startSim(const std::string& link, const std::string& model, int count) {
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string records = std::to_string(count);
        execl(LOGDUMP_SIM_PATH, LOGDUMP_SIM_PATH, "--link", link.c_str(), "--model", model.c_str(),
              "--count", records.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    struct stat st {};
    for (int i = 0; i < 500 && lstat(link.c_str(), &st) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pid;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::string model = "RVM600PK";
    int count = 2000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--model" && i + 1 < argc)
            model = argv[++i];
        else
            count = std::atoi(argv[i]);
    }

    std::fprintf(stderr, "window_latency: %s, %d records, replay ...\n", model.c_str(), count);
    const Floor floor = replayFloor(model, count);

    char dirTemplate[] = "/tmp/window_latency.XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const std::string link = dir + "/COM1";
    const pid_t simPid = startSim(link, model, count);
    qputenv("LOGDUMP_COM1", QByteArray::fromStdString(link));

    FakeDialogs dialogs;
    InstrumentPort port;
    SystemClock clock;
    int rows = 0;
    std::vector<double> lateMs;
    double wallSeconds = 0;
    double cpu = 0;
    {
        MainWindow window(port, clock, {}, dialogs);
        window.show();
        QApplication::processEvents();
        window.activateOnce();

        // Lateness of each tick against the one before; only ticks while the run goes count.
        QElapsedTimer elapsed;
        qint64 lastNs = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = elapsed.nsecsElapsed();
            if (window.running() && lastNs > 0)
                lateMs.push_back(std::max(0.0, static_cast<double>(now - lastNs) / 1e6 - kTickMs));
            lastNs = now;
        });
        std::fprintf(stderr, "window_latency: reading over %s ...\n", link.c_str());
        elapsed.start();
        ticker.start(kTickMs);
        const double cpuBefore = cpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        window.readLogButton()->click();
        wallSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu = cpuSeconds() - cpuBefore;
        ticker.stop();
        rows = window.table()->model()->rowCount();
        window.app().session().dataSaved = true;
    }
    port.closePort();
    kill(simPid, SIGTERM);
    waitpid(simPid, nullptr, 0);
    std::remove(link.c_str());
    rmdir(dir.c_str());

    const double maxLate = lateMs.empty() ? 0 : *std::max_element(lateMs.begin(), lateMs.end());
    std::printf("model %s, the window reading over a pseudo-terminal at 9600 bit/s\n",
                model.c_str());
    std::printf("records=%d rows_read=%d boxes=%zu\n", count, rows, dialogs.events.size());
    std::printf("ticks=%zu every %d ms\n", lateMs.size(), kTickMs);
    std::printf("latency_max_ms=%.2f (goal < 50)\n", maxLate);
    std::printf("latency_p99_ms=%.2f (goal < 20)\n", percentile(lateMs, 99));
    std::printf("latency_p50_ms=%.2f\n", percentile(lateMs, 50));
    std::printf("bytes_received=%zu\n", floor.bytes);
    std::printf("line_time_s=%.3f\n", floor.lineSeconds);
    std::printf("replay_floor_s=%.3f\n", floor.seconds);
    std::printf("wall_s=%.3f\n", wallSeconds);
    std::printf("wall_over_line_time=%.4f (goal <= 1.03)\n", wallSeconds / floor.lineSeconds);
    std::printf("wall_over_replay_floor=%.4f\n", wallSeconds / floor.seconds);
    std::printf("cpu_s=%.3f\n", cpu);
    std::printf("cpu_share_of_wall_percent=%.2f (goal <= 5)\n", 100.0 * cpu / wallSeconds);
    return 0;
}
