// instrument-sim: the simulated instrument on a pseudo-terminal. Opens the terminal in raw mode,
// links its device at the given path, prints that path and serves until killed.
// With --hold it instead opens a serial device the way the program does and keeps it busy.
#include "InstrumentSim.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QSerialPort>
#include <QString>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

// Before a pulled cable: the program's side of the terminal must be found empty this many
// times, this far apart (bytes just written may not be counted yet).
constexpr int kDrainedChecks = 2;
constexpr std::chrono::milliseconds kDrainCheckStep{10};

void onSignal(int) {
    g_stop = 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: instrument-sim --link PATH [--scenario FILE.json] [--model NAME]\n"
                 "                      [--count N] [--serial S] [--no-pacing] [--record FILE]\n"
                 "       instrument-sim --hold DEVICE\n");
    return 2;
}

sim::Duration now() {
    return std::chrono::duration_cast<sim::Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
}

// Stop signals are blocked except while waiting, so a signal can never slip in between the
// check of g_stop and the wait; returns the mask to wait with.
sigset_t catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigset_t stops;
    sigemptyset(&stops);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(s, &action, nullptr);
        sigaddset(&stops, s);
    }
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stops, &waitMask);
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        sigdelset(&waitMask, s);
    return waitMask;
}

// Holds a device open through the same serial library (and so its lock file) and with the same
// lock on the device as the program, until killed.
int hold(int argc, char* argv[], const QString& device) {
    const sigset_t waitMask = catchStopSignals();
    QCoreApplication application(argc, argv); // the serial library wants one
    QSerialPort port;
    port.setPortName(device);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "instrument-sim: cannot hold %s: %s\n", qPrintable(device),
                     qPrintable(port.errorString()));
        return 1;
    }
    if (flock(port.handle(), LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "instrument-sim: cannot hold %s: %s\n", qPrintable(device),
                     std::strerror(errno));
        return 1;
    }
    std::printf("holding %s\n", qPrintable(device));
    std::fflush(stdout);
    while (!g_stop)
        sigsuspend(&waitMask);
    port.close();
    return 0;
}

// Bytes waiting on the terminal's side that the program reads.
int unreadBytes(int slave) {
    int n = 0;
    return ioctl(slave, FIONREAD, &n) == 0 ? n : 0;
}

// The link points at our terminal: remove it, but never a link a later instance has made.
void removeLink(const std::string& linkPath, const std::string& target) {
    char buffer[4096];
    const ssize_t n = readlink(linkPath.c_str(), buffer, sizeof buffer - 1);
    if (n > 0 && std::string(buffer, static_cast<size_t>(n)) == target)
        unlink(linkPath.c_str());
}

struct Options {
    std::string linkPath;
    std::string recordPath;
    std::string holdDevice;
    sim::Scenario scenario;
};

// Returns 0 when the options are good, otherwise the exit code.
int parse(int argc, char* argv[], Options& o) {
    bool noPacing = false;
    std::string model;
    std::string serial;
    int count = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--link" && hasValue) {
            o.linkPath = argv[++i];
        } else if (arg == "--hold" && hasValue) {
            o.holdDevice = argv[++i];
        } else if (arg == "--scenario" && hasValue) {
            QFile file(QString::fromLocal8Bit(argv[++i]));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "instrument-sim: cannot read %s\n", argv[i]);
                return 2;
            }
            QString error;
            o.scenario = sim::scenarioFromJson(file.readAll(), &error);
            if (!error.isEmpty()) {
                std::fprintf(stderr, "instrument-sim: %s: %s\n", argv[i], qPrintable(error));
                return 2;
            }
        } else if (arg == "--model" && hasValue) {
            model = argv[++i];
        } else if (arg == "--count" && hasValue) {
            count = std::atoi(argv[++i]);
        } else if (arg == "--serial" && hasValue) {
            serial = argv[++i];
        } else if (arg == "--record" && hasValue) {
            o.recordPath = argv[++i];
        } else if (arg == "--no-pacing") {
            noPacing = true;
        } else {
            return usage();
        }
    }
    if (o.linkPath.empty() == o.holdDevice.empty())
        return usage();
    if (!model.empty())
        o.scenario.model = model;
    if (!serial.empty())
        o.scenario.serial = serial;
    if (count >= 0) {
        o.scenario.count = count;
        o.scenario.records.clear();
    }
    if (noPacing)
        o.scenario.paced = false;
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
#ifdef __linux__
    // A test or script that dies without stopping us must not leave us serving forever.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 0;
