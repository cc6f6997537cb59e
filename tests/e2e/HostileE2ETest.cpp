// logdump-cli against a misbehaving instrument and a hostile file system, over a
// pseudo-terminal: escape sequences in replies, a second instance on the same device, a
// file-size limit during a save, names that do not round-trip.
#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// Runs logdump-cli; `limitBytes` > 0 puts a file-size limit on it, as `ulimit -f` would.
CliResult runCli(const QStringList& arguments, const QString& folder = QString(),
                 rlim_t limitBytes = 0) {
    CliSetup setup;
    setup.folder = folder;
    if (limitBytes > 0)
        setup.inChild = [limitBytes] {
            const rlimit limit{limitBytes, limitBytes};
            setrlimit(RLIMIT_FSIZE, &limit);
        };
    return runLogdumpCli(arguments, setup);
}

int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::string readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

TEST(HostileE2E, InstrumentControlBytesReachStderrEscaped) {
    QTemporaryDir dir;
    const QString scenario = writeScenario(dir, R"({"model": "VX40", "count": 3,
                 "serial": "4711\u001b]52;c;aGk=\u0007\u001b[2J",
                 "identText": "VX40 \u001b]0;pwned\u0007 Reflectometer\u007f"})");
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--scenario", scenario, "--no-pacing"});

    const CliResult run = runCli({"read", "--port", link});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x07'), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x7f'), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("VX40 \\x1b]0;pwned\\x07 Reflectometer\\x7f\n"), std::string::npos)
        << run.err;
}

TEST(HostileE2E, ADeviceHeldByOneInstanceIsBusyForAnyOtherSpelling) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    const QString record = dir.filePath("commands.txt");
    SimProcess sim({"--link", link, "--model", "RVM600", "--count", "60", "--record", record});
    const QString device = QFileInfo(link).symLinkTarget();
    ASSERT_TRUE(device.startsWith("/dev/")) << device.toStdString();
    ASSERT_TRUE(QFile::link(link, dir.filePath("other")));

    QProcess first;
    first.start(QStringLiteral(LOGDUMP_CLI_PATH), {"read", "--port", link});
    // Once a command has arrived, the first instance holds the device.
    for (int i = 0; i < 200 && QFileInfo(record).size() == 0; ++i)
        QThread::msleep(10);
    ASSERT_GT(QFileInfo(record).size(), 0) << "the first instance sent nothing";

    struct Case {
        const char* name;
        QString port;
        QString folder;
    } const cases[] = {
        {"the same link", link, QString()},
        {"another link", dir.filePath("other"), QString()},
        {"the device itself", device, QString()},
        {"relative with ./", "./COM1", dir.path()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult second = runCli({"read", "--port", c.port}, c.folder);
        EXPECT_EQ(second.exitCode, 1);
        EXPECT_EQ(second.err, "Unable to open comport: " + c.port.toStdString() +
                                  "\nPort may be opened by another application\n");
        EXPECT_EQ(second.out, "");
    }
    const CliResult firstRun = finishCli(first);
    EXPECT_EQ(firstRun.exitCode, 0) << firstRun.err;
    EXPECT_EQ(lineCount(firstRun.out), 61);
}

