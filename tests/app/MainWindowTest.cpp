// The main window on the offscreen platform, wired to the simulated instrument; every box goes
// to the recording dialogs.
#include "widgets/main/MainWindow.h"

#include "Fakes.h"
#include "InstrumentSim.h"
#include "NamedChild.h"
#include "SimSerialLine.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "widgets/main/AboutDialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// One main window over a simulated instrument, created with the given arguments.
struct Window {
    explicit Window(const QStringList& arguments = {}, const QStringList& busy = {})
        : instrument(sim::Scenario{}), line(instrument, clock) {
        for (const QString& port : busy)
            line.busyPorts.insert(port);
        window = std::make_unique<MainWindow>(line, clock, arguments, dialogs);
    }
    // Shows the window and lets its first activation run.
    void show() {
        window->show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    QStringList headers() const {
        QStringList texts;
        const QAbstractItemModel* model = window->table()->model();
        for (int c = 0; c < model->columnCount(); ++c)
            texts << model->headerData(c, Qt::Horizontal).toString();
        return texts;
    }

    VirtualClock clock;
    sim::InstrumentSim instrument;
    SimSerialLine line;
    FakeDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST(MainWindow, ActivationGivesTheResetLayout) {
    Window w;
    w.show();
    EXPECT_EQ(w.headers(),
              (QStringList{"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"}));
    EXPECT_EQ(w.window->table()->model()->rowCount(), 1);
    EXPECT_EQ(w.window->table()->viewport()->width(), 404);
    EXPECT_FALSE(w.window->table()->isEnabled());
    EXPECT_FALSE(w.window->saveAsAction()->isEnabled());
    EXPECT_TRUE(w.window->readLogButton()->isEnabled());
    EXPECT_EQ(w.window->focusWidget(), w.window->readLogButton());
    EXPECT_EQ(w.window->progressLabel()->text(), QString());
    EXPECT_TRUE(w.dialogs.events.empty());
    EXPECT_EQ(w.window->windowTitle(), QStringLiteral("VELKOR - Virelon Log Dump"));

    // A modal window closing again does not reset the table.
    w.window->app().table().setCell(1, 1, "kept");
    w.window->aboutAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.dialogs.events, std::vector<std::string>{"modal: About"});
    EXPECT_EQ(w.window->app().table().cell(1, 1), "kept");
}

TEST(MainWindow, GraphButtonOnlyInProductionMode) {
    struct Case {
        QStringList arguments;
        bool production;
    } const cases[] = {
        {{"graph"}, true}, {{"Graph"}, true},   {{"G"}, true},   {{"G", "x"}, true},
        {{}, false},       {{"x", "G"}, false}, {{"-G"}, false}, {{"/G"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        Window w(c.arguments);
        w.show();
        EXPECT_EQ(w.window->graphButton()->isVisible(), c.production);
        EXPECT_FALSE(w.window->graphButton()->isEnabled());
        // The menu entry is there in every mode, closed while the log is empty.
        EXPECT_TRUE(w.window->graphAction()->isVisible());
        EXPECT_FALSE(w.window->graphAction()->isEnabled());
        EXPECT_EQ(w.window->app().session().productionMode, c.production);
    }
}

TEST(MainWindow, ClosingAsksOnlyWithUnsavedData) {
    {
        Window w;
        w.show();
        EXPECT_TRUE(w.window->close());
        EXPECT_TRUE(w.dialogs.events.empty());
    }
    Window w;
    w.show();
    w.window->app().session().dataSaved = false;
    w.window->app().table().setCell(1, 1, "unsaved");
    w.dialogs.yesNoAnswers = {false, true};
    w.window->exitAction()->trigger();
    EXPECT_TRUE(w.window->isVisible());
    EXPECT_TRUE(w.line.connected());
    EXPECT_EQ(w.window->app().table().cell(1, 1), "unsaved");
    EXPECT_TRUE(w.window->close());
    EXPECT_FALSE(w.window->isVisible());
    EXPECT_FALSE(w.line.connected());
    EXPECT_EQ(w.dialogs.events, (std::vector<std::string>{"yesno: Data not saved - exit anyway?",
                                                          "yesno: Data not saved - exit anyway?"}));
}

TEST(MainWindow, BusyPortAtStartThenAFreeOneChosen) {
    Window w({}, {"COM1"});
    EXPECT_EQ(w.dialogs.events,
              (std::vector<std::string>{"beep", "message: Unable to open comport: COM1\n\rPort may "
                                                "be opened by another application"}));
    w.show();
    EXPECT_FALSE(w.window->readLogButton()->isEnabled());
    EXPECT_EQ(w.window->focusWidget(), w.window->portSelector());
    EXPECT_EQ(w.dialogs.events.size(), 2u);

    // Typed letters and digits change nothing.
    QTest::keyClicks(w.window->portSelector(), QStringLiteral("COM3 4x"));
    EXPECT_EQ(w.window->portSelector()->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(w.line.port(), QStringLiteral("COM1"));
    EXPECT_EQ(w.dialogs.events.size(), 2u);

    // The next entry, by arrow key, is free.
    QTest::keyClick(w.window->portSelector(), Qt::Key_Down);
    EXPECT_EQ(w.window->portSelector()->currentText(), QStringLiteral("COM2"));
    EXPECT_EQ(w.line.port(), QStringLiteral("COM2"));
    EXPECT_TRUE(w.line.connected());
    EXPECT_TRUE(w.window->readLogButton()->isEnabled());
    EXPECT_EQ(w.window->focusWidget(), w.window->readLogButton());
    EXPECT_EQ(w.dialogs.events.size(), 2u);

    // Back to the busy one: refused, and "Read log" goes off again.
    w.window->portSelector()->setFocus();
    QTest::keyClick(w.window->portSelector(), Qt::Key_Up);
    EXPECT_FALSE(w.line.connected());
    EXPECT_FALSE(w.window->readLogButton()->isEnabled());
    EXPECT_EQ(w.dialogs.events.back(), "message: Error opning: COM1");
}

TEST(MainWindow, NeverSmallerThanDesignedAndGrowsItsTableAndMemo) {
    Window w;
    w.show();
    QWidget* client = w.window->centralWidget();
    EXPECT_EQ(client->size(), QSize(693, 442));
    const int tableHeight = w.window->table()->height();
    const QSize memo = w.window->messages()->size();

    w.window->resize(300, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(client->size(), QSize(693, 442));

    w.window->resize(w.window->width() + 100, w.window->height() + 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(client->size(), QSize(793, 492));
    EXPECT_EQ(w.window->table()->height(), tableHeight + 50);
    EXPECT_EQ(w.window->table()->x(), 8);
    EXPECT_EQ(w.window->messages()->size(), memo + QSize(100, 50));
}

TEST(AboutBox, ShowsVersionAndDateWhenShown) {
    AboutDialog box;
    EXPECT_EQ(namedChild<QLabel>(box, "versionLabel")->text(), QStringLiteral("Version: --"));
    box.show();
    EXPECT_EQ(namedChild<QLabel>(box, "versionLabel")->text(), QStringLiteral("Version: 1.2"));
    EXPECT_EQ(namedChild<QLabel>(box, "dateLabel")->text(), QStringLiteral("26. August 2005"));
    EXPECT_EQ(box.size(), QSize(298, 190));
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
}

// "File / Open..." (Ctrl+O) puts a saved log in the table and names the file in the title; the
// next "Read log" gives the title back.
TEST(MainWindow, OpenNamesTheFileInTheTitleUntilTheNextReadLog) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("weekly.Log"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("*Log dump from: VX40 - s/n: 0815\r\n#\tDate / Time\tQd\tStat\tSeq-Id\tSeq#\t\r\n"
               "1\t12.03.2005 08:00:00\t166\t0\tS1\t1\t\r\n"
               "2\t12.03.2005 08:00:30\t170\t0\tS1\t2\t\r\n*** End ***\r\n\r\n");
    file.close();
    Window w;
    w.show();
    w.dialogs.openAnswer = path;
    auto* open = w.window->findChild<QAction*>(QStringLiteral("openAction"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->shortcut(), QKeySequence(QKeySequence::Open));
    open->trigger();
    EXPECT_EQ(w.window->windowTitle(), QStringLiteral("weekly.Log - VELKOR - Virelon Log Dump"));
    EXPECT_EQ(w.headers(), (QStringList{"#", "Date / Time", "Qd", "Stat", "Seq-Id", "Seq#"}));
    EXPECT_TRUE(w.window->saveAsAction()->isEnabled());
    QTest::mouseClick(w.window->readLogButton(), Qt::LeftButton);
    EXPECT_EQ(w.window->windowTitle(), QStringLiteral("VELKOR - Virelon Log Dump"));
}
