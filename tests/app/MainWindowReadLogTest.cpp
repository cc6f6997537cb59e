#include "SimRig.h"
#include "app/App.h"
#include "log/StatusDecoding.h"
#include "text/Cp1252.h"
#include "widgets/main/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

// Answers the next modal box by the given key and keeps its text. The box may come a while
// after the click: the exchange runs on a worker thread.
struct BoxAnswer {
    explicit BoxAnswer(Qt::Key key) : m_key(key) { watch(0); }
    void watch(int attempt) {
        QTimer::singleShot(attempt == 0 ? 0 : 10, [this, attempt] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                if (attempt < 500)
                    watch(attempt + 1);
                return;
            }
            text = box->text();
            QTest::keyClick(box, m_key);
        });
    }
    QString text;

private:
    Qt::Key m_key;
};

struct Window {
    explicit Window(sim::Scenario s) : rig(std::move(s)), window(rig.line, rig.clock, {}) {
        window.show();
        QApplication::processEvents();
        window.activateOnce();
    }
    SimRig rig;
    MainWindow window;
};

} // namespace

TEST(MainWindow, ReadLogShowsTheMarkedLogAsAUserSeesIt) {
    sim::Scenario s;
    s.model = "RVM600PK";
    s.count = 60;
    Window w(s);
    QTest::mouseClick(w.window.readLogButton(), Qt::LeftButton);

    QTableView* grid = w.window.table();
    const QAbstractItemModel* model = grid->model();
    ASSERT_EQ(model->rowCount(), 60);
    const QStringList headers = {"#",     "Date / Time", "Rl",     "Qd",
                                 "RStat", "QStat",       "Seq-Id", "Seq#"};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
    const auto records = sim::generateRecords("RVM600PK", 60, 1);
    EXPECT_EQ(model->index(0, 0).data().toString(), "1");
    EXPECT_EQ(model->index(59, 1).data().toString(),
              QString::fromStdString(records[59].substr(0, records[59].find('\t'))));
    // Every status cell shows its marking colour; a combined record marks its values apart.
    int marked = 0;
    for (int r = 0; r < 60; ++r) {
        for (int statusCol : {4, 5}) {
            const int code = model->index(r, statusCol).data().toInt();
            const QVariant colour = model->index(r, statusCol).data(Qt::ForegroundRole);
            const QVariant valueColour = model->index(r, statusCol - 2).data(Qt::ForegroundRole);
            SCOPED_TRACE(r);
            if (code % 2 != 0) {
                EXPECT_EQ(colour.value<QColor>(), QColor(255, 0, 0));
            } else if (code >= 2) {
                EXPECT_EQ(colour.value<QColor>(), QColor(255, 128, 0));
            } else {
                EXPECT_FALSE(colour.isValid());
            }
            EXPECT_EQ(valueColour, colour);
            marked += colour.isValid();
        }
    }
    EXPECT_GT(marked, 0);

    EXPECT_EQ(w.window.progressLabel()->text(), "60 of 60");
    EXPECT_EQ(w.window.progressBar()->maximum(), 60);
    EXPECT_EQ(w.window.progressBar()->value(), 60);
    EXPECT_TRUE(w.window.readLogButton()->isEnabled());
    EXPECT_TRUE(w.window.saveAsAction()->isEnabled());
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_FALSE(w.window.graphButton()->isVisible());
    // Outside production mode the graph and its sections open from the menu.
    ASSERT_TRUE(w.window.graphAction()->isEnabled());
    EXPECT_EQ(w.window.graphAction()->text(), "&Graph and sections");
    EXPECT_FALSE(w.window.app().session().graphViewed);
    w.window.graphAction()->trigger();
    EXPECT_TRUE(w.window.app().session().graphViewed);
    EXPECT_TRUE(w.window.messages()->toPlainText().contains("s/n: 4711"));
    EXPECT_TRUE(w.window.messages()->toPlainText().contains("Virelon RVM600PK reflectometer"));
    // The newest rows are in view.
    EXPECT_GT(grid->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(grid->verticalScrollBar()->value(), grid->verticalScrollBar()->maximum());

    // A click on a status cell shows its decoding in a plain box.
    const QModelIndex status = model->index(59, 4);
    grid->scrollTo(status);
    // Its hint is plain text, with no markup for a screen reader to read out.
    const QPoint cell = grid->visualRect(status).center();
    QHelpEvent hint(QEvent::ToolTip, cell, grid->viewport()->mapToGlobal(cell));
    QApplication::sendEvent(grid->viewport(), &hint);
    EXPECT_EQ(QToolTip::text(), "Click to see warning/error");
    BoxAnswer decoding(Qt::Key_Return);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(status).center());
    EXPECT_EQ(decoding.text, displayText(decodeStatus(modelNamed("RVM600PK"),
                                                      status.data().toString().toStdString())));

    // Escape on "Data not saved - continue?" keeps the log and sends nothing.
    const size_t sent = w.rig.instrument.received().size();
    BoxAnswer question(Qt::Key_Escape);
    QTest::mouseClick(w.window.readLogButton(), Qt::LeftButton);
    EXPECT_EQ(question.text, "Data not saved - continue?");
    EXPECT_EQ(w.rig.instrument.received().size(), sent);
    EXPECT_EQ(model->rowCount(), 60);
    EXPECT_EQ(w.window.progressLabel()->text(), "60 of 60");
}

TEST(MainWindow, GraphMenuEntryOpensWithTwoRecords) {
    struct Case {
        int records;
        int linesAfter; // lines that are no records, each leaving an empty row
        bool opens;
    } const cases[] = {{1, 0, false}, {1, 2, false}, {2, 0, true}, {3, 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.records) + " / " + std::to_string(c.linesAfter));
        sim::Scenario s;
        s.count = c.records;
        s.trailer.assign(static_cast<size_t>(c.linesAfter), "no record");
        Window w(s);
        QTest::mouseClick(w.window.readLogButton(), Qt::LeftButton);
        ASSERT_EQ(w.window.table()->model()->rowCount(), c.records + c.linesAfter);
        EXPECT_EQ(w.window.graphAction()->isEnabled(), c.opens);
        w.window.graphAction()->trigger();
        EXPECT_EQ(w.window.app().session().graphViewed, c.opens);
    }
}

TEST(MainWindow, RefusedReadLogLeavesReadLogEnabledAndFocused) {
    sim::Scenario s;
    s.handshake = "silent";
    Window w(s);
    w.window.portSelector()->setFocus();
    BoxAnswer refusal(Qt::Key_Return);
    w.window.readLogButton()->click();
    EXPECT_EQ(refusal.text, "No connection with instrument");
    EXPECT_TRUE(w.window.readLogButton()->isEnabled());
    EXPECT_EQ(w.window.focusWidget(), w.window.readLogButton());
    EXPECT_FALSE(w.window.table()->isEnabled());
    EXPECT_EQ(w.window.table()->model()->rowCount(), 1);
}
