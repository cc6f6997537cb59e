#pragma once

#include "app/App.h"
#include "graph/GraphBuild.h"
#include "log/InstrumentModel.h"
#include "log/LogTable.h"
#include "log/Session.h"

#include <string>
#include <utility>
#include <vector>

// One record as the download writes it. For the combined model value and stat are Rl's.
struct Rec {
    std::string value;
    std::string stat = "0";
    std::string qd = "100";
    std::string qstat = "0";
};

// Lays the table out for the model and writes the records below the header; "#" is the row.
inline void loadTable(LogTable& t, Session& session, const std::string& model,
                      const std::vector<Rec>& recs, int emptyRowsAfter = 0) {
    session.model = &modelNamed(model);
    session.serialLine = "s/n 4711";
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

inline void loadTable(App& app, const std::string& model, const std::vector<Rec>& recs,
                      int emptyRowsAfter = 0) {
    loadTable(app.table(), app.session(), model, recs, emptyRowsAfter);
}

// A log table with the model it was read from, for the graph's functions.
struct GraphLog {
    GraphLog(const std::string& model, const std::vector<Rec>& recs, int emptyRowsAfter = 0) {
        loadTable(table, session, model, recs, emptyRowsAfter);
    }
    GraphBuild build(bool stopOnLowBat = true) const {
        GraphOptions options;
        options.stopOnLowBat = stopOnLowBat;
        return buildGraph(table, *session.model, options);
    }

    LogTable table;
    Session session;
};

// Records with the given statuses, all of the same value.
inline std::vector<Rec> withStatuses(const std::vector<std::string>& statuses,
                                     const std::string& value = "250") {
    std::vector<Rec> recs;
    for (const auto& s : statuses)
        recs.push_back({value, s});
    return recs;
}

// The data rows a series plotted.
inline std::vector<int> plottedRows(const SeriesBuild& series) {
    std::vector<int> rows;
    for (size_t k = 0; k < series.values.size(); ++k)
        if (series.values[k] != SeriesBuild::kNotPlotted)
            rows.push_back(static_cast<int>(k) + 1);
    return rows;
}

// The points of a series: data row and value.
inline std::vector<std::pair<int, int32_t>> plottedPoints(const SeriesBuild& series) {
    std::vector<std::pair<int, int32_t>> points;
    for (int row : plottedRows(series))
        points.emplace_back(row, series.values[static_cast<size_t>(row - 1)]);
    return points;
}
