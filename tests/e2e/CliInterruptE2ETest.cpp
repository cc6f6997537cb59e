// logdump-cli read stopped by SIGINT or SIGTERM in the middle of a paced download: what was
// read is printed and saved, the status is 130; a second signal ends it at once.
#include "InstrumentSim.h"
#include "SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

struct Interrupted {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Reads a paced log of 500 records with --save, and sends the signals once the progress has
// reached 10 %.
Interrupted interruptedRead(const QTemporaryDir& dir, const std::vector<int>& stops) {
    const QString link = dir.filePath(QStringLiteral("COM1"));
    SimProcess sim({"--link", link, "--count", "500"});
    QProcess cli;
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH),
              {"read", "--port", link, "--save", dir.filePath(QStringLiteral("x.Log"))});
    cli.setReadChannel(QProcess::StandardError);
    Interrupted run;
    QByteArray err;
    while (!err.contains("10 % (") && cli.waitForReadyRead(30000))
        err += cli.readAll();
    EXPECT_TRUE(err.contains("10 % (")) << err.toStdString();
    for (int s : stops)
        ::kill(static_cast<pid_t>(cli.processId()), s);
    if (!cli.waitForFinished(30000))
        return run;
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = cli.readAllStandardOutput().toStdString();
    run.err = (err + cli.readAllStandardError()).toStdString();
    return run;
}

std::string fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "(missing)";
}

// The table printed for the first rows of the simulator's log.
std::string printedRows(size_t count) {
    const auto records = sim::generateRecords("RVM600", 500, 1);
    std::string text = "#\tDate / Time\tRl\tStat\tSeq-Id\tSeq#\t\n";
    for (size_t i = 0; i < count; ++i)
        text += std::to_string(i + 1) + "\t" + records[i] + "\t\n";
    return text;
}

// The text log block of a printed table.
std::string blockOf(const std::string& printed) {
    std::string block = "*Log dump from: RVM600 - s/n: 4711\r\n";
    for (char c : printed) {
        if (c == '\n')
            block += '\r';
        block += c;
    }
    return block + "*** End ***\r\n\r\n";
}

} // namespace

TEST(CliInterrupt, AStopSignalPrintsAndSavesWhatWasRead) {
    struct Case {
        const char* name;
        int signal;
    };
    Cases cases;
    for (const Case c : {Case{"SIGINT", SIGINT}, Case{"SIGTERM", SIGTERM}}) {
        cases.push_back([c] {
            SCOPED_TRACE(c.name);
            QTemporaryDir dir;
            const Interrupted run = interruptedRead(dir, {c.signal});
            EXPECT_EQ(run.exitCode, 130) << run.err;
            const size_t rows =
                static_cast<size_t>(std::count(run.out.begin(), run.out.end(), '\n'));
            ASSERT_GE(rows, 51u) << run.err;
            EXPECT_LT(rows, 501u);
            EXPECT_EQ(run.out, printedRows(rows - 1));
            EXPECT_NE(run.err.find("\nLog reading stopped by the user\n"), std::string::npos)
                << run.err;
            EXPECT_EQ(fileText(dir.filePath(QStringLiteral("x.Log"))), blockOf(run.out));
        });
    }
    cases.push_back([] {
        SCOPED_TRACE("a second SIGINT right after the first");
        QTemporaryDir dir;
        const Interrupted run = interruptedRead(dir, {SIGINT, SIGINT});
        EXPECT_EQ(run.exitCode, 130) << run.err;
        // Whatever was saved is a whole block or nothing: the save is never cut short.
        const std::string saved = fileText(dir.filePath(QStringLiteral("x.Log")));
        if (saved != "(missing)") {
            EXPECT_EQ(saved.rfind("*Log dump from: RVM600 - s/n: 4711\r\n", 0), 0u) << saved;
            const std::string end = "*** End ***\r\n\r\n";
            EXPECT_EQ(saved.substr(saved.size() - std::min(saved.size(), end.size())), end);
        }
    });
    sideBySide(cases);
}