#endif
    Options options;
    if (const int bad = parse(argc, argv, options))
        return bad;
    if (!options.holdDevice.empty())
        return hold(argc, argv, QString::fromLocal8Bit(options.holdDevice.c_str()));
    const std::string& linkPath = options.linkPath;
    const sigset_t waitMask = catchStopSignals();

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("instrument-sim: pseudo-terminal");
        return 1;
    }
    const std::string slaveName = ptsname(master);
    // Hold the terminal's other side open, so it does not hang up between the program's opens,
    // and make it raw until the program sets its own line settings.
    const int slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("instrument-sim: open terminal");
        return 1;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    unlink(linkPath.c_str());
    if (symlink(slaveName.c_str(), linkPath.c_str()) != 0) {
        std::perror("instrument-sim: symlink");
        return 1;
    }
    std::printf("%s\n", linkPath.c_str());
    std::fflush(stdout);

    sim::InstrumentSim instrument(options.scenario);
    FILE* record =
        options.recordPath.empty() ? nullptr : std::fopen(options.recordPath.c_str(), "w");
    const sim::Duration start = now();
    size_t recorded = 0;
    std::string outgoing; // taken from the instrument, not yet accepted by the terminal
    bool cut = false;
    int drainedChecks = 0; // checks in a row that found the program's side of the terminal empty

    while (!g_stop) {
        const sim::Duration t = now();
        // Only what the terminal can take: an instrument that never stops must not pile up here.
        if (outgoing.empty()) {
            if (const size_t due = instrument.available(t))
                outgoing = instrument.take(due, t);
        }
        while (!outgoing.empty()) {
            const ssize_t n = write(master, outgoing.data(), outgoing.size());
            if (n <= 0)
                break; // the terminal's queue is full: wait until it takes more
            outgoing.erase(0, static_cast<size_t>(n));
        }
        // The cable is pulled once the program has taken every byte sent before the cut (a
        // hangup discards what still waits in the terminal), so the fault strikes at the same
        // byte of the stream however busy the machine is.
        const bool cutDue = instrument.disconnected(t) && outgoing.empty();
        drainedChecks = cutDue && unreadBytes(slave) == 0 ? drainedChecks + 1 : 0;
        if (drainedChecks >= kDrainedChecks) {
            cut = true;
            break;
        }
        // Sleep until the next byte is due, a command arrives, the terminal takes more, or a
        // stop signal comes; the schedule is absolute, so pacing does not drift.
        timespec timeout{};
        timespec* wait = nullptr;
        std::optional<sim::Duration> next;
        if (cutDue)
            next = t + kDrainCheckStep;
        else if (outgoing.empty())
            next = instrument.nextEvent(t);
        if (next) {
            const auto left = std::max(sim::Duration(0), *next - now());
            timeout.tv_sec = static_cast<time_t>(left.count() / 1000000000);
            timeout.tv_nsec = static_cast<long>(left.count() % 1000000000);
            wait = &timeout;
        }
        pollfd p{master, static_cast<short>(POLLIN | (outgoing.empty() ? 0 : POLLOUT)), 0};
        if (ppoll(&p, 1, wait, &waitMask) <= 0)
            continue;
        if (p.revents & POLLIN) {
            char buffer[512];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0)
                instrument.receive(std::string(buffer, static_cast<size_t>(n)), now());
        }
        if (record) {
            const auto& lines = instrument.received();
            for (; recorded < lines.size(); ++recorded) {
                const double ms =
                    std::chrono::duration<double, std::milli>(lines[recorded].time - start).count();
                std::fprintf(record, "%.1f\t%s\n", ms, lines[recorded].line.c_str());
            }
            std::fflush(record);
        }
    }
    // A pulled cable: the device and its name disappear at once.
    removeLink(linkPath, slaveName);
    close(master);
    close(slave);
    if (record)
        std::fclose(record);
    if (cut) {
        // Stay until told to stop, like a front-end whose cable was pulled.
        while (!g_stop)
            sigsuspend(&waitMask);
    }
    return 0;
}
