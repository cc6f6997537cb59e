// The program's windows and boxes against texts from the instrument and file names, and the
// start-up details the user sees: pictures, production mode from the arguments as given.
#include "Fakes.h"
#include "InstrumentSim.h"
#include "SimRig.h"
#include "SimSerialLine.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "app/Commands.h"
#include "widgets/main/AboutDialog.h"
#include "widgets/main/MainWindow.h"
#include "widgets/main/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

// What a message box showed, read while it is up.
struct BoxSeen {
    bool shown = false;
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    int width = 0;
    QString title;
};

bool refusalUp() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr;
}

// Reads the box on screen once it is up and closes it.
void readBoxWhenShown(BoxSeen& seen) {
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.shown = true;
        seen.format = box->textFormat();
        seen.text = box->text();
        seen.width = box->width();
        seen.title = box->windowTitle();
        box->accept();
    });
}

// Waits for the save dialog to be up again after a refusal, then cancels it.
void rejectWhenShownAgain(QFileDialog* dialog, bool& reopened, int tries = 200) {
    QTimer::singleShot(5, [=, &reopened] {
        if (QApplication::activeModalWidget() != dialog || refusalUp()) {
            if (tries > 0)
                rejectWhenShownAgain(dialog, reopened, tries - 1);
            return;
        }
        reopened = true;
        static_cast<QDialog*>(dialog)->reject();
    });
}

} // namespace

TEST(HostileWindows, BoxesShowInstrumentTextAsPlainTextAndTheWholeTitle) {
    const std::string html = "<a href=\"http://example.invalid/\">Status</a> <b>16</b>";
    struct Case {
        const char* name;
        std::function<void(QtDialogs&)> show;
    } const cases[] = {
        {"message", [&](QtDialogs& d) { d.message(html); }},
        {"error", [&](QtDialogs& d) { d.error(html); }},
        {"question", [&](QtDialogs& d) { d.confirmYesNo(html); }},
        {"short message", [&](QtDialogs& d) { d.message("OK"); }},
    };
    QtDialogs dialogs(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BoxSeen seen;
        readBoxWhenShown(seen);
        c.show(dialogs);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.title, "VELKOR - Virelon Log Dump");
        const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
        EXPECT_GE(seen.width, title.horizontalAdvance(seen.title) + 100)
            << "the title would be cut";
    }
}

TEST(HostileWindows, TheSaveDialogRefusesAFolderThatDoesNotExist) {
    QTemporaryDir dir;
    QtDialogs dialogs(nullptr);
    SaveDialogSetup setup;
    setup.defaultSuffix = "Log";
    setup.filters = {"Excel files (*.xls)", "Comma seperated file (*.Log)"};
    setup.filterSuffixes = {"xls", "Log"};
    setup.folder = dir.path();

    BoxSeen refusal;
    bool reopened = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no save dialog shown";
            return;
        }
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(dir.filePath("missing/RVM4711"));
        readBoxWhenShown(refusal);
        // After the refusal the dialog is up again; the user gives up.
        rejectWhenShownAgain(dialog, reopened);
        static_cast<QDialog*>(dialog)->accept();
    });
    const std::optional<SaveDialogResult> result = dialogs.saveFile(setup);

    EXPECT_FALSE(result.has_value());
    EXPECT_TRUE(refusal.shown);
    EXPECT_TRUE(refusal.text.contains("Path does not exist.")) << refusal.text.toStdString();
    EXPECT_TRUE(reopened);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

TEST(HostileWindows, TheReadCountLabelShowsPlainText) {
    VirtualClock clock;
    sim::InstrumentSim instrument{sim::Scenario{}};
    SimSerialLine line(instrument, clock);
    FakeDialogs dialogs;
    MainWindow window(line, clock, {}, dialogs);
    const auto* progressLabel = window.findChild<QLabel*>("progressLabel");
    ASSERT_NE(progressLabel, nullptr);
    EXPECT_EQ(progressLabel->textFormat(), Qt::PlainText);
}

TEST(HostileWindows, TheWindowIconAndTheAboutPictureAreThere) {
    VirtualClock clock;
    sim::InstrumentSim instrument{sim::Scenario{}};
    SimSerialLine line(instrument, clock);
    FakeDialogs dialogs;
    MainWindow window(line, clock, {}, dialogs);
    EXPECT_FALSE(window.windowIcon().isNull());
    AboutDialog about;
    const auto* picture = about.findChild<QLabel*>("programIcon");
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());
}

TEST(HostileWindows, ProductionModeLooksAtTheFirstArgumentAsGiven) {
    struct Case {
        std::vector<const char*> argv;
        bool production;
    } const cases[] = {
        {{"logdump", "G"}, true},
        {{"logdump", "graph", "-style", "fusion"}, true},
        {{"logdump", "-style", "fusion", "G"}, false},
        {{"logdump", "-platform", "offscreen", "GRAPH"}, false},
        {{"logdump"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argv.back());
        SimRig rig;
        startMainWindow(rig.app, argumentsAsGiven(static_cast<int>(c.argv.size()), c.argv.data()));
        EXPECT_EQ(rig.app.session().productionMode, c.production);
    }
}
