#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
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

// What one run of logdump-cli left: its exit status and both streams.
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline CliResult runLogdumpCli(const QStringList& arguments) {
    QProcess cli;
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH), arguments);
    CliResult run;
    if (!cli.waitForFinished(60000))
        return run;
    run.exitCode = cli.exitCode();
    run.out = cli.readAllStandardOutput().toStdString();
    run.err = cli.readAllStandardError().toStdString();
    return run;
}
