// The real serial port against instrument-sim over a pseudo-terminal, on the real clock.
#include "InstrumentSim.h"
#include "SimProcess.h"
#include "link/InstrumentLine.h"
#include "link/InstrumentPort.h"
#include "text/Clock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Polls until at least n bytes wait or a generous bound passes; returns what waits.
int waitForBytes(InstrumentPort& port, int n) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int waiting = port.bytesWaiting();
    while (waiting < n && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        waiting = port.bytesWaiting();
    }
    return waiting;
}

// Binds COM1 to a device for the test's lifetime.
struct Com1Binding {
    explicit Com1Binding(const QString& device) { qputenv("LOGDUMP_COM1", device.toLocal8Bit()); }
    ~Com1Binding() { qunsetenv("LOGDUMP_COM1"); }
};

std::string openFailure(InstrumentPort& port) {
    try {
        port.openPort();
    } catch (const PortError& e) {
        EXPECT_EQ(e.operation, PortOperation::Open);
        return e.what();
    }
    return "opened";
}

} // namespace

TEST(PortEndToEnd, TalksLinesWithTheInstrument) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("instrument"));
    const QString record = dir.filePath(QStringLiteral("commands.txt"));
    const QString scenario =
        writeScenario(dir, R"({"dumpReport": "ab\u0000cd\r\nef\r\n", "paced": false})");
    SimProcess sim({"--link", link, "--scenario", scenario, "--record", record});
    ASSERT_EQ(sim.firstLine(), link);
    Com1Binding com1(link);

    InstrumentPort port;
    SystemClock clock;
    port.openPort();
    ASSERT_TRUE(port.connected());
    EXPECT_EQ(port.port(), QStringLiteral("COM1"));
    port.openPort(); // already open: nothing happens
    EXPECT_EQ(port.writeText(""), 0);

    InstrumentLine line(port, clock);
    line.send("");
    EXPECT_EQ(line.readLine().text, "?");

    // Every byte arrives, NUL included.
    line.send("DPS");
    EXPECT_EQ(line.readUntilSilence().text, std::string("ab\0cd\r\nef\r\n", 11));

    // Discarding empties the input until new bytes come.
    line.send("DPS");
    ASSERT_EQ(waitForBytes(port, 11), 11);
    port.discardBuffers(true, true);
    EXPECT_EQ(port.bytesWaiting(), 0);
    char byte = 'x';
    EXPECT_EQ(port.readBytes(&byte, 1), 0);

    // Closed and opened again, the same terminal still answers.
    port.closePort();
    port.closePort();
    EXPECT_FALSE(port.connected());
    port.openPort();
    line.send("");
    EXPECT_EQ(line.readLine().text, "?");
    port.closePort();

    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(QFileInfo::exists(link)) << "the link outlived the simulator";
    QFile commands(record);
    ASSERT_TRUE(commands.open(QIODevice::ReadOnly));
    QStringList sent;
    for (const QByteArray& line : commands.readAll().split('\n'))
        if (!line.isEmpty())
            sent << QString::fromLatin1(line.mid(line.indexOf('\t') + 1));
    EXPECT_EQ(sent, (QStringList{"", "DPS", "DPS", ""}));
}

TEST(PortEndToEnd, ALogLongerThanTheReceiveQueueArrivesWhole) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("long"));
    const QByteArray json = R"({"model": "RVM600PK", "count": 300, "paced": false})";
    const QString scenario = writeScenario(dir, json);
    SimProcess sim({"--link", link, "--scenario", scenario});
    const sim::InstrumentSim same(sim::scenarioFromJson(json, nullptr));
    ASSERT_GT(same.logStream().size(), 8192u);

    InstrumentPort port;
    SystemClock clock;
    port.setDevicePath(link);
    port.openPort();
    InstrumentLine line(port, clock);
    line.send("LE");
    // The whole stream lands at once; the port takes it in queue-sized portions.
    EXPECT_EQ(line.readUntilSilence().text, same.logStream());
}

TEST(PortEndToEnd, MissingDeviceFailsUntilItAppears) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("later"));
    Com1Binding com1(link);
    InstrumentPort port;
    EXPECT_EQ(openFailure(port), "Unable to open com port (win error code: 2)");
    EXPECT_FALSE(port.connected());

    // The same link path serves twice in a row.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        SimProcess sim({"--link", link});
        port.openPort();
        EXPECT_TRUE(port.connected());
        port.closePort();
    }
    EXPECT_EQ(openFailure(port), "Unable to open com port (win error code: 2)");
}