TEST(HostileE2E, AFileSizeLimitCutsTheSaveBackInsteadOfTearingIt) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--model", "RVM600", "--count", "40", "--no-pacing"});
    const QString folder = dir.filePath("saves");
    ASSERT_TRUE(QDir().mkpath(folder));

    // An earlier block, written without a limit.
    const QString log = folder + "/RVM4711.Log";
    ASSERT_EQ(runCli({"read", "--port", link, "--save", log}).exitCode, 0);
    const std::string earlier = readFile(log);
    ASSERT_GT(earlier.size(), 1000u);

    struct Case {
        const char* name;
        QString target;
        rlim_t limit;
        std::string message;
        std::string leftInFile; // "<missing>" when no file may be left
        QStringList leftInFolder;
    } const cases[] = {
        {"a block that does not fit after the earlier ones",
         log,
         earlier.size() + 100,
         "Error writing file: 27.",
         earlier,
         {"RVM4711.Log"}},
        {"a new text log whose first block does not fit",
         folder + "/new.Log",
         100,
         "Error writing file: 27.",
         "<missing>",
         {"RVM4711.Log"}},
        {"a new workbook that does not fit",
         folder + "/new.xls",
         2000,
         "",
         "<missing>",
         {"RVM4711.Log"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult run =
            runCli({"read", "--port", link, "--save", c.target}, QString(), c.limit);
        EXPECT_TRUE(run.normalExit) << "stopped by the signal of the file-size limit";
        EXPECT_EQ(run.exitCode, 1);
        if (!c.message.empty()) {
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        }
        EXPECT_EQ(readFile(c.target), c.leftInFile);
        EXPECT_EQ(entries(folder), c.leftInFolder);
    }
    EXPECT_EQ(readFile(log), earlier);
}

TEST(HostileE2E, ASectionsReportThatDoesNotFitFailsAndKeepsTheEarlierOne) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--model", "RVM600", "--count", "40", "--no-pacing"});
    const QString folder = dir.filePath("reports");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString csv = folder + "/sections.csv";
    ASSERT_EQ(runCli({"read", "--port", link, "--sections", csv}).exitCode, 0);
    const std::string earlier = readFile(csv);
    ASSERT_GT(earlier.size(), 200u);

    // The first leaves room for the header alone, the second for all but the last byte.
    for (const rlim_t limit : {rlim_t{100}, rlim_t{earlier.size() - 1}}) {
        SCOPED_TRACE(limit);
        const CliResult run = runCli({"read", "--port", link, "--sections", csv}, QString(), limit);
        EXPECT_TRUE(run.normalExit) << "stopped by the signal of the file-size limit";
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("Cannot write " + csv.toStdString() + ": File too large\n"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(lineCount(run.out), 41) << "the table is printed all the same";
        EXPECT_EQ(readFile(csv), earlier);
        EXPECT_EQ(entries(folder), QStringList{"sections.csv"});
    }
}

TEST(HostileE2E, PortAndSaveNamesAreTakenAsTyped) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("sub")));
    const QString link = dir.filePath("sub/COM1");
    SimProcess sim({"--link", link, "--model", "RVM600", "--count", "5", "--no-pacing"});

    // A relative port path is found from the working directory, not under /dev.
    const CliResult relative = runCli({"read", "--port", "sub/COM1"}, dir.path());
    EXPECT_EQ(relative.exitCode, 0) << relative.err;
    EXPECT_EQ(lineCount(relative.out), 6);

    // A port name with letters beyond ASCII, some beyond Windows-1252, is named as typed; held by
    // another program it is busy, missing it is told as missing.
    const QString umlautLink = dir.filePath(QString::fromUtf8("gerät-порт"));
    ASSERT_TRUE(QFile::link(QFileInfo(link).symLinkTarget(), umlautLink));
    SimProcess holder({"--hold", umlautLink});
    const CliResult held = runCli({"read", "--port", umlautLink});
    EXPECT_EQ(held.exitCode, 1);
    EXPECT_EQ(held.err, "Unable to open comport: " + umlautLink.toStdString() +
                            "\nPort may be opened by another application\n");
    holder.stop();
    QFile::remove(umlautLink);
    const QString missing = dir.filePath(QString::fromUtf8("fehlt-gerät"));
    const CliResult gone = runCli({"read", "--port", missing});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.err, "Unable to open com port (win error code: 2)\n");

    // A save name with a byte that is not UTF-8 is refused: it would write another name.
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start("/bin/sh",
                {"-c", "exec \"$0\" read --port sub/COM1 --save \"$(printf 'x\\377.Log')\"",
                 QStringLiteral(LOGDUMP_CLI_PATH)});
    const CliResult bad = finishCli(shell);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "Name not valid in the system's encoding: x\\xff.Log\n");
    EXPECT_EQ(entries(dir.path()), QStringList{"sub"});
}
