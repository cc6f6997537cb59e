// The real window reading from instrument-sim over a pseudo-terminal: it keeps handling events
// while the exchange runs on its worker thread, and Stop, Escape and closing end the run.
#include "Fakes.h"
#include "InstrumentSim.h"
#include "SimProcess.h"
#include "app/App.h"
#include "link/InstrumentPort.h"
#include "text/Clock.h"
#include "widgets/main/MainWindow.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// instrument-sim on the link COM1 maps to, recording the commands it gets, and the real window
// on the real port and clock, shown and activated.
struct LiveWindow {
    explicit LiveWindow(const QByteArray& scenario)
        : link(dir.filePath(QStringLiteral("COM1"))),
          commandsPath(dir.filePath(QStringLiteral("commands.txt"))),
          sim({"--link", link, "--scenario", writeScenario(dir, scenario), "--record",
               commandsPath}) {
        qputenv("LOGDUMP_COM1", link.toLocal8Bit());
        window = std::make_unique<MainWindow>(port, clock, QStringList{}, dialogs);
        window->show();
        QApplication::processEvents();
        window->activateOnce();
    }
    ~LiveWindow() {
        window->app().session().dataSaved = true;
        window.reset();
        port.closePort();
        qunsetenv("LOGDUMP_COM1");
    }
    int rows() const { return window->table()->model()->rowCount(); }
    QString commands() const {
        QFile file(commandsPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
    // Calls the action once, on the window thread, as soon as a run goes and ready() holds.
    void duringRun(const std::function<bool()>& ready, const std::function<void()>& action) {
        auto* timer = new QTimer(window.get());
        QObject::connect(timer, &QTimer::timeout, window.get(), [this, timer, ready, action] {
            if (!window->running() || !ready())
                return;
            timer->stop();
            timer->deleteLater();
            action();
        });
        timer->start(5);
    }
    // Rows equal to the simulator's records, from the first on.
    void expectRecordsKept(int count) const {
        const auto records = sim::generateRecords("RVM600", count, 1);
        const QAbstractItemModel* model = window->table()->model();
        for (int r = 0; r < rows(); ++r) {
            QString row;
            for (int c = 1; c < 6; ++c)
                row += model->index(r, c).data().toString() + (c < 5 ? "\t" : "");
            ASSERT_EQ(row.toStdString(), records[static_cast<size_t>(r)]) << r;
        }
    }
    // The after-run states of the commands and of Stop.
    void expectIdle() const {
        EXPECT_FALSE(window->running());
        EXPECT_FALSE(window->stopButton()->isVisible());
        EXPECT_TRUE(window->readLogButton()->isEnabled());
        EXPECT_TRUE(window->statusDumpAction()->isEnabled());
        EXPECT_TRUE(window->findAction()->isEnabled());
        EXPECT_TRUE(window->portSelector()->isEnabled());
    }

    QTemporaryDir dir;
    QString link;
    QString commandsPath;
    SimProcess sim;
    FakeDialogs dialogs;
    InstrumentPort port;
    SystemClock clock;
    std::unique_ptr<MainWindow> window;
};

// Ten times the line's pace before the log, four times during it: a run of a few seconds.
const QByteArray kQuickLog = R"({"count": 300, "byteMicros": 100, "streamByteMicros": 250})";

} // namespace

TEST(WindowDuringReadLog, HandlesEventsAndClosesTheCommandsWhileItRuns) {
    LiveWindow w(R"({"count": 200, "byteMicros": 100, "streamByteMicros": 250})");
    ASSERT_TRUE(w.port.connected());
    // A timer of the window thread, ticking through the whole run.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 maxGap = 0;
    int ticksRunning = 0;
    int commandsOpen = 0;
    int stopHidden = 0;
    int progressSeen = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        maxGap = std::max(maxGap, now - lastTick);
        lastTick = now;
        if (!w.window->running())
            return;
        ++ticksRunning;
        const MainWindow& f = *w.window;
        commandsOpen += f.readLogButton()->isEnabled() || f.graphButton()->isEnabled() ||
                        f.saveAsAction()->isEnabled() || f.statusDumpAction()->isEnabled() ||
                        f.findAction()->isEnabled() || f.portSelector()->isEnabled();
        stopHidden += !f.stopButton()->isVisible();
        const int value = f.progressBar()->value();
        progressSeen += value > 0 && value < 200;
    });
    clock.start();
    ticker.start(10);
    QTest::mouseClick(w.window->readLogButton(), Qt::LeftButton);
    ticker.stop();
    const qint64 runMs = clock.elapsed();

    // A window that waited for the run would miss its timer for the whole run; a loaded machine
    // (a sanitizer build beside other tests) may still hold the thread back for a while.
    EXPECT_LT(maxGap, std::max<qint64>(1000, runMs / 3)) << "run of " << runMs << " ms";
    EXPECT_GT(ticksRunning, 20);
    EXPECT_EQ(commandsOpen, 0);
    EXPECT_EQ(stopHidden, 0);
    // The records reached the window as they came, not at the end.
    EXPECT_GT(progressSeen, 0);

    EXPECT_EQ(w.rows(), 200);
    w.expectRecordsKept(200);
    EXPECT_EQ(w.window->progressBar()->value(), 200);
    EXPECT_TRUE(w.dialogs.events.empty());
    w.expectIdle();
    EXPECT_TRUE(w.window->graphButton()->isEnabled());
    EXPECT_TRUE(w.window->saveAsAction()->isEnabled());
}

