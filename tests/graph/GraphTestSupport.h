#pragma once

#include "app/App.h"
#include "graph/GraphView.h"
#include "log/InstrumentModel.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The graph window's controls and chart as plain fields.
class FakeGraphView final : public IGraphView {
public:
    void setAlarmHints(const std::string& hint) override { alarmHint = hint; }
    void setControlVisible(GraphControl c, bool v) override { visible[c] = v; }
    void setLabelText(GraphControl label, const std::string& t) override { text[label] = t; }
    bool isChecked(GraphCheckBox box) const override { return checked.at(box); }
    void setShowGraphEnabled(bool enabled) override { showGraphEnabled = enabled; }
    void focusShowGraph() override { showGraphFocused = true; }
    void clearTitle() override { title.clear(); }
    void addTitleLine(const std::string& line) override { title.push_back(line); }
    void setAxisTitle(GraphAxis axis, const std::string& t) override { axisTitle[axis] = t; }
    void clearPoints(GraphSeries s) override { points[idx(s)].clear(); }
    void setSeriesActive(GraphSeries s, bool a) override { active[idx(s)] = a; }
    void setSeriesAxis(GraphSeries s, GraphAxis a) override { axis[idx(s)] = a; }
    void setSeriesColor(GraphSeries s, QRgb c) override { color[idx(s)] = c; }
    void addPoint(GraphSeries s, double x, double y) override { points[idx(s)].push_back({x, y}); }
    void pointsAdded() override { ++drawn; }
    QRectF plotArea() const override { return plot; }
    QPointF valueAt(GraphSeries s, QPointF) const override { return valueUnderMouse[idx(s)]; }
    void showCross(QPointF p) override { cross = p; }
    void hideCross() override { cross.reset(); }

    static size_t idx(GraphSeries s) { return static_cast<size_t>(s); }
    bool isVisible(GraphControl c) const { return visible.count(c) ? visible.at(c) : true; }
    std::vector<std::pair<double, double>>& of(GraphSeries s) { return points[idx(s)]; }

    std::string alarmHint;
    std::map<GraphControl, bool> visible;
    std::map<GraphControl, std::string> text;
    std::map<GraphCheckBox, bool> checked{{GraphCheckBox::cbValarm, true},
                                          {GraphCheckBox::cbShowRl, true},
                                          {GraphCheckBox::cbShowQd, true},
                                          {GraphCheckBox::cbStat, true}};
    bool showGraphEnabled = true;
    bool showGraphFocused = false;
    std::vector<std::string> title{"TChart"};
    std::map<GraphAxis, std::string> axisTitle;
    std::array<std::vector<std::pair<double, double>>, 2> points;
    std::array<bool, 2> active{true, true};
    std::array<GraphAxis, 2> axis{GraphAxis::Left, GraphAxis::Right};
    std::array<QRgb, 2> color{0xFFFF0000, 0xFFFFFF00};
    int drawn = 0;
    QRectF plot{50, 40, 400, 300};
    std::array<QPointF, 2> valueUnderMouse{};
    std::optional<QPointF> cross;
};

// One record as the download writes it. For the combined model value and stat are Rl's.
struct Rec {
    std::string value;
    std::string stat = "0";
    std::string qd = "100";
    std::string qstat = "0";
};

// Lays the table out for the model and writes the records below the header; "#" is the row.
inline void loadTable(App& app, const std::string& model, const std::vector<Rec>& recs,
                      int emptyRowsAfter = 0) {
    app.session.model = &modelNamed(model);
    app.session.serialLine = "s/n 4711";
    LogTable& t = app.table;
    t.clearCells();
    const bool combined = model == "RVM600PK";
    t.setCols(combined ? 8 : 6);
    t.setRows(static_cast<int>(recs.size()) + 1 + emptyRowsAfter);
    const std::vector<std::string> headers =
        combined ? std::vector<std::string>{"#",     "Date / Time", "Rl",     "Qd",
                                            "RStat", "QStat",       "Seq-Id", "Seq#"}
                 : std::vector<std::string>{"#",    "Date / Time", model == "VX40" ? "Qd" : "Rl",
                                            "Stat", "Seq-Id",      "Seq#"};
    for (size_t c = 0; c < headers.size(); ++c)
        t.setCell(static_cast<int>(c), 0, headers[c]);
    for (size_t i = 0; i < recs.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        const Rec& r = recs[i];
        t.setCell(0, row, std::to_string(row));
        t.setCell(1, row, "01.02.2026 10:00:00");
        t.setCell(2, row, r.value);
        if (combined) {
            t.setCell(3, row, r.qd);
            t.setCell(4, row, r.stat);
            t.setCell(5, row, r.qstat);
        } else {
            t.setCell(3, row, r.stat);
        }
    }
}

// Records with the given statuses, all of the same value.
inline std::vector<Rec> withStatuses(const std::vector<std::string>& statuses,
                                     const std::string& value = "250") {
    std::vector<Rec> recs;
    for (const auto& s : statuses)
        recs.push_back({value, s});
    return recs;
}

// The x of every point of a series.
inline std::vector<int> plottedRows(const std::vector<std::pair<double, double>>& points) {
    std::vector<int> rows;
    for (const auto& p : points)
        rows.push_back(static_cast<int>(p.first));
    return rows;
}
