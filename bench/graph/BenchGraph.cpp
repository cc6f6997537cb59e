// Times the graph window: a build with its statistics, headless and drawn, for 2000 and 100000
// data rows, and the statistics alone for wide value ranges. Prints milliseconds.
//
//   bench_graph                      print the figures
//   bench_graph --screenshots DIR    save the window for an RVM600PK and a VX40 log as PNG files
//   bench_graph --show MODEL SECONDS show the window with a built graph for a screen capture

#include "InstrumentSim.h"
#include "SimRig.h"
#include "app/App.h"
#include "app/HandlerGuard.h"
#include "graph/GraphBuild.h"
#include "graph/StatisticsReport.h"
#include "log/LogTable.h"
#include "text/Clock.h"
#include "widgets/graph/GraphDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

// Nothing behind the procedures but the graph: the test rig's simulator and fakes, unused.
struct Core {
    SimRig rig;
    App& app = rig.app;
};

// Fills the table as the download does, from record lines of the simulated instrument.
void loadRecords(App& app, const std::string& model, const std::vector<std::string>& records) {
    app.session().model = &modelNamed(model);
    app.session().serialLine = "s/n: 4711";
    const bool combined = model == "RVM600PK";
    LogTable& t = app.table();
    t.setCols(combined ? 8 : 6);
    t.setRows(static_cast<int>(records.size()) + 1);
    const char* headers8[] = {"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"};
    const char* headers6[] = {"#",    "Date / Time", model == "VX40" ? "Qd" : "Rl",
                              "Stat", "Seq-Id",      "Seq#"};
    for (int c = 0; c < t.cols(); ++c)
        t.setCell(c, 0, combined ? headers8[c] : headers6[c]);
    for (size_t i = 0; i < records.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        t.setCell(0, row, std::to_string(row));
        const QStringList fields = QString::fromStdString(records[i]).split('\t');
        for (int f = 0; f < fields.size() && f + 1 < t.cols(); ++f)
            t.setCell(f + 1, row, fields[f].toStdString());
    }
}

// Single-value records with values spread evenly over [base, base + width).
std::vector<std::string> spreadRecords(int count, int64_t base, int64_t width, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int64_t v = i == 0 ? base : base + static_cast<int64_t>(rng() % uint64_t(width));
        lines.push_back("12.03.2005 08:00:00\t" + std::to_string(v) + "\t0\tS1\t1");
    }
    return lines;
}

