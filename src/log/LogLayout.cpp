#include "log/LogLayout.h"

#include "app/App.h"
#include "app/InstrumentModels.h"
#include "text/TextFieldHelpers.h"

#include <optional>

namespace {

// Marking of a single-value record's value and status cells by its status code s.
CellMark singleValueMark(const std::string& model, int32_t s) {
    if (model == Models::RVM600)
        return s >= 64 ? CellMark::Red : s >= 2 ? CellMark::Orange : CellMark::Normal;
    if (model == Models::VX40)
        return s == 1 ? CellMark::Red : (s >= 2 && s <= 255) ? CellMark::Orange : CellMark::Normal;
    // RVM600P
    return s == 1 ? CellMark::Red : (s >= 2 && s <= 63) ? CellMark::Orange : CellMark::Normal;
}

// Marking of one value of a combined record: odd codes carry the error bit.
CellMark combinedMark(int32_t s) {
    if (s % 2 != 0)
        return CellMark::Red;
    return s >= 2 ? CellMark::Orange : CellMark::Normal;
}

void markPair(LogTable& t, int valueCol, int statusCol, int row, CellMark mark) {
    // Marks are only ever set: a fresh row is unmarked already.
    if (mark == CellMark::Normal)
        return;
    t.setMark(valueCol, row, mark);
    t.setMark(statusCol, row, mark);
}

// The status as a whole number; a status that is none leaves its cells unmarked and gets a line
// in memErr, so one bad record costs neither the rest of the log nor the records around it.
std::optional<int32_t> readStatus(App& app, int row, const std::string& status) {
    int32_t value = 0;
    if (TryStrToInt(status, value))
        return value;
    app.controls.memErrAddLine("Record " + std::to_string(row) + ": status '" + status +
                               "' is not a number");
    return std::nullopt;
}

} // namespace

void LayoutTable(App& app) {
    ProgramState& s = app.state;
    LogTable& t = app.table;
    if (s.ModelName == Models::RVM600PK) {
        t.setCols(8);
        static const char* const headers[8] = {"#",     "Date / Time", "Rl",     "Qd",
                                               "RStat", "QStat",       "Seq-Id", "Seq#"};
        for (int c = 0; c < 8; ++c)
            t.setCell(c, 0, headers[c]);
    } else {
        t.setCols(6);
        t.setCell(0, 0, "#");
        t.setCell(1, 0, "Date / Time");
        t.setCell(2, 0, s.ModelName == Models::VX40 ? "Qd" : "Rl");
        t.setColWidth(3, 37);
        t.setCell(3, 0, "Stat");
        t.setColWidth(4, 68);
        t.setCell(4, 0, "Seq-Id");
        t.setCell(5, 0, "Seq#");
    }
    s.ColWidthSum = t.widthSum();
    app.controls.setTableClientWidth(s.ColWidthSum);
}

void WriteRecordRow(App& app) {
    const ProgramState& s = app.state;
    LogTable& t = app.table;
    const int row = s.RowNo;
    if (s.CommaCount == 4 || s.CommaCount == 6) {
        t.setCell(0, row, std::to_string(row));
        t.setCell(1, row, s.RecDate + " " + s.RecTime);
        t.setCell(2, row, s.RecValue);
        if (s.CommaCount == 4) {
            t.setCell(3, row, s.RecStat);
            t.setCell(4, row, s.RecSeqId);
            t.setCell(5, row, s.RecSeqNo);
            if (s.ModelName == Models::RVM600 || s.ModelName == Models::VX40 ||
                s.ModelName == Models::RVM600P) {
                if (const auto status = readStatus(app, row, s.RecStat))
                    markPair(t, 2, 3, row, singleValueMark(s.ModelName, *status));
            }
        } else {
            t.setCell(3, row, s.RecQd);
            t.setCell(4, row, s.RecStat);
            t.setCell(5, row, s.RecQStat);
            t.setCell(6, row, s.RecSeqId);
            t.setCell(7, row, s.RecSeqNo);
            if (const auto status = readStatus(app, row, s.RecStat))
                markPair(t, 2, 4, row, combinedMark(*status));
            if (const auto status = readStatus(app, row, s.RecQStat))
                markPair(t, 3, 5, row, combinedMark(*status));
        }
    }
    // Every row has the default height, the header row included.
    const long long rowsHeight = static_cast<long long>(t.rows()) * LogTable::kDefaultRowHeight;
    if (rowsHeight > app.controls.tableClientHeight())
        app.controls.scrollTableToEnd();
}

bool IsStatusCell(const LogTable& table, int col, int row) {
    if (row < 1)
        return false;
    if (table.cols() == 8)
        return col == 4 || col == 5;
    if (table.cols() == 6)
        return col == 3;
    return false;
}
