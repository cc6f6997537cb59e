// `logdump-cli ports` and `read --port auto` against instrument-sim over pseudo-terminals, with
// the port list given through the catalogue's file instead of the machine's own ports.
#include "FakePorts.h"
#include "Fakes.h"
#include "SimProcess.h"
#include "app/App.h"
#include "link/InstrumentPort.h"
#include "text/Clock.h"
#include "widgets/main/MainWindow.h"

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// Runs logdump-cli with the port list in the file and COM1 to COM4 bound to nothing.
CliResult runCli(const QTemporaryDir& dir, const QByteArray& portList,
                 const QStringList& arguments) {
    const QString listPath = dir.filePath(QStringLiteral("ports.txt"));
    QFile list(listPath);
    EXPECT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(portList);
    list.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LOGDUMP_PORT_LIST"), listPath);
    for (int n = 1; n <= 4; ++n)
        env.insert(QStringLiteral("LOGDUMP_COM%1").arg(n), dir.filePath(QStringLiteral("none")));
    CliSetup setup;
    setup.environment = env;
    return runLogdumpCli(arguments, setup);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

TEST(PortSearchE2E, AutoFindsTheInstrumentPastGoneHeldAndSilentPorts) {
    QTemporaryDir dir;
    const QString held = dir.filePath(QStringLiteral("held"));
    const QString silent = dir.filePath(QStringLiteral("silent"));
    const QString instrument = dir.filePath(QStringLiteral("instrument"));
    const QString heldRecord = dir.filePath(QStringLiteral("held.txt"));
    const QString silentRecord = dir.filePath(QStringLiteral("silent.txt"));
    SimProcess heldSim({"--link", held, "--record", heldRecord});
    SimProcess holder({"--hold", held});
    ASSERT_EQ(holder.firstLine(), "holding " + held);
    // An instrument that a program without a lock of any kind (a script) holds open.
    const QString lockless = dir.filePath(QStringLiteral("lockless"));
    const QString locklessRecord = dir.filePath(QStringLiteral("lockless.txt"));
    SimProcess locklessSim(
        {"--link", lockless, "--count", "5", "--no-pacing", "--record", locklessRecord});
    QProcess script;
    script.setStandardInputFile(lockless);
    script.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(script.waitForStarted());
    SimProcess silentSim({"--link", silent, "--scenario",
                          writeScenario(dir, R"({"handshake": "silent"})"), "--record",
                          silentRecord});
    SimProcess sim({"--link", instrument, "--count", "5", "--no-pacing"});

    const QByteArray list =
        (dir.filePath(QStringLiteral("gone")) + "\tgone since listed\n" + held +
         "\tCH340\twch.cn\n" + lockless + "\n" + silent + "\tFT232R\tFTDI\tA600\n" + instrument +
         "\tCP2102\tSilicon Labs\t0001\n" + dir.filePath(QStringLiteral("after")) + "\n")
            .toUtf8();
    const CliResult run = runCli(dir, list, {"read", "--port", "auto"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const QStringList err =
        QString::fromStdString(run.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(err.size(), 10) << run.err;
    const QStringList tried = {"COM1", "COM2",   "COM3", "COM4",    dir.filePath("gone"),
                               held,   lockless, silent, instrument};
    for (int i = 0; i < tried.size(); ++i)
        EXPECT_EQ(err[i], QStringLiteral("Trying %1 (%2 of 10)").arg(tried[i]).arg(i + 1));
    EXPECT_EQ(err[9], "Instrument found on " + instrument);
    // Header row and five records.
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 6) << run.out;

    // The held port saw nothing of the search; the silent one the two empty commands.
    holder.stop();
    heldSim.stop();
    script.kill();
    script.waitForFinished();
    locklessSim.stop();
    silentSim.stop();
    EXPECT_EQ(readFile(heldRecord), QByteArray());
    EXPECT_EQ(readFile(locklessRecord), QByteArray());
    const QList<QByteArray> commands = readFile(silentRecord).split('\n');
    ASSERT_EQ(commands.size(), 3);
    EXPECT_TRUE(commands[0].endsWith('\t') && commands[1].endsWith('\t')) << commands[0].data();
}

TEST(PortSearchE2E, AutoWithNoInstrumentFailsAndPortsListsTheCatalogue) {
    QTemporaryDir dir;
    const QByteArray list = "ttyUSB7\tFT232R USB UART\tFTDI\tA600XYZ\nCOM9\n";
    const CliResult none = runCli(dir, list, {"read", "--port", "AUTO"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(QString::fromStdString(none.err).endsWith(
        QStringLiteral("Trying COM9 (6 of 6)\nNo instrument found\n")))
        << none.err;
    EXPECT_EQ(none.out, "");

    const CliResult ports = runCli(dir, list, {"ports"});
    EXPECT_EQ(ports.exitCode, 0);
    EXPECT_EQ(ports.out, "ttyUSB7\tFT232R USB UART\tFTDI\tA600XYZ\nCOM9\t\t\t\n");
    EXPECT_EQ(ports.err, "");
}

TEST(PortSearchE2E, FindInstrumentInTheWindowOpensThePortThatAnswered) {
    QTemporaryDir dir;
    const QString instrument = dir.filePath(QStringLiteral("instrument"));
    const QString silent = dir.filePath(QStringLiteral("silent"));
    SimProcess silentSim(
        {"--link", silent, "--scenario", writeScenario(dir, R"({"handshake": "silent"})")});
    SimProcess sim({"--link", instrument, "--count", "5", "--no-pacing"});
    for (int n = 1; n <= 4; ++n)
        qputenv(qPrintable(QStringLiteral("LOGDUMP_COM%1").arg(n)),
                dir.filePath(QStringLiteral("none")).toLocal8Bit());

    FakePortCatalogue catalogue;
    catalogue.reported = {usbAdapter(silent, "FT232R"), usbAdapter(instrument, "CP2102")};
    FakePortMemory memory;
    FakeDialogs dialogs;
    InstrumentPort port;
    SystemClock clock;
    {
        MainWindow window(port, clock, {}, dialogs);
        window.usePorts(catalogue, &memory, [] { return std::make_unique<InstrumentPort>(); });
        window.findAction()->trigger();
        EXPECT_EQ(window.portSelector()->currentText(), instrument);
        EXPECT_TRUE(port.connected());
        EXPECT_EQ(port.port(), instrument);
        EXPECT_EQ(memory.stored, std::vector<QString>{instrument});
        // Only the box of the start, when COM1 could not be opened.
        EXPECT_EQ(dialogs.events.size(), 2u);
        window.app().session().dataSaved = true;
    }
    port.closePort();
    for (int n = 1; n <= 4; ++n)
        qunsetenv(qPrintable(QStringLiteral("LOGDUMP_COM%1").arg(n)));
}
