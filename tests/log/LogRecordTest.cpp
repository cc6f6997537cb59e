#include "log/LogRecord.h"

#include "log/InstrumentModel.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

// The record's texts in the order a line holds them.
Lines fieldsOf(const LogRecord& r) {
    if (r.combined)
        return {r.date, r.time, r.value, r.qd, r.status, r.qdStatus, r.seqId, r.seqNo};
    return {r.date, r.time, r.value, r.status, r.seqId, r.seqNo};
}

} // namespace

TEST(ParseLogLine, TakesTheFieldsApartByShape) {
    struct Case {
        const char* line;
        LogLine::Kind kind;
        bool combined;
        Lines fields;
    } const cases[] = {
        {"12.03.2005 10:15:00,512,0,7,31",
         LogLine::Record,
         false,
         {"12.03.2005", "10:15:00", "512", "0", "7", "31"}},
        {"12.03.2005 10:15:00,300,150,1,4,S1,2",
         LogLine::Record,
         true,
         {"12.03.2005", "10:15:00", "300", "150", "1", "4", "S1", "2"}},
        // Empty fields stay empty; a date without a time gives the text of a missing field.
        {"12.03.2005 10:15:00,,,,",
         LogLine::Record,
         false,
         {"12.03.2005", "10:15:00", "", "", "", ""}},
        {"x,1,2,3,4", LogLine::Record, false, {"$not found$", "$not found$", "1", "2", "3", "4"}},
        {"a b c,1,2,3,4", LogLine::Record, false, {"a", "b", "1", "2", "3", "4"}},
        {"Date Time,Rl,Stat,Seq-Id,Seq#", LogLine::ColumnTitles, false, {}},
        {"Date,Rl,Qd,RStat,QStat,Seq-Id,Seq#", LogLine::ColumnTitles, false, {}},
        {"date,Rl,Stat,Seq-Id,Seq#",
         LogLine::Record,
         false,
         {"$not found$", "$not found$", "Rl", "Stat", "Seq-Id", "Seq#"}},
        {"s/n: 4711", LogLine::Other, false, {}},
        {"a,b,c,d,e,f", LogLine::Other, false, {}},
        {"a,b,c", LogLine::Other, false, {}},
        {"", LogLine::Other, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const LogLine parsed = parseLogLine(c.line);
        EXPECT_EQ(parsed.kind, c.kind);
        if (c.kind != LogLine::Record)
            continue;
        EXPECT_EQ(parsed.record.combined, c.combined);
        EXPECT_EQ(fieldsOf(parsed.record), c.fields);
    }
}

// The row is written whole whatever the marking finds; each status that is no number gets its
// note, in the order of the cells.
TEST(WriteRecord, WritesTheRowAndNotesStatusesThatAreNoNumber) {
    struct Case {
        const char* model;
        LogRecord record;
        Lines cells;
        Lines notes;
    } const cases[] = {
        {"RVM600",
         {false, "d", "t", "1", "", "x", "", "S", "9"},
         {"7", "d t", "1", "x", "S", "9"},
         {"Record 7: status 'x' is not a number"}},
        {"RVM600PK",
         {true, "d", "t", "1", "2", "a", "b", "S", "9"},
         {"7", "d t", "1", "2", "a", "b", "S", "9"},
         {"Record 7: status 'a' is not a number", "Record 7: status 'b' is not a number"}},
        // No marking rule reads a one-value status of the combined model.
        {"RVM600PK",
         {false, "d", "t", "1", "", "x", "", "S", "9"},
         {"7", "d t", "1", "x", "S", "9", "", ""},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        const InstrumentModel& model = modelNamed(c.model);
        LogTable t;
        applyLayout(t, *model.layout, model.valueName);
        t.setRows(8);
        EXPECT_EQ(writeRecord(t, 7, c.record, model), c.notes);
        Lines cells;
        for (int col = 0; col < t.cols(); ++col)
            cells.push_back(t.cell(col, 7));
        EXPECT_EQ(cells, c.cells);
    }
}

TEST(ReadRecord, GivesBackTheRecordWriteRecordLaidOut) {
    const LogRecord records[] = {
        {true, "12.03.2005", "10:15:00", "300", "150", "1", "4", "S1", "2"},
        {false, "12.03.2005", "10:15:01", "512", "", "7", "", "S2", "3"},
        {false, "", "", "", "", "", "", "", ""},
    };
    for (const char* name : {"RVM600PK", "VX40", "RVM600", "?"}) {
        const InstrumentModel& model = modelNamed(name);
        for (const LogRecord& record : records) {
            SCOPED_TRACE(std::string(name) + " / " + record.seqId);
            LogTable t;
            applyLayout(t, record.combined ? kCombinedLayout : *model.layout, model.valueName);
            t.setRows(2);
            writeRecord(t, 1, record, model);
            Lines cells;
            for (int col = 0; col < t.cols(); ++col)
                cells.push_back(t.cell(col, 1));
            const LogRecord back = readRecord(cells, record.combined);
            EXPECT_EQ(back.combined, record.combined);
            EXPECT_EQ(fieldsOf(back), fieldsOf(record));
        }
    }
    // Cells a saved row lacks read as empty; a date without a time keeps the time empty.
    const LogRecord cut = readRecord({"4", "12.03.2005", "99"}, true);
    EXPECT_EQ(fieldsOf(cut), (Lines{"12.03.2005", "", "99", "", "", "", "", ""}));
}

TEST(TableLayout, EachModelFindsItsColumnsByRole) {
    using R = ColumnRole;
    struct Case {
        const char* model;
        std::vector<int> columns; // of Number, DateTime, Rl, Qd, RlStatus, QdStatus, SeqId, SeqNo
    } const cases[] = {
        {"RVM600PK", {0, 1, 2, 3, 4, 5, 6, 7}},  {"VX40", {0, 1, -1, 2, -1, 3, 4, 5}},
        {"RVM600P", {0, 1, 2, -1, 3, -1, 4, 5}}, {"RVM600", {0, 1, 2, -1, 3, -1, 4, 5}},
        {"?", {0, 1, 2, -1, 3, -1, 4, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        const TableLayout& layout = *modelNamed(c.model).layout;
        std::vector<int> columns;
        for (R role :
             {R::Number, R::DateTime, R::Rl, R::Qd, R::RlStatus, R::QdStatus, R::SeqId, R::SeqNo})
            columns.push_back(layout.column(role));
        EXPECT_EQ(columns, c.columns);
    }
}
