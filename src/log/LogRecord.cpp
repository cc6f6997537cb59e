#include "log/LogRecord.h"

#include "log/InstrumentModel.h"
#include "log/LogTable.h"
#include "text/TextFieldHelpers.h"

namespace {

void markPair(LogTable& t, int valueCol, int statusCol, int row, CellMark mark) {
    // Marks are only ever set: a fresh row is unmarked already.
    if (mark == CellMark::Normal)
        return;
    t.setMark(valueCol, row, mark);
    t.setMark(statusCol, row, mark);
}

} // namespace

LogLine parseLogLine(const std::string& line) {
    LogLine parsed;
    const int separators = CountChar(line, ',');
    if (separators != 4 && separators != 6)
        return parsed;
    if (line.find("Date") != std::string::npos) {
        parsed.kind = LogLine::ColumnTitles;
        return parsed;
    }
    parsed.kind = LogLine::Record;
    LogRecord& r = parsed.record;
    r.combined = separators == 6;
    const std::string dateTime = GetField(line, 1, ',');
    r.value = GetField(line, 2, ',');
    if (r.combined) {
        r.qd = GetField(line, 3, ',');
        r.status = GetField(line, 4, ',');
        r.qdStatus = GetField(line, 5, ',');
        r.seqId = GetField(line, 6, ',');
        r.seqNo = GetField(line, 7, ',');
    } else {
        r.status = GetField(line, 3, ',');
        r.seqId = GetField(line, 4, ',');
        r.seqNo = GetField(line, 5, ',');
    }
    r.date = GetField(dateTime, 1, ' ');
    r.time = GetField(dateTime, 2, ' ');
    return parsed;
}

void writeRecord(LogTable& t, int row, const LogRecord& r, const InstrumentModel& model) {
    t.setCell(0, row, std::to_string(row));
    t.setCell(1, row, r.date + " " + r.time);
    t.setCell(2, row, r.value);
    if (!r.combined) {
        t.setCell(3, row, r.status);
        t.setCell(4, row, r.seqId);
        t.setCell(5, row, r.seqNo);
        if (model.singleMarking)
            markPair(t, 2, 3, row, singleValueMark(model, StrToInt(r.status)));
        return;
    }
    t.setCell(3, row, r.qd);
    t.setCell(4, row, r.status);
    t.setCell(5, row, r.qdStatus);
    t.setCell(6, row, r.seqId);
    t.setCell(7, row, r.seqNo);
    markPair(t, 2, 4, row, combinedMark(StrToInt(r.status)));
    markPair(t, 3, 5, row, combinedMark(StrToInt(r.qdStatus)));
}
