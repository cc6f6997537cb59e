#include "NamedChild.h"
#include "SimRig.h"
#include "app/Commands.h"
#include "app/HandlerGuard.h"
#include "graph/SectionsModel.h"
#include "widgets/graph/GraphDialog.h"
#include "widgets/graph/SectionsPanel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <gtest/gtest.h>

namespace {

// Every test starts with empty user settings in a folder of its own.
class SectionsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_settings.isValid());
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, m_settings.path());
    }

    QTemporaryDir m_settings;
};

// An RVM600PK log of two runs; the second ends in three low-battery records. With
// lateSection, two more records after the stop make a section without readings.
void loadPk(App& app, bool lateSection = false) {
    app.session().model = &modelNamed("RVM600PK");
    app.session().serialLine = "s/n: 4711";
    LogTable& t = app.table();
    t.setCols(8);
    const int records = 40;
    t.setRows(records + 1 + (lateSection ? 2 : 0));
    const char* headers[] = {"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"};
    for (int c = 0; c < 8; ++c)
        t.setCell(c, 0, headers[c]);
    for (int row = 1; row <= records; ++row) {
        const bool second = row > 20;
        const bool lowBat = row > records - 3; // 38 to 40: the stop at 40
        t.setCell(0, row, std::to_string(row));
        t.setCell(1, row, "12.05.26 10:" + std::to_string(10 + row) + ":00");
        // Run 1 well above R2 and around Q2; run 2 just under R3 and above Q3.
        t.setCell(2, row, std::to_string(second ? 130 + (row * 7) % 25 : 240 + (row * 13) % 60));
        t.setCell(3, row, std::to_string(second ? 135 + (row * 5) % 20 : 92 + (row * 3) % 16));
        t.setCell(4, row, lowBat ? "16" : row == 7 ? "1" : "0");
        t.setCell(5, row, lowBat ? "16" : "0");
        t.setCell(6, row, second ? "N7-east" : "N7-west");
        t.setCell(7, row, std::to_string(second ? row - 20 : row));
    }
    for (int row = records + 1; lateSection && row <= records + 2; ++row) {
        for (int c : {2, 3})
            t.setCell(c, row, "150");
        for (int c : {4, 5})
            t.setCell(c, row, "0");
        t.setCell(0, row, std::to_string(row));
        t.setCell(1, row, "12.05.26 11:00:00");
        t.setCell(6, row, "N8");
        t.setCell(7, row, std::to_string(row - records));
    }
}

struct Window {
    explicit Window(App& app) : window(app.table(), app.session(), app.statistics(), app.dialogs()) {
        window.setLocale(QLocale::c());
    }
    void build() {
        window.show();
        QApplication::processEvents();
        namedChild<QPushButton>(window, "showGraphButton")->click();
        QApplication::processEvents();
    }
    void showLevel(bool shown) {
        window.sections()->showLevelBox()->setChecked(shown);
        QApplication::processEvents();
    }
    std::vector<std::string> row(int r) const {
        std::vector<std::string> texts;
        const SectionsModel* m = window.sections()->model();
        for (int c = 0; c < m->columnCount(); ++c)
            texts.push_back(m->index(r, c).data().toString().toStdString());
        return texts;
    }
    GraphDialog window;
};

} // namespace

