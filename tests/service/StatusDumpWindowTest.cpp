#include "NamedChild.h"
#include "SimRig.h"
#include "widgets/status/StatusDumpDialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

sim::Scenario withReport(const std::string& report) {
    sim::Scenario s;
    s.dumpReport = report;
    return s;
}

// Shows the window and waits (on events, not on time) for its activation to finish.
bool showAndWaitForReport(SimRig& rig, StatusDumpDialog& window) {
    const size_t before = rig.dialogs.events.size();
    window.show();
    return QTest::qWaitFor([&] { return rig.dialogs.events.size() > before; }, 5000);
}

size_t dpsSent(const SimRig& rig) {
    size_t n = 0;
    for (const auto& r : rig.instrument.received())
        n += r.line == "DPS";
    return n;
}

} // namespace

TEST(StatusDumpWindow, ShowingFetchesTheReportIntoTheMemoAndFocusesCopy) {
    SimRig rig(withReport("Battery: 6.1 V\r\n\r\nSelf test: passed\r\n"));
    StatusDumpDialog window(rig.app.line(), rig.dialogs);
    EXPECT_EQ(window.windowTitle(), "VELKOR - Virelon Instrument Status Dump");
    EXPECT_EQ(namedChild<QPlainTextEdit>(window, "reportEdit")->geometry(),
              QRect(24, 16, 305, 489));
    EXPECT_EQ(namedChild<QPushButton>(window, "copyButton")->text(), "Copy to clipboard");
    EXPECT_EQ(namedChild<QPushButton>(window, "sendMailButton")->text(), "Send as mail");
    EXPECT_FALSE(namedChild<QPlainTextEdit>(window, "reportEdit")->isReadOnly());

    ASSERT_TRUE(showAndWaitForReport(rig, window));
    EXPECT_EQ(namedChild<QPlainTextEdit>(window, "reportEdit")->toPlainText(),
              "Battery: 6.1 V\n\nSelf test: passed");
    EXPECT_EQ(window.focusWidget(), namedChild<QPushButton>(window, "copyButton"));
    EXPECT_FALSE(namedChild<QPushButton>(window, "sendMailButton")->isVisible());
    EXPECT_EQ(dpsSent(rig), 1u);
    window.hide();
}

TEST(StatusDumpWindow, EachShowingRunsOneFreshExchange) {
    SimRig rig(withReport("report\r\n"));
    StatusDumpDialog window(rig.app.line(), rig.dialogs);
    ASSERT_TRUE(showAndWaitForReport(rig, window));
    namedChild<QPlainTextEdit>(window, "reportEdit")->appendPlainText(QStringLiteral("note"));
    window.hide();
    ASSERT_TRUE(showAndWaitForReport(rig, window));
    EXPECT_EQ(namedChild<QPlainTextEdit>(window, "reportEdit")->toPlainText(), "report");
    // Nothing more runs while the window simply stays open.
    QTest::qWait(50);
    EXPECT_EQ(dpsSent(rig), 2u);
    EXPECT_EQ(rig.dialogs.events.size(), 2u);
    window.hide();
}

TEST(StatusDumpWindow, CopyPutsTheMemoAsEditedOnTheClipboardAsPlainText) {
    SimRig rig(withReport("line 1\r\nline 2\r\n"));
    StatusDumpDialog window(rig.app.line(), rig.dialogs);
    ASSERT_TRUE(showAndWaitForReport(rig, window));
    namedChild<QPlainTextEdit>(window, "reportEdit")
        ->appendPlainText(QStringLiteral("Customer: road 7 & more"));
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(namedChild<QPushButton>(window, "copyButton"), Qt::LeftButton);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->text(), "line 1\nline 2\nCustomer: road 7 & more");
    EXPECT_FALSE(mime->hasHtml());
    // The mail link reads the memo as the user left it too.
    EXPECT_EQ(window.core().mailLink(), "mailto:service@virelon.example?Subject=Testmail&Body="
                                        "line%201%0D%0Aline%202%0D%0ACustomer%3A%20road%207%20%26%"
                                        "20more");
    window.hide();
}
