#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

// A scenario file in the test's own folder.
inline QString writeScenario(const QTemporaryDir& dir, const QByteArray& json) {
    const QString path = dir.filePath(QStringLiteral("scenario.json"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(json);
    return path;
}

// One instrument-sim process (serving a link, or holding a device), stopped when it goes.
class SimProcess {
public:
    // Starts instrument-sim with the arguments and waits for its first line of output.
    explicit SimProcess(const QStringList& arguments) {
        m_process.setProgram(QStringLiteral(LOGDUMP_SIM_PATH));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        m_started = m_process.waitForStarted(5000);
        while (m_started && !m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        m_firstLine = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        EXPECT_FALSE(m_firstLine.isEmpty()) << "instrument-sim did not start";
    }
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Stops it with SIGTERM, as ./run does; returns its exit code.
    int stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    QString firstLine() const { return m_firstLine; }

private:
    QProcess m_process;
    bool m_started = false;
    QString m_firstLine;
};

using Cases = std::vector<std::function<void()>>;

// Runs the cases side by side, each on its own thread from start to end: a run mostly waits on
// the line, so together they take about as long as the longest.
inline void sideBySide(const Cases& cases) {
    std::vector<std::unique_ptr<QThread>> threads;
    for (const auto& c : cases) {
        threads.emplace_back(QThread::create(c));
        threads.back()->start();
    }
    for (auto& t : threads)
        t->wait();
}

// What one run of logdump-cli left: how it ended, its exit status and both streams.
struct CliResult {
    bool normalExit = false; // false: killed by a signal or did not end
    int exitCode = -1;       // -1 unless it ended normally
    std::string out;
    std::string err;
};

// Waits for a started run (of logdump-cli or a shell around it) and collects what it left.
inline CliResult finishCli(QProcess& cli, int timeoutMs = 60000) {
    CliResult run;
    if (!cli.waitForFinished(timeoutMs))
        return run;
    run.normalExit = cli.exitStatus() == QProcess::NormalExit;
    run.exitCode = run.normalExit ? cli.exitCode() : -1;
    run.out = cli.readAllStandardOutput().toStdString();
    run.err = cli.readAllStandardError().toStdString();
    return run;
}

// Where and how logdump-cli runs; the defaults are the test's own folder and environment.
struct CliSetup {
    QString folder;
    std::optional<QProcessEnvironment> environment;
    QString outFile;               // stdout goes there instead of to the result
    std::function<void()> inChild; // runs in the child before the program starts
    int timeoutMs = 60000;
};

inline CliResult runLogdumpCli(const QStringList& arguments, const CliSetup& setup = {}) {
    QProcess cli;
    if (!setup.folder.isEmpty())
        cli.setWorkingDirectory(setup.folder);
    if (setup.environment)
        cli.setProcessEnvironment(*setup.environment);
    if (!setup.outFile.isEmpty())
        cli.setStandardOutputFile(setup.outFile);
    if (setup.inChild)
        cli.setChildProcessModifier(setup.inChild);
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH), arguments);
    return finishCli(cli, setup.timeoutMs);
}
