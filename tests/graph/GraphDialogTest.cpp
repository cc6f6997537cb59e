#include "widgets/graph/GraphDialog.h"

#include "GraphTestSupport.h"
#include "NamedChild.h"
#include "SimRig.h"
#include "app/Commands.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <gtest/gtest.h>

namespace {

// The graph window over a core whose main window "shows" it when asked.
struct WindowRig {
    WindowRig() {
        window.setLocale(QLocale::c());
        rig.dialogs.onModal = [this](ModalWindow w) {
            if (w == ModalWindow::Graph)
                open();
        };
    }
    void open() {
        window.show();
        QApplication::processEvents();
    }
    void close() {
        window.hide();
        QApplication::processEvents();
    }
    QWidget* control(const char* name) const { return namedChild<QWidget>(window, name); }
    QPushButton* showGraphButton() const {
        return namedChild<QPushButton>(window, "showGraphButton");
    }
    QCheckBox* box(const char* name) const { return namedChild<QCheckBox>(window, name); }
    QString statisticsShown() const {
        return namedChild<QPlainTextEdit>(window, "statisticsView")->toPlainText();
    }
    QString warningsShown() const {
        return namedChild<QPlainTextEdit>(window, "warningsView")->toPlainText();
    }
    bool shown(const char* name) const { return control(name)->isVisibleTo(&window); }
    QString label(const char* name) const { return static_cast<QLabel*>(control(name))->text(); }
    std::vector<std::string> statistics() { return rig.app.statistics().lines(); }
    // Moves the mouse to a point of the chart.
    void moveTo(QPointF chartPos) {
        QChartView* view = namedChild<QChartView>(window, "chartView");
        const QPointF local = view->viewportTransform().map(window.chart()->mapToScene(chartPos));
        QMouseEvent move(QEvent::MouseMove, local, view->viewport()->mapToGlobal(local),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
    }

    SimRig rig;
    GraphDialog window{rig.app.table(), rig.app.session(), rig.app.statistics(), rig.dialogs};
};

std::vector<Rec> records(int n) {
    std::vector<Rec> recs;
    for (int i = 0; i < n; ++i)
        recs.push_back({std::to_string(240 + i % 20), "0", std::to_string(150 + i % 10), "0"});
    return recs;
}

} // namespace

TEST(GraphWindow, OpensFromTheMainWindowWithTwoRecordsOrMore) {
    struct Case {
        int records;
        int emptyRows; // left by lines without a record
        bool opens;
    } const cases[] = {{0, 1, false}, {0, 2, false}, {1, 0, false},
                       {1, 1, false}, {2, 0, true},  {30, 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.records) + " / " + std::to_string(c.emptyRows));
        WindowRig w;
        loadTable(w.rig.app, "RVM600", records(c.records), c.emptyRows);
        openGraph(w.rig.app);
        EXPECT_EQ(w.rig.app.session().graphViewed, c.opens);
        EXPECT_EQ(w.rig.dialogs.events,
                  c.opens ? std::vector<std::string>{"modal: Graph"} : std::vector<std::string>{});
        EXPECT_EQ(w.window.isVisible(), c.opens);
        if (c.opens) {
            EXPECT_EQ(w.window.chart()->title(), "RVM600 s/n 4711");
        }
    }
}

