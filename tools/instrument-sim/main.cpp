// instrument-sim: the simulated instrument on a pseudo-terminal. Opens the terminal in raw mode,
// links its device at the given path, prints that path and serves until killed.
#include "InstrumentSim.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: instrument-sim --link PATH [--scenario FILE.json] [--model NAME]\n"
                 "                      [--count N] [--serial S] [--no-pacing] [--record FILE]\n");
    return 2;
}

sim::Duration now() {
    return std::chrono::duration_cast<sim::Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace

int main(int argc, char* argv[]) {
    std::string linkPath;
    std::string recordPath;
    sim::Scenario scenario;
    bool noPacing = false;
    std::string model;
    std::string serial;
    int count = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--link" && hasValue) {
            linkPath = argv[++i];
        } else if (arg == "--scenario" && hasValue) {
            QFile file(QString::fromLocal8Bit(argv[++i]));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "instrument-sim: cannot read %s\n", argv[i]);
                return 2;
            }
            QString error;
            scenario = sim::scenarioFromJson(file.readAll(), &error);
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
            recordPath = argv[++i];
        } else if (arg == "--no-pacing") {
            noPacing = true;
        } else {
            return usage();
        }
    }
    if (linkPath.empty())
        return usage();
    if (!model.empty())
        scenario.model = model;
    if (!serial.empty())
        scenario.serial = serial;
    if (count >= 0) {
        scenario.count = count;
        scenario.records.clear();
    }
    if (noPacing)
        scenario.paced = false;

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("instrument-sim: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ptsname(master);
    // Hold the terminal's other side open, so it does not hang up between the program's opens,
    // and make it raw until the program sets its own line settings.
    const int slave = open(slaveName, O_RDWR | O_NOCTTY);
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
    if (symlink(slaveName, linkPath.c_str()) != 0) {
        std::perror("instrument-sim: symlink");
        return 1;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGHUP, onSignal);
    std::printf("%s\n", linkPath.c_str());
    std::fflush(stdout);

    sim::InstrumentSim instrument(scenario);
    FILE* record = recordPath.empty() ? nullptr : std::fopen(recordPath.c_str(), "w");
    const sim::Duration start = now();
    size_t recorded = 0;
    std::string outgoing; // taken from the instrument, not yet accepted by the terminal

    while (!g_stop) {
        pollfd p{master, POLLIN, 0};
        const int timeoutMs = outgoing.empty() && instrument.available(now()) == 0 ? 1 : 0;
        poll(&p, 1, timeoutMs);
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
        if (instrument.disconnected(now())) {
            break;
        }
        const size_t due = instrument.available(now());
        if (due > 0)
            outgoing += instrument.take(due, now());
        if (!outgoing.empty()) {
            const ssize_t n = write(master, outgoing.data(), outgoing.size());
            if (n > 0)
                outgoing.erase(0, static_cast<size_t>(n));
        }
    }
    // A pulled cable: the device disappears at once.
    close(master);
    close(slave);
    unlink(linkPath.c_str());
    if (record)
        std::fclose(record);
    return 0;
}
