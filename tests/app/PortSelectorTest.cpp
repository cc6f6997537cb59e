// The port selector and "Find instrument" in the main window, on fake ports.
#include "FakePorts.h"
#include "Fakes.h"
#include "InstrumentSim.h"
#include "SimSerialLine.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "widgets/main/MainWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

using Kind = FakePortLine::Kind;

// The main window over the simulated instrument, with fake ports behind the selector and the
// search.
struct Window {
    explicit Window(std::vector<PortInfo> reported)
        : instrument(sim::Scenario{}), line(instrument, clock) {
        catalogue.reported = std::move(reported);
        window = std::make_unique<MainWindow>(line, clock, QStringList{}, dialogs);
        window->usePorts(catalogue, &memory, [this] {
            auto searchLine = std::make_unique<FakePortLine>();
            searchLine->kinds = kinds;
            return searchLine;
        });
        window->show();
        QCoreApplication::processEvents();
        window->activateOnce();
    }
    QStringList entries() const {
        QStringList list;
        for (int i = 0; i < window->portSelector()->count(); ++i)
            list << window->portSelector()->itemText(i);
        return list;
    }

    VirtualClock clock;
    sim::InstrumentSim instrument;
    SimSerialLine line;
    FakeDialogs dialogs;
    FakePortCatalogue catalogue;
    FakePortMemory memory;
    std::map<QString, Kind> kinds;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST(PortSelector, ListsThePortsAnewEachTimeTheDropDownOpens) {
    Window w({usbAdapter("COM7", "USB-SERIAL CH340")});
    EXPECT_EQ(w.entries(), (QStringList{"COM1", "COM2", "COM3", "COM4", "COM7"}));
    w.window->portSelector()->setCurrentIndex(4);
    emit w.window->portSelector()->activated(4);
    EXPECT_EQ(w.line.port(), QStringLiteral("COM7"));

    // COM7 unplugged, another adapter plugged in: the port in use stays shown until changed.
    w.catalogue.reported = {usbAdapter("ttyUSB0", "FT232R USB UART")};
    const int scans = w.catalogue.scans;
    w.window->portSelector()->showPopup();
    EXPECT_EQ(w.catalogue.scans, scans + 1);
    EXPECT_EQ(w.entries(), (QStringList{"COM1", "COM2", "COM3", "COM4", "ttyUSB0", "COM7"}));
    EXPECT_EQ(w.window->portSelector()->currentText(), QStringLiteral("COM7"));
    w.window->portSelector()->hidePopup();
    EXPECT_TRUE(w.dialogs.events.empty());
}

TEST(PortSelector, ScreenshotOfTheOpenDropDownWithUsbAdapters) {
    Window w(
        {usbAdapter("COM7", "USB-SERIAL CH340", "wch.cn"),
         usbAdapter("COM19", "USB Serial Port", "FTDI", "A600XYZ"),
         usbAdapter("ttyUSB0", "CP2102 USB to UART Bridge Controller", "Silicon Labs", "0001")});
    PortSelector* selector = w.window->portSelector();
    selector->showPopup();
    QApplication::processEvents();
    QAbstractItemView* list = selector->view();
    QWidget* popup = list->window();
    ASSERT_TRUE(popup->isVisible());
    ASSERT_EQ(list->model()->rowCount(), 7);
    // Each adapter's texts show in full: the drop-down is wider than the 57 pixel box.
    EXPECT_EQ(list->model()->index(4, 0).data(PortSelector::kLabelRole).toString(),
              QStringLiteral("COM7 - USB-SERIAL CH340 (wch.cn)"));
    EXPECT_GE(list->viewport()->width(), list->sizeHintForColumn(0));
    EXPECT_GT(popup->width(), selector->width());
    EXPECT_EQ(selector->currentText(), QStringLiteral("COM1"));

    // The window with the drop-down drawn where it opened.
    QPixmap window = w.window->grab();
    const QPoint at = popup->mapToGlobal(QPoint(0, 0)) - w.window->mapToGlobal(QPoint(0, 0));
    const QRect both = QRect(QPoint(0, 0), window.size()).united(QRect(at, popup->size()));
    QPixmap shot(both.size());
    shot.fill(Qt::white);
    QPainter painter(&shot);
    painter.drawPixmap(-both.topLeft(), window);
    painter.drawPixmap(at - both.topLeft(), popup->grab());
    painter.end();
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/port-selector.png");
    ASSERT_TRUE(shot.save(path));
    std::printf("screenshot: %s\n", qPrintable(path));
    selector->hidePopup();
}

TEST(PortSelector, FindInstrumentSelectsAndRemembersTheFirstPortThatAnswers) {
    Window w({usbAdapter("ttyUSB9", "gone"), usbAdapter("ttyUSB0", "FT232R USB UART")});
    w.kinds = {{"COM1", Kind::Silent}, {"COM2", Kind::Busy}, {"ttyUSB0", Kind::Answers}};
    w.window->findAction()->trigger();
    EXPECT_EQ(w.window->portSelector()->currentText(), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(w.line.port(), QStringLiteral("ttyUSB0"));
    EXPECT_TRUE(w.line.connected());
    EXPECT_TRUE(w.window->readLogButton()->isEnabled());
    EXPECT_EQ(w.memory.stored, std::vector<QString>{"ttyUSB0"});
    EXPECT_TRUE(w.dialogs.events.empty());

    // Nothing answers: the user is told, the port stays as it was.
    w.kinds = {{"ttyUSB0", Kind::Silent}};
    w.window->findAction()->trigger();
    EXPECT_EQ(w.dialogs.events, std::vector<std::string>{"message: No instrument found"});
    EXPECT_EQ(w.window->portSelector()->currentText(), QStringLiteral("ttyUSB0"));
    EXPECT_TRUE(w.line.connected());
    EXPECT_EQ(w.memory.stored.size(), 1u);
}

TEST(PortSelector, StopEndsTheSearchWithoutABox) {
    Window w({});
    std::atomic<bool> release{false};
    w.window->usePorts(w.catalogue, &w.memory, [&] {
        // The search is held at its first port until Stop has been clicked.
        while (!release.load())
            std::this_thread::yield();
        auto searchLine = std::make_unique<FakePortLine>();
        searchLine->kinds = {{"COM1", Kind::Answers}};
        return searchLine;
    });
    bool stopShown = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        auto* stop = box ? box->findChild<QPushButton*>(QStringLiteral("stopButton")) : nullptr;
        if (stop) {
            stopShown = stop->text() == QStringLiteral("Stop");
            stop->click();
            // The box stays until the port being tried lets go.
            stopShown = stopShown && box->isVisible() && !stop->isEnabled();
        }
        release = true;
    });
    w.window->findAction()->trigger();
    EXPECT_TRUE(stopShown);
    EXPECT_TRUE(w.dialogs.events.empty());
    EXPECT_TRUE(w.memory.stored.empty());
    EXPECT_EQ(w.line.port(), QStringLiteral("COM1"));
    EXPECT_TRUE(w.line.connected());
}
