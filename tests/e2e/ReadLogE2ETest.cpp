#include "Fakes.h"
#include "InstrumentSim.h"
#include "SimProcess.h"
#include "app/App.h"
#include "app/Commands.h"
#include "link/InstrumentPort.h"
#include "link/ReadLog.h"
#include "text/Clock.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::string headerLine(const std::string& model) {
    if (model == "RVM600PK")
        return "#\tDate / Time\tRl\tQd\tRStat\tQStat\tSeq-Id\tSeq#\t\n";
    return std::string("#\tDate / Time\t") + (model == "VX40" ? "Qd" : "Rl") +
           "\tStat\tSeq-Id\tSeq#\t\n";
}

// The table logdump-cli prints for the simulator's default log of the model.
std::string expectedTable(const std::string& model, int count) {
    std::string text = headerLine(model);
    const auto records = sim::generateRecords(model, count, 1);
    for (size_t i = 0; i < records.size(); ++i)
        text += std::to_string(i + 1) + "\t" + records[i] + "\t\n";
    return text;
}

constexpr int kRecords = 300;

} // namespace

TEST(EndToEnd, CliReadsEveryModelOverAPseudoTerminal) {
    QTemporaryDir dir;
    const std::vector<std::string> models = {"RVM600PK", "VX40", "RVM600P", "RVM600"};
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::unique_ptr<QProcess>> clis;
    for (size_t i = 0; i < models.size(); ++i) {
        const QString link = dir.filePath(QStringLiteral("port%1").arg(i));
        sims.push_back(std::make_unique<SimProcess>(
            QStringList{"--link", link, "--model", QString::fromStdString(models[i]), "--count",
                        QString::number(kRecords)}));
        auto cli = std::make_unique<QProcess>();
        QStringList args{"read", "--port", link};
        if (i == 0) {
            // COMn goes through the same mapping as in the window.
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("LOGDUMP_COM3"), link);
            cli->setProcessEnvironment(env);
            args = QStringList{"read", "--port", "COM3"};
        }
        cli->start(QStringLiteral(LOGDUMP_CLI_PATH), args);
        clis.push_back(std::move(cli));
    }
    for (size_t i = 0; i < models.size(); ++i) {
        SCOPED_TRACE(models[i]);
        QProcess& cli = *clis[i];
        ASSERT_TRUE(cli.waitForFinished(120000));
        const std::string err = cli.readAllStandardError().toStdString();
        EXPECT_EQ(cli.exitCode(), 0) << err;
        EXPECT_EQ(cli.readAllStandardOutput().toStdString(), expectedTable(models[i], kRecords));
        EXPECT_NE(err.find("s/n: 4711\n"), std::string::npos) << err;
        EXPECT_NE(err.find("100 % (300 of 300)\n"), std::string::npos) << err;
    }
}

TEST(EndToEnd, CliReportsFailuresWithTheBoxTextsAndANonZeroStatus) {
    QTemporaryDir dir;
    QFile scenario(dir.filePath("silent.json"));
    ASSERT_TRUE(scenario.open(QIODevice::WriteOnly));
    scenario.write(R"({"handshake": "silent"})");
    scenario.close();
    const QString link = dir.filePath("port");
    SimProcess sim({"--link", link, "--scenario", scenario.fileName()});

    struct Case {
        QString port;
        std::string stderrText;
    } const cases[] = {
        {link, "No connection with instrument\n"},
        {dir.filePath("none"), "Unable to open com port (win error code: 2)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port.toStdString());
        QProcess cli;
        cli.start(QStringLiteral(LOGDUMP_CLI_PATH), {"read", "--port", c.port});
        ASSERT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitCode(), 1);
        EXPECT_EQ(cli.readAllStandardError().toStdString(), c.stderrText);
        EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
    }
    QProcess usage;
    usage.start(QStringLiteral(LOGDUMP_CLI_PATH), {"write"});
    ASSERT_TRUE(usage.waitForFinished(30000));
    EXPECT_EQ(usage.exitCode(), 2);
}

TEST(EndToEnd, ReadLogThroughTheRealPortInProcess) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM2");
    SimProcess sim({"--link", link, "--model", "RVM600P", "--count", "200"});
    qputenv("LOGDUMP_COM2", link.toLocal8Bit());
    InstrumentPort port;
    port.setPort(QStringLiteral("COM2"));
    SystemClock clock;
    FakeDialogs dialogs;
    FakeView view;
    App app(port, clock, dialogs, view);
    startMainWindow(app, {});
    activateMainWindow(app);
    EXPECT_EQ(readLog(app).end, ReadLogEnd::Complete);
    qunsetenv("LOGDUMP_COM2");
    EXPECT_TRUE(dialogs.events.empty());
    EXPECT_STREQ(app.session().model->name, "RVM600P");
    ASSERT_EQ(app.table().rows(), 201);
    const auto records = sim::generateRecords("RVM600P", 200, 1);
    for (int r = 1; r <= 200; ++r) {
        std::string row;
        for (int c = 0; c < 6; ++c)
            row += app.table().cell(c, r) + (c < 5 ? "\t" : "");
        ASSERT_EQ(row, std::to_string(r) + "\t" + records[static_cast<size_t>(r - 1)]) << r;
    }
    EXPECT_EQ(view.progressText, "200 of 200");
    EXPECT_TRUE(app.table().isEnabled());
    EXPECT_FALSE(app.session().dataSaved);
}