TEST_F(SectionsWindow, TableFollowsTheBuildAndTheRequiredClass) {
    SimRig rig;
    loadPk(rig.app);
    Window w(rig.app);
    QAbstractItemModelTester tester(w.window.sections()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(w.window.sections()->model()->rowCount(), 0);
    w.build();

    // Row 7 has an Rl error; the third low-battery record (40) stops both series.
    ASSERT_EQ(w.window.sections()->model()->rowCount(), 6);
    EXPECT_EQ(w.row(0), (std::vector<std::string>{"Rl", "N7-west", "19", "1", "268.4", "17.8",
                                                  "242", "297", "0", "0.0", "R4", "R2", "pass"}));
    EXPECT_EQ(w.row(2)[1], "ALL");
    EXPECT_EQ(w.row(2)[2], "38");
    EXPECT_EQ(w.row(2)[3], "2");
    EXPECT_EQ(w.row(3)[0], "Qd");
    EXPECT_EQ(w.row(3)[12], "fail"); // run 1 just under Q2 on average
    EXPECT_EQ(w.row(4)[12], "pass");

    // The chart opens without the levels; asked for, they are drawn.
    QLineSeries* rlLine = w.window.levelLine(Quantity::Rl);
    EXPECT_FALSE(w.window.sections()->showLevelBox()->isChecked());
    EXPECT_FALSE(rlLine->isVisible());
    EXPECT_FALSE(w.window.levelLine(Quantity::Qd)->isVisible());
    w.showLevel(true);
    ASSERT_TRUE(rlLine->isVisible());
    EXPECT_EQ(rlLine->points(), (QList<QPointF>{{1, 100}, {39, 100}}));
    // A stricter class: the rows and the line follow; a level inside the readings leaves the
    // axes as they are.
    const auto leftRange = std::pair(w.window.leftAxis()->min(), w.window.leftAxis()->max());
    w.window.sections()->requiredBox(Quantity::Rl)->setCurrentIndex(3); // R3
    QApplication::processEvents();
    EXPECT_EQ(w.row(1)[11], "R3");
    EXPECT_EQ(w.row(1)[12], "fail");
    EXPECT_EQ(rlLine->points(), (QList<QPointF>{{1, 150}, {39, 150}}));
    EXPECT_EQ(std::pair(w.window.leftAxis()->min(), w.window.leftAxis()->max()), leftRange);

    // The legend names the measured series only.
    int markers = 0;
    for (QLegendMarker* marker : w.window.chart()->legend()->markers())
        markers += marker->isVisible() ? 1 : 0;
    EXPECT_EQ(markers, 2);

    // No line for a hidden series or for a class without requirement.
    namedChild<QCheckBox>(w.window, "showRlBox")->setChecked(false);
    QApplication::processEvents();
    EXPECT_FALSE(rlLine->isVisible());
    EXPECT_TRUE(w.window.levelLine(Quantity::Qd)->isVisible());
    w.window.sections()->requiredBox(Quantity::Qd)->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_FALSE(w.window.levelLine(Quantity::Qd)->isVisible());

    // Without the low-battery stop every record of run 2 counts.
    namedChild<QCheckBox>(w.window, "stopOnLowBatBox")->setChecked(false);
    QApplication::processEvents();
    EXPECT_EQ(w.row(2)[2], "39");
    EXPECT_EQ(w.row(2)[3], "1");
}

TEST_F(SectionsWindow, ALevelOutsideTheReadingsIsBroughtIntoView) {
    SimRig rig;
    loadPk(rig.app);
    Window w(rig.app);
    // Qd readings reach 154: Q4 (160) lies above them, and every section fails it.
    w.window.sections()->requiredBox(Quantity::Qd)->setCurrentIndex(4);
    w.build();
    QValueAxis* qdAxis = w.window.rightAxis();
    QLineSeries* qdLine = w.window.levelLine(Quantity::Qd);
    EXPECT_LT(qdAxis->max(), 160);
    EXPECT_FALSE(qdLine->isVisible());
    EXPECT_EQ(w.row(5)[12], "fail");

    struct Step {
        const char* name;
        std::function<void()> act;
        bool lineShown;
        bool levelInView;
    } const steps[] = {
        {"checked", [&] { w.showLevel(true); }, true, true},
        {"Qd hidden", [&] { namedChild<QCheckBox>(w.window, "showQdBox")->setChecked(false); },
         false, false},
        {"Qd shown again", [&] { namedChild<QCheckBox>(w.window, "showQdBox")->setChecked(true); },
         true, true},
        {"cleared", [&] { w.showLevel(false); }, false, false},
        {"checked, then the window opened again",
         [&] {
             w.showLevel(true);
             w.window.hide();
             w.build();
         },
         false, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        QApplication::processEvents();
        EXPECT_EQ(qdLine->isVisible(), step.lineShown);
        EXPECT_EQ(qdAxis->max() >= 160, step.levelInView) << qdAxis->max();
        if (step.lineShown) {
            EXPECT_EQ(qdLine->points().first().y(), 160);
            EXPECT_TRUE(qdLine->attachedAxes().contains(qdAxis));
        }
        // Rl's level (R2 = 100) lies within its readings: its axis never moves for it.
        EXPECT_LE(w.window.leftAxis()->min(), 130);
    }
    EXPECT_FALSE(w.window.sections()->showLevelBox()->isChecked());
}

TEST_F(SectionsWindow, ASectionWithoutReadingsHasNoVerdict) {
    SimRig rig;
    loadPk(rig.app, true);
    Window w(rig.app);
    w.build();
    // N8 lies wholly after the low-battery stop: both of its records are left out.
    ASSERT_EQ(w.window.sections()->model()->rowCount(), 8);
    for (int row : {2, 6}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(w.row(row),
                  (std::vector<std::string>{row == 2 ? "Rl" : "Qd", "N8", "0", "2", "", "", "", "",
                                            "", "", "", row == 2 ? "R2" : "Q2", "no data"}));
        EXPECT_EQ(w.window.sections()->model()->index(row, 12).data(Qt::ForegroundRole),
                  QVariant(QColor(128, 128, 128)));
    }
    EXPECT_EQ(w.row(3)[12], "pass");
}

TEST_F(SectionsWindow, RequiredClassIsRememberedPerUser) {
    SimRig rig;
    {
        Window w(rig.app);
        EXPECT_EQ(w.window.sections()->required(), (RequiredClasses{2, 2}));
        w.window.sections()->requiredBox(Quantity::Rl)->setCurrentIndex(4);
        w.window.sections()->requiredBox(Quantity::Qd)->setCurrentIndex(3);
    }
    Window again(rig.app);
    EXPECT_EQ(again.window.sections()->required(), (RequiredClasses{4, 3}));
    EXPECT_EQ(again.window.sections()->requiredBox(Quantity::Qd)->currentText(),
              "Q3 (130 mcd/m\u00b2/lx)");
    // Each entry says what it asks for; files keep writing the class's name.
    QStringList entries;
    for (Quantity s : kQuantities) {
        const QComboBox* box = again.window.sections()->requiredBox(s);
        for (int i = 0; i < box->count(); ++i)
            entries << box->itemText(i);
    }
    EXPECT_EQ(entries, (QStringList{"R0 (no requirement)", "R1 (80 mcd/m\u00b2/lx)",
                                    "R2 (100 mcd/m\u00b2/lx)", "R3 (150 mcd/m\u00b2/lx)",
                                    "R4 (200 mcd/m\u00b2/lx)", "R5 (300 mcd/m\u00b2/lx)",
                                    "Q0 (no requirement)", "Q1 (80 mcd/m\u00b2/lx)",
                                    "Q2 (100 mcd/m\u00b2/lx)", "Q3 (130 mcd/m\u00b2/lx)",
                                    "Q4 (160 mcd/m\u00b2/lx)"}));
}

// A 300-record RVM600PK log as read from the instrument, on the screen the test runs on: ctest
// runs it on the default screen and on a 1366 x 768 laptop screen at 100 % and at 125 %.
TEST_F(SectionsWindow, EveryRowCanBeSeenOnTheScreenItOpensOn) {
    sim::Scenario scenario;
    scenario.model = "RVM600PK";
    scenario.count = 300;
    SimRig rig(scenario);
    activateMainWindow(rig.app);
    runGuarded(rig.app.dialogs(), [&] { readLog(rig.app); });
    ASSERT_TRUE(hasGraphRecords(rig.app.table()));
    Window w(rig.app);
    w.build();
    const SectionsModel* model = w.window.sections()->model();
    ASSERT_EQ(model->rowCount(), 62); // 30 sections and the whole log, for Rl and for Qd

    // The window opens within the screen's available area, its frame included.
    const QScreen* screen = w.window.screen();
    ASSERT_NE(screen, nullptr);
    const QRect available = screen->availableGeometry();
    EXPECT_TRUE(available.contains(w.window.frameGeometry()))
        << w.window.frameGeometry().height() << " in " << available.height();
    const QSize frame = w.window.frameGeometry().size() - w.window.size();
    QWidget* panel = w.window.sections();
    // Where the screen has room, everything above the report is as designed; where it lacks
    // height, the chart gives it up and the report keeps its own.
    const bool tallEnough = available.height() >= 694 + std::max(frame.height(), 39);
    const bool wideEnough = available.width() >= 801 + std::max(frame.width(), 16);
    if (tallEnough) {
        EXPECT_EQ(w.window.height(), 694);
        EXPECT_EQ(namedChild<QChartView>(w.window, "chartView")->height(), 457);
    } else {
        EXPECT_LT(namedChild<QChartView>(w.window, "chartView")->height(), 457);
        EXPECT_EQ(panel->height(), 166);
    }
    if (wideEnough) {
        EXPECT_EQ(w.window.width(), 801);
        EXPECT_EQ(namedChild<QChartView>(w.window, "chartView")->geometry().topLeft(),
                  QPoint(16, 16));
        EXPECT_EQ(namedChild<QChartView>(w.window, "chartView")->width(), 577);
    }
    if (tallEnough && wideEnough) {
        EXPECT_EQ(namedChild<QCheckBox>(w.window, "showStatisticsBox")->geometry().topLeft(),
                  QPoint(608, 485));
    }
    EXPECT_EQ(namedChild<QPushButton>(w.window, "showGraphButton")->geometry().top(),
              namedChild<QChartView>(w.window, "chartView")->geometry().bottom() + 16);

    // The table lies wholly inside its panel and the window, with rows to scroll.
    QTableView* table = w.window.sections()->table();
    EXPECT_TRUE(panel->rect().contains(QRect(table->mapTo(panel, QPoint()), table->size())));
    EXPECT_TRUE(w.window.rect().contains(QRect(panel->mapTo(&w.window, QPoint()), panel->size())));
    const int rowHeight = table->verticalHeader()->defaultSectionSize();
    EXPECT_GE(table->viewport()->height() / rowHeight, 4);
    table->scrollToBottom();
    QApplication::processEvents();
    const QModelIndex last = model->index(model->rowCount() - 1, 0);
    const QRect lastRow = table->visualRect(last);
    EXPECT_GE(lastRow.top(), 0);
    EXPECT_LE(lastRow.bottom(), table->viewport()->height() - 1);
    EXPECT_EQ(w.row(model->rowCount() - 1)[0], "Qd");
    EXPECT_EQ(w.row(model->rowCount() - 1)[1], "ALL");

    // Written for the README (docs/): the screen's size in its own pixels and its scaling.
    const double scale = screen->devicePixelRatio();
    const QString name = QStringLiteral("screenshots/graph-sections-%1x%2-%3.png")
                             .arg(qRound(screen->geometry().width() * scale))
                             .arg(qRound(screen->geometry().height() * scale))
                             .arg(qRound(scale * 100));
    QDir().mkpath(QStringLiteral("screenshots"));
    const QString path = QDir::current().filePath(name);
    ASSERT_TRUE(w.window.grab().save(path)) << path.toStdString();

    // A taller window gives the chart and the report more height, not empty space.
    const int chartHeight = namedChild<QChartView>(w.window, "chartView")->height();
    const int tableHeight = table->height();
    w.window.resize(w.window.width(), w.window.height() + 200);
    QApplication::processEvents();
    EXPECT_GT(namedChild<QChartView>(w.window, "chartView")->height(), chartHeight);
    EXPECT_GT(table->height(), tableHeight);
    EXPECT_EQ(namedChild<QPushButton>(w.window, "showGraphButton")->geometry().top(),
              namedChild<QChartView>(w.window, "chartView")->geometry().bottom() + 16);
    EXPECT_TRUE(w.window.rect().contains(QRect(panel->mapTo(&w.window, QPoint()), panel->size())));
}
