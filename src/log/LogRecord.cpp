#include "log/LogRecord.h"

#include "log/InstrumentModel.h"
#include "log/LogTable.h"
#include "text/TextFieldHelpers.h"

#include <optional>

namespace {

void markPair(LogTable& t, int valueCol, int statusCol, int row, CellMark mark) {
    // Marks are only ever set: a fresh row is unmarked already.
    if (mark == CellMark::Normal)
        return;
    t.setMark(valueCol, row, mark);
    t.setMark(statusCol, row, mark);
}

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
    const std::string dateTime = getField(line, 1, ',');
    r.value = getField(line, 2, ',');
    if (r.combined) {
        r.qd = getField(line, 3, ',');
        r.status = getField(line, 4, ',');
        r.qdStatus = getField(line, 5, ',');
        r.seqId = getField(line, 6, ',');
        r.seqNo = getField(line, 7, ',');
    } else {
        r.status = getField(line, 3, ',');
        r.seqId = getField(line, 4, ',');
        r.seqNo = getField(line, 5, ',');
    }
    r.date = getField(dateTime, 1, ' ');
    r.time = getField(dateTime, 2, ' ');
    return parsed;
}

std::vector<std::string> writeRecord(LogTable& t, int row, const LogRecord& r,
                                     const InstrumentModel& model) {
    std::vector<std::string> notes;
    t.setCell(0, row, std::to_string(row));
    t.setCell(1, row, r.date + " " + r.time);
    t.setCell(2, row, r.value);
    if (!r.combined) {
        t.setCell(3, row, r.status);
        t.setCell(4, row, r.seqId);
        t.setCell(5, row, r.seqNo);
        if (model.singleMarking) {
            if (const auto status = readStatus(row, r.status, notes))
                markPair(t, 2, 3, row, singleValueMark(model, *status));
        }
        return notes;
    }
    t.setCell(3, row, r.qd);
    t.setCell(4, row, r.status);
    t.setCell(5, row, r.qdStatus);
    t.setCell(6, row, r.seqId);
    t.setCell(7, row, r.seqNo);
    if (const auto status = readStatus(row, r.status, notes))
        markPair(t, 2, 4, row, combinedMark(*status));
    if (const auto status = readStatus(row, r.qdStatus, notes))
        markPair(t, 3, 5, row, combinedMark(*status));
    return notes;
}