TEST(WindowDuringReadLog, StopKeepsTheRecordsRead) {
    struct Case {
        const char* name;
        std::function<void(MainWindow&)> stop;
    } const cases[] = {
        {"Stop clicked", [](MainWindow& f) { QTest::mouseClick(f.stopButton(), Qt::LeftButton); }},
        {"Escape", [](MainWindow& f) { QTest::keyClick(&f, Qt::Key_Escape); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LiveWindow w(kQuickLog);
        w.window->activateWindow();
        w.duringRun([&] { return w.rows() >= 20; }, [&] { c.stop(*w.window); });
        QTest::mouseClick(w.window->readLogButton(), Qt::LeftButton);

        EXPECT_GE(w.rows(), 20);
        EXPECT_LT(w.rows(), 300);
        w.expectRecordsKept(300);
        EXPECT_TRUE(w.window->messages()->toPlainText().endsWith("Log reading stopped by the user"))
            << w.window->messages()->toPlainText().toStdString();
        EXPECT_TRUE(w.window->table()->isEnabled());
        EXPECT_FALSE(w.window->app().session().dataSaved);
        EXPECT_TRUE(w.dialogs.events.empty());
        w.expectIdle();
        EXPECT_TRUE(w.window->saveAsAction()->isEnabled());
    }
}

TEST(WindowDuringReadLog, ClosingStopsTheRunThenAsksAboutTheUnsavedLog) {
    for (const bool exit : {true, false}) {
        SCOPED_TRACE(exit ? "exit anyway" : "stay");
        LiveWindow w(kQuickLog);
        w.dialogs.yesNoAnswers = {exit};
        w.duringRun([&] { return w.rows() >= 20; }, [&] { w.window->close(); });
        QTest::mouseClick(w.window->readLogButton(), Qt::LeftButton);
        // The run ended by the stop; the close question comes after it.
        EXPECT_LT(w.rows(), 300);
        EXPECT_TRUE(
            w.window->messages()->toPlainText().endsWith("Log reading stopped by the user"));
        for (int i = 0; i < 100 && w.dialogs.events.empty(); ++i)
            QTest::qWait(10);
        EXPECT_EQ(w.dialogs.events,
                  std::vector<std::string>{"yesno: Data not saved - exit anyway?"});
        EXPECT_EQ(w.window->isVisible(), !exit);
        EXPECT_GE(w.rows(), 20);
        w.expectRecordsKept(300);
    }
}

TEST(WindowDuringReadLog, StopDuringTheIdentificationEndsWithoutABox) {
    // Twenty milliseconds a byte: the identification text alone takes about two seconds.
    LiveWindow w(R"({"count": 20, "byteMicros": 20000, "identText": ")" + QByteArray(100, 'x') +
                 R"("})");
    w.duringRun([&] { return w.commands().contains(QLatin1String("\tFV\n")); },
                [&] { w.window->stopButton()->click(); });
    QTest::mouseClick(w.window->readLogButton(), Qt::LeftButton);

    EXPECT_TRUE(w.dialogs.events.empty());
    EXPECT_EQ(w.rows(), 1); // one empty row
    EXPECT_FALSE(w.commands().contains(QLatin1String("\tLE\n"))) << w.commands().toStdString();
    EXPECT_FALSE(w.window->table()->isEnabled());
    w.expectIdle();
    EXPECT_FALSE(w.window->saveAsAction()->isEnabled());
}
