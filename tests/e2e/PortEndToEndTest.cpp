// The real serial port against instrument-sim over a pseudo-terminal, on the real clock.
#include "InstrumentSim.h"
#include "SimProcess.h"
#include "link/InstrumentLine.h"
#include "link/InstrumentPort.h"
#include "text/Clock.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

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
        EXPECT_EQ(e.messageNo, 1);
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
    int messageNo = 0;
    std::string text;
    int received = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (messageNo == 0 && std::chrono::steady_clock::now() < deadline) {
        try {
            if (port.bytesWaiting() > 0) {
                char byte = 0;
                received += port.readBytes(&byte, 1);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        } catch (const PortError& e) {
            messageNo = e.messageNo;
            text = e.what();
        }
    }
    EXPECT_EQ(messageNo, 10) << "no error after " << received << " bytes";
    EXPECT_LE(received, 200);
    EXPECT_EQ(text.rfind("ClearCommError function failed (win error code: ", 0), 0u) << text;
}
