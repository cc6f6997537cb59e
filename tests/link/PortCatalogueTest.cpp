// The port list, the remembered port and "Find instrument", on fake ports and a virtual clock.
#include "FakePorts.h"
#include "SimRig.h"
#include "VirtualClock.h"
#include "app/Commands.h"
#include "app/HandlerGuard.h"
#include "link/InstrumentLine.h"
#include "link/PortSearch.h"
#include "link/ReadLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList labels(const std::vector<PortInfo>& ports) {
    QStringList list;
    for (const PortInfo& port : ports)
        list << portLabel(port);
    return list;
}

// Sets an environment variable for the scope.
struct ScopedVariable {
    ScopedVariable(const char* name, const QByteArray& value) : m_name(name) {
        qputenv(name, value);
    }
    ~ScopedVariable() { qunsetenv(m_name); }
    const char* m_name;
};

} // namespace

TEST(SelectorPorts, FixedPortsFirstThenEveryReportedOne) {
    struct Case {
        const char* what;
        std::vector<PortInfo> reported;
        QStringList labels;
    } const cases[] = {
        {"nothing reported", {}, {"COM1", "COM2", "COM3", "COM4"}},
        {"adapters after the fixed ports, in the system's order",
         {usbAdapter("COM19", "USB-SERIAL CH340", "wch.cn"), usbAdapter("COM7", "Prolific USB")},
         {"COM1", "COM2", "COM3", "COM4", "COM19 - USB-SERIAL CH340 (wch.cn)",
          "COM7 - Prolific USB"}},
        {"a reported low port lends its texts and keeps its place",
         {usbAdapter("com3", "USB Serial Port", "FTDI", "A600XYZ")},
         {"COM1", "COM2", "COM3 - USB Serial Port (FTDI, A600XYZ)", "COM4"}},
        {"one port reported twice is listed once",
         {usbAdapter("ttyUSB0", "FT232R USB UART"), usbAdapter("ttyUSB0", "FT232R USB UART")},
         {"COM1", "COM2", "COM3", "COM4", "ttyUSB0 - FT232R USB UART"}},
        {"texts the adapter leaves out",
         {usbAdapter("ttyACM0", QString(), "Arduino", "95735"), usbAdapter("ttyACM1", "x", "x")},
         {"COM1", "COM2", "COM3", "COM4", "ttyACM0 - (Arduino, 95735)", "ttyACM1 - x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(labels(selectorPorts(c.reported)), c.labels);
    }
}

#ifndef Q_OS_WIN
TEST(SelectorPorts, TheDeviceACom1To4EntryOpensIsNotListedAgain) {
    // COM1 is /dev/ttyS0 here; bound by the variable, COM2 is the adapter.
    ScopedVariable com2("LOGDUMP_COM2", "/dev/ttyUSB0");
    const std::vector<PortInfo> reported = {
        {"ttyS0", "/dev/ttyS0", "16550A", "", ""},
        {"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A600XYZ"},
        {"ttyUSB1", "/dev/ttyUSB1", "CP2102", "Silicon Labs", ""},
    };
    EXPECT_EQ(labels(selectorPorts(reported)),
              (QStringList{"COM1 - 16550A", "COM2 - FT232R USB UART (FTDI, A600XYZ)", "COM3",
                           "COM4", "ttyUSB1 - CP2102 (Silicon Labs)"}));
}
#endif

TEST(FilePortCatalogue, ReadsTabSeparatedLinesAndKeepsAdapterTextsOnOneLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ports.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("COM7\tUSB-SERIAL CH340\twch.cn\t1234\n"
               "\n"
               "/tmp/x/instrument\n"
               "ttyUSB0\tevil\x1b]52;c;aGk=\x07 name\tFTDI\r\n");
    file.close();
    const std::vector<PortInfo> ports = FilePortCatalogue(path).ports();
    QStringList lines;
    for (const PortInfo& port : ports)
        lines << portListLine(port);
    EXPECT_EQ(lines, (QStringList{"COM7\tUSB-SERIAL CH340\twch.cn\t1234", "/tmp/x/instrument\t\t\t",
                                  "ttyUSB0\tevil ]52;c;aGk=  name\tFTDI\t"}));
    EXPECT_TRUE(FilePortCatalogue(dir.filePath(QStringLiteral("missing"))).ports().empty());
}

TEST(PortMemory, RemembersOnlyThePortAndTreatsUnreadableSettingsAsNone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("logdump.ini"));
    SettingsPortMemory memory(path);
    EXPECT_EQ(memory.lastAnswered(), QString());
    memory.remember(QStringLiteral("ttyUSB0"));
    EXPECT_EQ(SettingsPortMemory(path).lastAnswered(), QStringLiteral("ttyUSB0"));
    memory.remember(QStringLiteral("COM7"));
    EXPECT_EQ(SettingsPortMemory(path).lastAnswered(), QStringLiteral("COM7"));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().trimmed(), QByteArray("[General]\nLastAnsweredPort=COM7"));

    // A folder where the file should be cannot be read: no port, and nothing is written.
    const QString folder = dir.filePath(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir().mkpath(folder));
    SettingsPortMemory unreadable(folder);
    EXPECT_EQ(unreadable.lastAnswered(), QString());
    unreadable.remember(QStringLiteral("COM2"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(unreadable.lastAnswered(), QString());
}

TEST(PortMemory, StartsOnTheRememberedPortOnlyWhileItIsListed) {
    const std::vector<PortInfo> listed = selectorPorts({usbAdapter("COM7", "USB-SERIAL CH340")});
    struct Case {
        QString remembered;
        QString start;
    } const cases[] = {
        {"", "COM1"}, {"COM3", "COM3"}, {"COM7", "COM7"}, {"COM9", "COM1"}, {"com7", "COM1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.remembered.toStdString());
        EXPECT_EQ(startPort(c.remembered, listed), c.start);
    }
}

TEST(PortMemory, AnAnsweredHandshakeIsRememberedARefusedOneIsNot) {
    {
        SimRig rig;
        FakePortMemory memory;
        rig.app.setPortMemory(&memory);
        rig.line.setPort(QStringLiteral("COM3"));
        EXPECT_EQ(readLog(rig.app).end, ReadLogEnd::Complete);
        EXPECT_EQ(memory.stored, std::vector<QString>{"COM3"});
        requestStatusDump(rig.app);
        EXPECT_EQ(memory.stored, (std::vector<QString>{"COM3", "COM3"}));
    }
    sim::Scenario silent;
    silent.handshake = "silent";
    SimRig rig(silent);
    FakePortMemory memory;
    rig.app.setPortMemory(&memory);
    EXPECT_EQ(readLog(rig.app).end, ReadLogEnd::Refused);
    runGuarded(rig.dialogs, [&] { requestStatusDump(rig.app); });
    EXPECT_TRUE(memory.stored.empty());
}

TEST(FindInstrument, PassesOverBusyVanishedAndSilentPortsToTheOneThatAnswers) {
    using Kind = FakePortLine::Kind;
    FakePortLine line;
    line.kinds = {{"COM2", Kind::Busy},
                  {"COM3", Kind::Silent},
                  {"ttyUSB0", Kind::Answers},
                  {"ttyUSB1", Kind::Answers}};
    VirtualClock clock;
    // COM1 and COM4 were listed but have gone by the time they are opened.
    const std::vector<PortInfo> ports =
        selectorPorts({usbAdapter("ttyUSB0", "FT232R USB UART"), usbAdapter("ttyUSB1", "CP2102")});
    QStringList told;
    const auto found =
        findAnsweringPort(line, clock, ports, [&](int index, int count, const QString& port) {
            told << QStringLiteral("%1/%2 %3").arg(index).arg(count).arg(port);
            return true;
        });
    EXPECT_EQ(found, QStringLiteral("ttyUSB0"));
    EXPECT_EQ(told, (QStringList{"0/6 COM1", "1/6 COM2", "2/6 COM3", "3/6 COM4", "4/6 ttyUSB0"}));
    EXPECT_EQ(line.opened, (std::vector<QString>{"COM3", "ttyUSB0"}));
    EXPECT_TRUE(line.connected());
    EXPECT_EQ(line.port(), QStringLiteral("ttyUSB0"));
    // The held port got nothing; the others the two empty commands of "Read log".
    EXPECT_EQ(line.written.count(QStringLiteral("COM2")), 0u);
    EXPECT_EQ(line.written[QStringLiteral("COM3")], "\r\n\r\n");
    EXPECT_EQ(line.written[QStringLiteral("ttyUSB0")], "\r\n\r\n");
}

TEST(FindInstrument, NoneAnsweringOrStoppedLeavesTheLineClosed) {
    using Kind = FakePortLine::Kind;
    const std::vector<PortInfo> ports = selectorPorts({usbAdapter("ttyUSB0", "FT232R USB UART")});
    struct Case {
        const char* what;
        std::map<QString, Kind> kinds;
        int stopAt; // the index whose progress call stops the search; -1: never
        std::vector<QString> opened;
    } const cases[] = {
        {"all silent or busy",
         {{"COM1", Kind::Silent}, {"COM3", Kind::Busy}, {"ttyUSB0", Kind::Silent}},
         -1,
         {"COM1", "ttyUSB0"}},
        {"stopped before the answering port",
         {{"COM1", Kind::Silent}, {"COM2", Kind::Silent}, {"ttyUSB0", Kind::Answers}},
         2,
         {"COM1", "COM2"}},
        {"stopped at once", {{"COM1", Kind::Answers}}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePortLine line;
        line.kinds = c.kinds;
        VirtualClock clock;
        const auto found = findAnsweringPort(
            line, clock, ports, [&](int index, int, const QString&) { return index != c.stopAt; });
        EXPECT_EQ(found, std::nullopt);
        EXPECT_EQ(line.opened, c.opened);
        EXPECT_FALSE(line.connected());
    }
}

TEST(FindInstrument, TheWindowTakesUpTheFoundPortOrTellsThatThereIsNone) {
    {
        SimRig rig;
        FakePortMemory memory;
        rig.app.setPortMemory(&memory);
        EXPECT_TRUE(beginPortSearch(rig.app));
        EXPECT_FALSE(rig.line.connected());
        EXPECT_EQ(endPortSearch(rig.app, QStringLiteral("COM7"), false, true).end,
                  ReadLogEnd::Complete);
        EXPECT_TRUE(rig.line.connected());
        EXPECT_EQ(rig.line.port(), QStringLiteral("COM7"));
        EXPECT_EQ(memory.stored, std::vector<QString>{"COM7"});
        EXPECT_TRUE(rig.dialogs.events.empty());
    }
    struct Case {
        const char* what;
        bool stopped;
        bool wasOpen;
        bool busyNow;
        std::vector<std::string> events;
        bool connected;
        bool readLogEnabled;
    } const cases[] = {
        {"none found", false, true, false, {"message: No instrument found"}, true, true},
        {"stopped by the user", true, true, false, {}, true, true},
        {"port not open before",
         false,
         false,
         false,
         {"message: No instrument found"},
         false,
         true},
        {"port taken meanwhile", true, true, true, {}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimRig rig;
        FakePortMemory memory;
        rig.app.setPortMemory(&memory);
        if (!c.wasOpen)
            rig.line.closePort();
        beginPortSearch(rig.app);
        if (c.busyNow)
            rig.line.busyPorts.insert(QStringLiteral("COM1"));
        const CommandResult result = endPortSearch(rig.app, std::nullopt, c.stopped, c.wasOpen);
        EXPECT_EQ(result.end, c.stopped ? ReadLogEnd::Stopped : ReadLogEnd::NoConnection);
        EXPECT_FALSE(result.failed);
        EXPECT_EQ(rig.dialogs.events, c.events);
        EXPECT_EQ(rig.line.connected(), c.connected);
        EXPECT_EQ(rig.view.readLogEnabled, c.readLogEnabled);
        EXPECT_TRUE(memory.stored.empty());
    }
}
