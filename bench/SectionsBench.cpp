// Times the section report for 100,000 rows: from a finished graph build (what the graph window
// adds to its build), with a build of its own (what saving a workbook and logdump-cli --sections
// pay), and its CSV text. Prints milliseconds, the median of 7 runs.
#include "InstrumentSim.h"
#include "SimRig.h"
#include "graph/GraphBuild.h"
#include "graph/SectionReport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

void loadRecords(App& app, const std::string& model, const std::vector<std::string>& records) {
    app.session().model = &modelNamed(model);
    const bool combined = model == "RVM600PK";
    LogTable& t = app.table();
    t.setCols(combined ? 8 : 6);
    t.setRows(static_cast<int>(records.size()) + 1);
    for (size_t i = 0; i < records.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        t.setCell(0, row, std::to_string(row));
        const QStringList fields = QString::fromStdString(records[i]).split('\t');
        for (int f = 0; f < fields.size() && f + 1 < t.cols(); ++f)
            t.setCell(f + 1, row, fields[f].toStdString());
    }
}

double timeMs(const std::function<void()>& work) {
    std::vector<double> times;
    for (int r = 0; r < 7; ++r) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void bench(const std::string& model, int rows) {
    SimRig rig;
    loadRecords(rig.app, model, sim::generateRecords(model, rows, 7));
    const LogTable& table = rig.app.table();
    const InstrumentModel& instrument = *rig.app.session().model;
    const GraphBuild build = buildGraph(table, instrument, GraphOptions());

    SectionReport report;
    const double fromBuild =
        timeMs([&] { report = sectionReport(table, instrument, build, defaultRequiredClasses()); });
    const double withBuild =
        timeMs([&] { report = sectionReport(table, instrument, true, defaultRequiredClasses()); });
    std::string csv;
    const double text = timeMs([&] { csv = sectionReportCsv(report); });
    size_t sections = 0;
    for (const SeriesSections& s : report)
        sections += s.rows.size() - 1;
    std::printf("%-8s %6d rows, %zu sections: report from the build %.2f ms (goal < 20 ms), "
                "with its own build %.2f ms, CSV %.2f ms (%zu bytes)\n",
                model.c_str(), rows, sections, fromBuild, withBuild, text, csv.size());
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    for (const char* model : {"RVM600PK", "VX40"})
        bench(model, 100000);
    return 0;
}