double timeMs(const std::function<void()>& work, int repeats) {
    std::vector<double> times;
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void benchHeadless(const char* name, const std::string& model,
                   const std::vector<std::string>& records) {
    Core core;
    loadRecords(core.app, model, records);
    const InstrumentModel& instrument = *core.app.session().model;
    GraphBuild build;
    StatisticsReport report;
    const double built = timeMs(
        [&] {
            build = buildGraph(core.app.table(), instrument, GraphOptions());
            report = statisticsReport(build, QLocale());
        },
        7);
    const double stats = timeMs([&] { report = statisticsReport(build, QLocale()); }, 7);
    std::printf("%-44s build+statistics %8.2f ms   statistics %7.3f ms   (%zu report lines)\n",
                name, built, stats, report.lines.size());
}

void benchWindow(const char* name, const std::string& model,
                 const std::vector<std::string>& records) {
    Core core;
    loadRecords(core.app, model, records);
    GraphDialog window(core.app.table(), core.app.session(), core.app.statistics(), core.app.dialogs());
    window.show();
    QApplication::processEvents();
    const double drawn = timeMs(
        [&] {
            window.activate();
            window.findChild<QPushButton*>(QStringLiteral("showGraphButton"))->click();
            QApplication::processEvents();
            (void)window.grab();
        },
        5);
    std::printf("%-44s window build+draw  %8.2f ms\n", name, drawn);
    window.hide();
}

std::vector<std::string> simRecords(const std::string& model, int count) {
    return sim::generateRecords(model, count, 7);
}

int runBench() {
    std::printf("Graph build (headless logic, statistics included; median of 7)\n");
    for (int rows : {2000, 100000}) {
        const std::string n = std::to_string(rows);
        benchHeadless(("RVM600 simulated, " + n + " rows").c_str(), "RVM600",
                      simRecords("RVM600", rows));
        benchHeadless(("RVM600PK simulated, " + n + " rows").c_str(), "RVM600PK",
                      simRecords("RVM600PK", rows));
        benchHeadless(("RVM600 5 % spread, " + n + " rows").c_str(), "RVM600",
                      spreadRecords(rows, 100000, 5000, 3));
    }
    std::printf("\nStatistics over wide ranges (the walk over every whole number would hang)\n");
    for (int rows : {2000, 100000}) {
        // First value 2000000000, the others down to 10 % below it.
        auto recs = spreadRecords(rows, 1800000000, 200000001, 5);
        recs[0] = "12.03.2005 08:00:00\t2000000000\t0\tS1\t1";
        recs[1] = "12.03.2005 08:00:00\t1800000000\t0\tS1\t1";
        benchHeadless(("F 2000000000, 10 % spread, " + std::to_string(rows) + " rows").c_str(),
                      "RVM600", recs);
    }
    {
        // The first value negative, the rest over the whole 32-bit range.
        auto recs = spreadRecords(2000, -2147483648LL, 4294967296LL, 9);
        recs[0] = "12.03.2005 08:00:00\t-2000000000\t0\tS1\t1";
        recs[1] = "12.03.2005 08:00:00\t2147483647\t0\tS1\t1";
        recs[2] = "12.03.2005 08:00:00\t-2147483648\t0\tS1\t1";
        benchHeadless("F negative, full 32-bit range, 2000 rows", "RVM600", recs);
        auto wide = spreadRecords(100000, -2147483648LL, 4294967296LL, 11);
        wide[0] = recs[0];
        benchHeadless("F negative, full 32-bit range, 100000 rows", "RVM600", wide);
    }
    std::printf("\nGraph window (Qt Charts, offscreen; set-up, build, layout and one paint; "
                "median of 5)\n");
    for (int rows : {2000, 100000}) {
        const std::string n = std::to_string(rows);
        benchWindow(("RVM600 simulated, " + n + " rows").c_str(), "RVM600",
                    simRecords("RVM600", rows));
        benchWindow(("RVM600PK simulated, " + n + " rows").c_str(), "RVM600PK",
                    simRecords("RVM600PK", rows));
    }
    return 0;
}

// The window after "Show Graph", with the mouse resting inside the plot.
void showBuilt(GraphDialog& window) {
    window.show();
    QApplication::processEvents();
    window.findChild<QPushButton*>(QStringLiteral("showGraphButton"))->click();
    QApplication::processEvents();
    const QRectF plot = window.chart()->plotArea();
    const QPointF at(plot.left() + plot.width() * 0.6, plot.top() + plot.height() * 0.3);
    const QChartView* view = window.findChild<QChartView*>(QStringLiteral("chartView"));
    const QPointF local = view->viewportTransform().map(window.chart()->mapToScene(at));
    QMouseEvent move(QEvent::MouseMove, local, view->viewport()->mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QApplication::processEvents();
}

int runScreenshots(const QString& folder) {
    QDir().mkpath(folder);
    for (const char* model : {"RVM600PK", "VX40"}) {
        Core core;
        loadRecords(core.app, model, simRecords(model, 120));
        GraphDialog window(core.app.table(), core.app.session(), core.app.statistics(), core.app.dialogs());
        showBuilt(window);
        const QString file = folder + "/graph-" + QString::fromLatin1(model) + ".png";
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}

int runShow(const std::string& model, int seconds) {
    Core core;
    loadRecords(core.app, model, simRecords(model, 120));
    GraphDialog window(core.app.table(), core.app.session(), core.app.statistics(), core.app.dialogs());
    showBuilt(window);
    QTimer::singleShot(seconds * 1000, &window, &QDialog::accept);
    return window.exec() == QDialog::Accepted ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--screenshots"))
        return runScreenshots(args[1]);
    if (args.size() == 3 && args[0] == QLatin1String("--show"))
        return runShow(args[1].toStdString(), args[2].toInt());
    return runBench();
}