TEST(PortEndToEnd, PortHeldByAnotherProgramIsBusy) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("held"));
    SimProcess sim({"--link", link});
    InstrumentPort port;
    port.setDevicePath(link);
    {
        SimProcess holder({"--hold", link});
        ASSERT_EQ(holder.firstLine(), "holding " + link);
        EXPECT_EQ(openFailure(port),
                  "Unable to open com port (win error code: " + std::to_string(EBUSY) + ")");
        EXPECT_FALSE(port.connected());
    }
    port.openPort();
    EXPECT_TRUE(port.connected());
}

namespace {

// The line settings of a terminal and whether it is open for one program alone, read through
// a descriptor of the test's own (the test runs in the program's process, which never counts
// as another holder).
struct LineState {
    termios settings{};
    int exclusive = -1;
};
LineState lineState(const QString& device) {
    LineState state;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return state;
    ::tcgetattr(fd, &state.settings);
    ::ioctl(fd, TIOCGEXCL, &state.exclusive);
    ::close(fd);
    return state;
}
bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetospeed(&a) == cfgetospeed(&b);
}

// A process that holds nothing but the time it sleeps, or a device open as its input.
struct Sleeper {
    explicit Sleeper(const QString& input = QString()) {
        if (!input.isEmpty())
            process.setStandardInputFile(input);
        process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        EXPECT_TRUE(process.waitForStarted());
    }
    ~Sleeper() {
        process.kill();
        process.waitForFinished();
    }
    QProcess process;
};

} // namespace

TEST(PortEndToEnd, ADeviceAnotherProgramHoldsWithoutOurLockIsLeftAlone) {
    QTemporaryDir dir;
    // A name of this test alone: the lock files below are seen by every test running meanwhile.
    const QString name = QStringLiteral("ttyHeld%1").arg(QCoreApplication::applicationPid());
    const QString link = dir.filePath(name);
    const QString record = dir.filePath(QStringLiteral("commands.txt"));
    SimProcess sim({"--link", link, "--record", record});
    const std::string busy =
        "Unable to open com port (win error code: " + std::to_string(EBUSY) + ")";
    const LineState before = lineState(link);
    InstrumentPort port;
    port.setDevicePath(link);
    {
        SCOPED_TRACE("open in a program that took no lock");
        Sleeper script(link);
        EXPECT_EQ(openFailure(port), busy);
    }
    const QString lockFile = QStringLiteral("/run/lock/LCK..") + name;
    struct Case {
        const char* name;
        bool live;   // the process the lock names still runs
        bool binary; // the id as an int rather than as text
    } const cases[] = {
        {"a text lock of a live process", true, false},
        {"a binary lock of a live process", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sleeper holder;
        const int id = static_cast<int>(holder.process.processId());
        QFile lock(lockFile);
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        if (c.binary)
            lock.write(reinterpret_cast<const char*>(&id), sizeof id);
        else
            lock.write(QByteArray::number(id).rightJustified(10, ' ') + '\n');
        lock.close();
        EXPECT_EQ(openFailure(port), busy);
        QFile::remove(lockFile);
    }
    EXPECT_TRUE(sameSettings(lineState(link).settings, before.settings));
    {
        SCOPED_TRACE("a lock its process left behind");
        int gone = 0;
        {
            Sleeper ended;
            gone = static_cast<int>(ended.process.processId());
        }
        QFile lock(lockFile);
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(gone) + '\n');
        lock.close();
        port.openPort();
        QFile::remove(lockFile);
        EXPECT_TRUE(port.connected());
    }
    // While open, the device is ours alone; closed, it is free again.
    EXPECT_EQ(lineState(link).exclusive, 1);
    port.closePort();
    EXPECT_EQ(lineState(link).exclusive, 0);
    sim.stop();
    QFile commands(record);
    ASSERT_TRUE(commands.open(QIODevice::ReadOnly));
    EXPECT_EQ(commands.readAll(), QByteArray()) << "nothing was sent to a refused device";
}

TEST(PortEndToEnd, PulledCableFailsTheNextPoll) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("cut"));
    const QString scenario =
        writeScenario(dir, R"({"count": 50, "disconnectAtByte": 200, "paced": false})");
    SimProcess sim({"--link", link, "--scenario", scenario});
    InstrumentPort port;
    port.setDevicePath(link);
    port.openPort();
    port.writeText("LE\r\n");
    std::optional<PortOperation> failed;
    std::string text;
    int received = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!failed && std::chrono::steady_clock::now() < deadline) {
        try {
            if (port.bytesWaiting() > 0) {
                char byte = 0;
                received += port.readBytes(&byte, 1);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        } catch (const PortError& e) {
            failed = e.operation;
            text = e.what();
        }
    }
    EXPECT_EQ(failed, PortOperation::Status) << "no error after " << received << " bytes";
    EXPECT_LE(received, 200);
    EXPECT_EQ(text.rfind("ClearCommError function failed (win error code: ", 0), 0u) << text;
}
