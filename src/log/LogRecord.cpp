#include "log/LogRecord.h"

#include "log/InstrumentModel.h"
#include "log/LogTable.h"
#include "text/TextFieldHelpers.h"

#include <optional>
#include <utility>

namespace {

// The status as a whole number; one that is none leaves its cells unmarked and gets a note, so
// one bad record costs neither the rest of the log nor the records around it.
std::optional<int32_t> readStatus(int row, const std::string& status,
                                  std::vector<std::string>& notes) {
    int32_t value = 0;
    if (tryStrToInt(status, value))
        return value;
    notes.push_back("Record " + std::to_string(row) + ": status '" + status + "' is not a number");
    return std::nullopt;
}

void markPair(LogTable& t, int valueCol, int statusCol, int row, CellMark mark) {
    // Marks are only ever set: a fresh row is unmarked already.
    if (mark == CellMark::Normal)
        return;
    t.setMark(valueCol, row, mark);
    t.setMark(statusCol, row, mark);
}

// The columns a record's fields take: both values with their statuses, or one value with its
// status, which stand alike for Rl and Qd.
const TableLayout& recordLayout(bool combined) {
    return combined ? kCombinedLayout : kSingleValueLayout;
}

// The fields of a record kept as they came, by the role of their column.
const std::pair<ColumnRole, std::string LogRecord::*> kFields[] = {
    {ColumnRole::Rl, &LogRecord::value},        {ColumnRole::Qd, &LogRecord::qd},
    {ColumnRole::RlStatus, &LogRecord::status}, {ColumnRole::QdStatus, &LogRecord::qdStatus},
    {ColumnRole::SeqId, &LogRecord::seqId},     {ColumnRole::SeqNo, &LogRecord::seqNo}};

} // namespace

LogLine parseLogLine(const std::string& line) {
    LogLine parsed;
    const int separators = countChar(line, ',');
    if (separators != 4 && separators != 6)
        return parsed;
    if (line.find("Date") != std::string::npos) {
        parsed.kind = LogLine::ColumnTitles;
        return parsed;
    }
    parsed.kind = LogLine::Record;
    LogRecord& r = parsed.record;
    r.combined = separators == 6;
    // The line's fields stand as the table's columns after the "#", counted from 1.
    const TableLayout& layout = recordLayout(r.combined);
    const std::string dateTime = getField(line, layout.column(ColumnRole::DateTime), ',');
    for (const auto& [role, field] : kFields)
        if (layout.column(role) > 0)
            r.*field = getField(line, layout.column(role), ',');
    r.date = getField(dateTime, 1, ' ');
    r.time = getField(dateTime, 2, ' ');
    return parsed;
}

std::vector<std::string> writeRecord(LogTable& t, int row, const LogRecord& r,
                                     const InstrumentModel& model) {
    std::vector<std::string> notes;
    const TableLayout& layout = recordLayout(r.combined);
    const auto col = [&layout](ColumnRole role) { return layout.column(role); };
    t.setCell(col(ColumnRole::Number), row, std::to_string(row));
    t.setCell(col(ColumnRole::DateTime), row, r.date + " " + r.time);
    for (const auto& [role, field] : kFields)
        t.setCell(col(role), row, r.*field); // a role the layout lacks is no column: no write
    if (!r.combined && !model.singleMarking)
        return notes;
    // A one-value record is marked by the model's rule, each value of a combined one alike.
    if (const auto status = readStatus(row, r.status, notes))
        markPair(t, col(ColumnRole::Rl), col(ColumnRole::RlStatus), row,
                 r.combined ? combinedMark(*status) : singleValueMark(model, *status));
    if (!r.combined)
        return notes;
    if (const auto status = readStatus(row, r.qdStatus, notes))
        markPair(t, col(ColumnRole::Qd), col(ColumnRole::QdStatus), row, combinedMark(*status));
    return notes;
}

LogRecord readRecord(const std::vector<std::string>& cells, bool combined) {
    const TableLayout& layout = recordLayout(combined);
    const auto cell = [&](ColumnRole role) {
        const auto col = static_cast<size_t>(layout.column(role));
        return col < cells.size() ? cells[col] : std::string();
    };
    LogRecord record;
    record.combined = combined;
    const std::string dateTime = cell(ColumnRole::DateTime);
    const size_t blank = dateTime.find(' ');
    record.date = dateTime.substr(0, blank);
    record.time = blank == std::string::npos ? std::string() : dateTime.substr(blank + 1);
    for (const auto& [role, field] : kFields)
        record.*field = cell(role);
    return record;
}