TEST(GraphWindow, SetUpPerModel) {
    using Names = std::vector<std::string>;
    const Names controls = {"showRlBox", "showQdBox",      "rlAlarmCaption", "rlAlarmLabel",
                            "rlReadout", "qdAlarmCaption", "qdAlarmLabel",   "qdReadout"};
    struct Case {
        const char* model;
        bool rl, qd, qdOnRight;
        const char* leftTitle;
        Names shown;
    } const cases[] = {
        {"RVM600PK", true, true, true, "Rl", controls},
        {"RVM600", true, false, true, "Rl", {"rlAlarmCaption", "rlAlarmLabel", "rlReadout"}},
        {"VX40", false, true, false, "Qd", {"qdAlarmCaption", "qdAlarmLabel", "qdReadout"}},
        {"?", false, false, true, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        WindowRig w;
        loadTable(w.rig.app, c.model, records(20));
        w.rig.app.statistics().addLine("old report");
        w.open();
        EXPECT_EQ(w.window.chart()->title(), QString::fromLatin1(c.model) + " s/n 4711");
        EXPECT_TRUE(w.statistics().empty());
        EXPECT_TRUE(w.showGraphButton()->isEnabled());
        EXPECT_TRUE(w.showGraphButton()->hasFocus());
        EXPECT_EQ(w.label("rlAlarmLabel"), "---");
        EXPECT_EQ(w.label("qdAlarmLabel"), "---");
        // The hints are plain text, as a screen reader passes them on.
        for (const char* name :
             {"rlAlarmCaption", "rlAlarmLabel", "qdAlarmCaption", "qdAlarmLabel"})
            EXPECT_EQ(w.control(name)->toolTip(), "Stops on the third following low bat alarm")
                << name;
        for (const QWidget* widget : w.window.findChildren<QWidget*>())
            EXPECT_FALSE(Qt::mightBeRichText(widget->toolTip()))
                << widget->objectName().toStdString();
        EXPECT_EQ(w.window.series(Quantity::Rl)->isVisible(), c.rl);
        EXPECT_EQ(w.window.series(Quantity::Qd)->isVisible(), c.qd);
        EXPECT_EQ(w.window.series(Quantity::Qd)->attachedAxes().contains(w.window.rightAxis()),
                  c.qdOnRight);
        EXPECT_EQ(w.window.series(Quantity::Qd)->attachedAxes().contains(w.window.leftAxis()),
                  !c.qdOnRight);
        EXPECT_EQ(w.window.rightAxis()->isVisible(), c.qd && c.qdOnRight);
        EXPECT_EQ(w.window.leftAxis()->titleText(), c.leftTitle);
        if (c.qd && c.qdOnRight) {
            EXPECT_EQ(w.window.rightAxis()->titleText(), "Qd");
        }
        EXPECT_EQ(w.window.series(Quantity::Qd)->pen().color(), QColor(0, 0, 255));
        for (const std::string& name : controls) {
            const bool shown = std::find(c.shown.begin(), c.shown.end(), name) != c.shown.end();
            EXPECT_EQ(w.shown(name.c_str()), shown) << name;
        }
    }
}

TEST(GraphWindow, ShowGraphBuildsOnceUntilReopened) {
    WindowRig w;
    loadTable(w.rig.app, "RVM600PK", records(20));
    w.open();
    ASSERT_TRUE(w.showGraphButton()->isEnabled());
    w.showGraphButton()->click();
    EXPECT_FALSE(w.showGraphButton()->isEnabled());
    EXPECT_EQ(w.window.series(Quantity::Rl)->count(), 20);
    EXPECT_EQ(w.window.series(Quantity::Qd)->count(), 20);
    EXPECT_EQ(w.window.bottomAxis()->min(), 1);
    EXPECT_EQ(w.window.bottomAxis()->max(), 20);
    EXPECT_LE(w.window.leftAxis()->min(), 240);
    EXPECT_GE(w.window.leftAxis()->max(), 259);
    EXPECT_LE(w.window.rightAxis()->min(), 150);
    EXPECT_GE(w.window.rightAxis()->max(), 159);
    ASSERT_FALSE(w.rig.app.statistics().empty());
    EXPECT_EQ(w.statisticsShown().split('\n').size(),
              static_cast<qsizetype>(w.rig.app.statistics().lines().size()));
    EXPECT_EQ(w.statisticsShown().split('\n').first(), "Rl statistics:");

    // Hiding Rl leaves the points and the axis; the right axis goes with Qd.
    w.box("showQdBox")->setChecked(false);
    EXPECT_FALSE(w.window.series(Quantity::Qd)->isVisible());
    EXPECT_FALSE(w.window.rightAxis()->isVisible());
    EXPECT_FALSE(w.shown("qdReadout"));
    EXPECT_EQ(w.window.series(Quantity::Qd)->count(), 20);
    w.box("showRlBox")->setChecked(false);
    EXPECT_FALSE(w.window.series(Quantity::Rl)->isVisible());
    EXPECT_FALSE(w.shown("rlReadout"));
    w.box("showRlBox")->setChecked(true);
    EXPECT_TRUE(w.window.series(Quantity::Rl)->isVisible());
    EXPECT_TRUE(w.shown("rlReadout"));
    EXPECT_EQ(w.window.series(Quantity::Rl)->count(), 20);

    w.close();
    w.open();
    EXPECT_TRUE(w.showGraphButton()->isEnabled());
    EXPECT_EQ(w.window.series(Quantity::Rl)->count(), 0);
    EXPECT_TRUE(w.statisticsShown().isEmpty());
    EXPECT_TRUE(w.window.series(Quantity::Qd)->isVisible());
    EXPECT_FALSE(w.box("showQdBox")->isChecked());
}

TEST(GraphWindow, ConversionErrorGoesToTheErrorBox) {
    WindowRig w;
    auto recs = records(5);
    recs[3].value = "4,5";
    loadTable(w.rig.app, "RVM600", recs);
    w.open();
    w.showGraphButton()->click();
    EXPECT_EQ(w.rig.dialogs.events, std::vector<std::string>{"error: '4,5' is not a valid integer "
                                                             "value."});
    EXPECT_EQ(w.window.series(Quantity::Rl)->count(), 3);
    EXPECT_TRUE(w.statisticsShown().isEmpty());
}

TEST(GraphWindow, StatisticsMemoFollowsTheBoxAndStopsAtAFailure) {
    using Lines = std::vector<std::string>;
    struct Case {
        const char* name;
        std::vector<std::string> values;
        bool statisticsBox;
        Lines statistics;
        Lines events;
    } const cases[] = {
        {"written",
         {"250", "251", "252"},
         true,
         {"Rl statistics:", "Value 250 Count: 1", "Value 251 Count: 1", "Value 252 Count: 1",
          "  Rl Dev: 0.8%", "Rl V alarm: ---"},
         {}},
        {"\"Show Statistics\" unchecked", {"250", "251", "252"}, false, {}, {}},
        {"first value 0: the spread is not measured, no box",
         {"0", "5", "0"},
         true,
         {"Rl statistics:", "Value 0 Count: 2", "Value 5 Count: 1", "  Rl Dev: ---",
          "Rl V alarm: ---"},
         {}},
        {"failure after the heading",
         {"abc", "5", "0"},
         true,
         {"Rl statistics:"},
         {"error: 'abc' is not a valid integer value."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WindowRig w;
        std::vector<Rec> recs;
        for (const std::string& value : c.values)
            recs.push_back({value, "0"});
        loadTable(w.rig.app, "RVM600", recs);
        w.box("showStatisticsBox")->setChecked(c.statisticsBox);
        w.open();
        w.showGraphButton()->click();
        EXPECT_EQ(w.window.series(Quantity::Rl)->count(), 3);
        EXPECT_EQ(w.statistics(), c.statistics);
        QStringList shown;
        for (const std::string& line : c.statistics)
            shown << QString::fromStdString(line);
        EXPECT_EQ(w.statisticsShown(), shown.join('\n'));
        EXPECT_EQ(w.rig.dialogs.events, c.events);
    }
}

TEST(GraphWindow, ABuildNeverAddsToAnEarlierOne) {
    WindowRig w;
    loadTable(w.rig.app, "RVM600", withStatuses({"2", "0", "16", "16", "16"}));
    w.open();
    // Each change of the box rebuilds at once.
    w.box("stopOnLowBatBox")->setChecked(false);
    EXPECT_EQ(w.window.series(Quantity::Rl)->count(), 5);
    w.box("stopOnLowBatBox")->setChecked(true);
    const QList<QPointF> points = w.window.series(Quantity::Rl)->points();
    const QString warnings = w.warningsShown();
    const std::vector<std::string> report = w.statistics();
    ASSERT_EQ(points.size(), 4);
    ASSERT_FALSE(report.empty());
    // "Show Graph" is still enabled after the box changed: a second build replaces the first.
    ASSERT_TRUE(w.showGraphButton()->isEnabled());
    w.showGraphButton()->click();
    EXPECT_EQ(w.window.series(Quantity::Rl)->points(), points);
    EXPECT_EQ(w.warningsShown(), warnings);
    EXPECT_EQ(w.warningsShown(), "Rl warn / error in line: 1");
    EXPECT_EQ(w.statistics(), report);
}

TEST(GraphWindow, LowBatBoxRebuildsAndWarningsShow) {
    WindowRig w;
    auto recs = records(10);
    for (int i : {1, 3, 4, 5})
        recs[static_cast<size_t>(i)].stat = "16";
    recs[2].stat = "2";
    loadTable(w.rig.app, "RVM600", recs);
    w.open();
    w.showGraphButton()->click();
    EXPECT_EQ(w.window.series(Quantity::Rl)->count(), 4);
    EXPECT_EQ(w.label("rlAlarmLabel"), "5");
    EXPECT_EQ(w.warningsShown(), "Rl warn / error in line: 3");
    w.box("stopOnLowBatBox")->setChecked(false);
    EXPECT_EQ(w.window.series(Quantity::Rl)->count(), 10);
    EXPECT_EQ(w.label("rlAlarmLabel"), "---");
    EXPECT_EQ(w.warningsShown(), "Rl warn / error in line: 3");
}

TEST(GraphWindow, CursorReadoutInsideAndOutsideThePlot) {
    for (const char* model : {"RVM600PK", "VX40"}) {
        SCOPED_TRACE(model);
        WindowRig w;
        loadTable(w.rig.app, model, records(20));
        w.open();
        w.showGraphButton()->click();
        QApplication::processEvents();
        const QRectF plot = w.window.chart()->plotArea();
        ASSERT_GT(plot.width(), 100);

        const bool vx40 = std::string(model) == "VX40";
        const QPointF at = w.window.chart()->mapToPosition(QPointF(7.2, 250.7),
                                                           vx40 ? w.window.series(Quantity::Qd)
                                                                : w.window.series(Quantity::Rl));
        ASSERT_TRUE(plot.contains(at));
        w.moveTo(at);
        EXPECT_TRUE(w.window.crossShown());
        if (vx40) {
            EXPECT_EQ(w.label("qdReadout"), "Qd:  251 #:    7");
            EXPECT_TRUE(w.label("rlReadout").startsWith("Rl: "));
        } else {
            EXPECT_EQ(w.label("rlReadout"), "Rl:  251 #:    7");
            EXPECT_TRUE(w.label("qdReadout").startsWith("Qd: "));
        }

        w.moveTo(QPointF(plot.right(), plot.center().y()));
        EXPECT_FALSE(w.window.crossShown());
        EXPECT_EQ(w.label("rlReadout"), "");
        EXPECT_EQ(w.label("qdReadout"), "");
        w.moveTo(plot.topLeft());
        EXPECT_TRUE(w.window.crossShown());
    }
}

TEST(GraphWindow, CursorReadoutOnlyInsideThePlotWithItsLeftAndTopEdges) {
    WindowRig w;
    loadTable(w.rig.app, "RVM600PK", records(20));
    w.open();
    w.showGraphButton()->click();
    QApplication::processEvents();
    const QRectF plot = w.window.chart()->plotArea();
    ASSERT_GT(plot.width(), 100);
    struct Case {
        const char* name;
        QPointF at;
        bool inside;
    } const cases[] = {
        {"top left corner", plot.topLeft(), true},
        {"just inside the bottom right corner", plot.bottomRight() - QPointF(0.5, 0.5), true},
        {"right edge", {plot.right(), plot.center().y()}, false},
        {"bottom edge", {plot.center().x(), plot.bottom()}, false},
        {"left of the left edge", {plot.left() - 0.5, plot.center().y()}, false},
        {"above the top edge", {plot.center().x(), plot.top() - 0.5}, false},
        {"corner of the chart", {0, 0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w.moveTo(plot.center()); // a cross-hair is up
        ASSERT_TRUE(w.window.crossShown());
        w.moveTo(c.at);
        EXPECT_EQ(w.window.crossShown(), c.inside);
        EXPECT_EQ(w.label("rlReadout").startsWith("Rl: "), c.inside);
        EXPECT_EQ(w.label("qdReadout").startsWith("Qd: "), c.inside);
        if (!c.inside) {
            EXPECT_EQ(w.label("rlReadout"), "");
            EXPECT_EQ(w.label("qdReadout"), "");
        }
    }
    // Leaving the chart clears the readout.
    w.moveTo(plot.center());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(namedChild<QChartView>(w.window, "chartView")->viewport(), &leave);
    EXPECT_FALSE(w.window.crossShown());
    EXPECT_EQ(w.label("rlReadout"), "");
    EXPECT_EQ(w.label("qdReadout"), "");
}

TEST(GraphWindow, ClientAreaLegendColoursAndPlainLabels) {
    WindowRig w;
    loadTable(w.rig.app, "RVM600PK", records(20));
    w.open();
    // The client area, grown below the check boxes by the sections panel; as wide as designed
    // where the screen has room (SectionsWindow.EveryRowCanBeSeenOnTheScreenItOpensOn).
    EXPECT_EQ(w.window.height(), 694);
    EXPECT_LE(w.window.width(), 801);
    // Qd: the series' own colour in the legend, its line blue.
    const QList<QLegendMarker*> markers =
        w.window.chart()->legend()->markers(w.window.series(Quantity::Qd));
    ASSERT_EQ(markers.size(), 1);
    EXPECT_EQ(markers.first()->brush().color(), QColor(0, 128, 0));
    EXPECT_EQ(w.window.series(Quantity::Qd)->pen().color(), QColor(0, 0, 255));
    // Statistics and readouts may carry instrument text: never markup.
    for (const QLabel* label : w.window.findChildren<QLabel*>()) {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}
