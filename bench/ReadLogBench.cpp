// read_log: times the whole "Read log" procedure of logdump-cli against instrument-sim over a
// pseudo-terminal at 9600 bit/s, and compares it with the floor: the same procedure replayed on
// a virtual clock against the same simulated instrument, which costs exactly the line time of the
// bytes plus the waits and poll steps the dialogue prescribes, and nothing for the program.
//
// usage: read_log [--model NAME] [COUNT...]   (default RVM600PK, 100 1000 2000)
#include "InstrumentSim.h"
#include "ReplayFloor.h"
#include "SimSerialLine.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "app/Commands.h"
#include "app/Console.h"
#include "link/ReadLog.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Measured {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double maxRssMb = 0;
    int exitStatus = -1;
};

pid_t spawn(const std::vector<std::string>& args, const char* outPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = open("/dev/null", O_WRONLY);
        dup2(out, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

Measured measure(const std::string& model, int count, const std::string& dir) {
    const std::string link = dir + "/COM1";
    const pid_t simPid = spawn(
        {LOGDUMP_SIM_PATH, "--link", link, "--model", model, "--count", std::to_string(count)},
        "/dev/null");
    struct stat st {};
    for (int i = 0; i < 200 && lstat(link.c_str(), &st) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    Measured m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t cli =
        spawn({LOGDUMP_CLI_PATH, "read", "--port", link}, (dir + "/table.txt").c_str());
    int status = 0;
    rusage usage{};
    wait4(cli, &status, 0, &usage);
    m.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.maxRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    m.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    kill(simPid, SIGTERM);
    waitpid(simPid, nullptr, 0);
    return m;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    std::string model = "RVM600PK";
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--model" && i + 1 < argc)
            model = argv[++i];
        else
            counts.push_back(std::atoi(argv[i]));
    }
    if (counts.empty())
        counts = {100, 1000, 2000};

    char dirTemplate[] = "/tmp/read_log.XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    // The reading archives every download as a user's does, into an archive of the bench's own.
    const std::string archive = dir + "/archive.sqlite";
    setenv("LOGDUMP_ARCHIVE", archive.c_str(), 1);

    struct Row {
        int count;
        Floor floor;
        Measured real;
    };
    std::vector<Row> rows;
    for (int count : counts) {
        std::fprintf(stderr, "read_log: %s, %d records ...\n", model.c_str(), count);
        rows.push_back({count, replayFloor(model, count), measure(model, count, dir)});
    }
    std::remove((dir + "/table.txt").c_str());
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((archive + suffix).c_str());
    rmdir(dir.c_str());

    std::printf("model %s, logdump-cli read over a pseudo-terminal at 9600 bit/s, archiving on\n",
                model.c_str());
    for (const Row& r : rows) {
        const std::string p = "records=" + std::to_string(r.count) + " ";
        std::printf("%sexit_status=%d\n", p.c_str(), r.real.exitStatus);
        std::printf("%sbytes_received=%zu\n", p.c_str(), r.floor.bytes);
        std::printf("%sline_time_s=%.3f\n", p.c_str(), r.floor.lineSeconds);
        std::printf("%sprescribed_waits_s=%.3f\n", p.c_str(),
                    r.floor.seconds - r.floor.lineSeconds);
        std::printf("%sfloor_s=%.3f\n", p.c_str(), r.floor.seconds);
        std::printf("%swall_s=%.3f\n", p.c_str(), r.real.wallSeconds);
        std::printf("%swall_over_floor=%.4f\n", p.c_str(), r.real.wallSeconds / r.floor.seconds);
        std::printf("%scpu_s=%.3f\n", p.c_str(), r.real.cpuSeconds);
        std::printf("%scpu_share_of_wall_percent=%.2f\n", p.c_str(),
                    100.0 * r.real.cpuSeconds / r.real.wallSeconds);
        std::printf("%smax_rss_mb=%.1f\n", p.c_str(), r.real.maxRssMb);
    }
    return 0;
}
