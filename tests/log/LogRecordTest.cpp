#include "log/LogRecord.h"

#include "SimRig.h"
#include "app/HandlerGuard.h"
#include "app/Handlers.h"
#include "link/InstrumentLink.h"
#include "link/ReadLog.h"
#include "log/InstrumentModel.h"
#include "log/LogLayout.h"
#include "text/AppError.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

// The record's texts in the order a line holds them.
Lines fieldsOf(const LogRecord& r) {
    if (r.combined)
        return {r.date, r.time, r.value, r.qd, r.status, r.qdStatus, r.seqId, r.seqNo};
    return {r.date, r.time, r.value, r.status, r.seqId, r.seqNo};
}

struct Row {
    Lines cells;
    std::vector<CellMark> marks;
    bool operator==(const Row& o) const { return cells == o.cells && marks == o.marks; }
};

Row rowOf(const LogTable& t, int row) {
    Row r;
    for (int c = 0; c < t.cols(); ++c) {
        r.cells.push_back(t.cell(c, row));
        r.marks.push_back(t.mark(c, row));
    }
    return r;
}

// Writes the record the old way, through the program state, row 1 of a laid-out table.
Row writtenThroughState(const std::string& name, const LogRecord& r, std::string& error) {
    SimRig rig;
    ResetTable(rig.app);
    rig.app.state.ModelName = name;
    LayoutTable(rig.app);
    ProgramState& s = rig.app.state;
    s.RowNo = 1;
    s.CommaCount = r.combined ? 6 : 4;
    s.RecDate = r.date;
    s.RecTime = r.time;
    s.RecValue = r.value;
    s.RecQd = r.qd;
    s.RecStat = r.status;
    s.RecQStat = r.qdStatus;
    s.RecSeqId = r.seqId;
    s.RecSeqNo = r.seqNo;
    try {
        WriteRecordRow(rig.app);
    } catch (const EConvertError& e) {
        error = e.what();
    }
    return rowOf(rig.app.table, 1);
}

Row writtenAsValue(const std::string& name, const LogRecord& r, std::string& error) {
    const InstrumentModel& model = modelNamed(name);
    LogTable t;
    applyLayout(t, kCombinedLayout, "Rl");
    t.setRows(2);
    applyLayout(t, *model.layout, model.valueName);
    try {
        writeRecord(t, 1, r, model);
    } catch (const EConvertError& e) {
        error = e.what();
    }
    return rowOf(t, 1);
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

// Every model with every kind of status: the row written from the value is the row the state
// fields gave, texts, marks and the conversion error alike.
TEST(WriteRecord, WritesTheRowTheStateFieldsGave) {
    const char* const names[] = {"RVM600PK", "VX40", "RVM600P", "RVM600", "?"};
    const char* const statuses[] = {"0",   "1",  "2",   "16",   "63", "64",  "255",
                                    "256", "-3", "$40", "0x11", " 7", "abc", ""};
    for (const char* name : names) {
        for (const char* status : statuses) {
            for (bool combined : {false, true}) {
                SCOPED_TRACE(std::string(name) + " / '" + status + "'" +
                             (combined ? " combined" : ""));
                LogRecord r;
                r.combined = combined;
                r.date = "12.03.2005";
                r.time = "10:15:00";
                r.value = "512";
                r.status = status;
                if (combined) {
                    r.qd = "150";
                    r.qdStatus = status[0] == '1' ? "4" : status;
                }
                r.seqId = "S1";
                r.seqNo = "31";
                std::string oldError;
                std::string newError;
                const Row old = writtenThroughState(name, r, oldError);
                const Row now = writtenAsValue(name, r, newError);
                EXPECT_EQ(now.cells, old.cells);
                EXPECT_EQ(now.marks, old.marks);
                EXPECT_EQ(newError, oldError);
            }
        }
    }
}

// A whole download: the lines of the stream parsed and written one by one give the table that
// "Read log" gives.
TEST(WriteRecord, ParsedLinesGiveTheDownloadedTable) {
    struct Case {
        const char* model;
        std::string stream;
    } const cases[] = {
        {"RVM600",
         "s/n: 4711\r\nDate Time\tRl\tStat\tSeq-Id\tSeq#\r\n12.03.2005 10:15:00\t512\t0\t7\t31\r\n"
         "12.03.2005 10:16:00\t498\t18\t7\t32\r\nnoise\r\n12.03.2005 10:17:00\t1\t64\t7\t33\r\n*"},
        {"VX40", "12.03.2005 10:15:00\t80\t1\tA\t1\r\n\x01`12.03.2005 10:16:00\t81\t3\tA\t2\r\n*"},
        {"RVM600PK",
         "s/n: 9\r\n12.03.2005 10:15:00\t300\t150\t1\t4\tS1\t1\r\n"
         "12.03.2005 10:16:00\t301\t151\t0\t0\tS1\t2\r\n12.03.2005 10:17:00\t5\t1\t2\tS1\t3\r\n*"},
        {"RVM600P",
         "a\tb\tc\td\te\tf\r\n12.03.2005 10:15:00,40,2,x,1\r\n12.03.2005\t1\t1\t1\t1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        sim::Scenario s;
        s.model = c.model;
        s.stream = c.stream;
        s.lsCount = 10;
        SimRig rig(s);
        FormActivate(rig.app);
        RunGuarded(rig.app.dialogs, [&] { ReadLog(rig.app); });
        const LogTable& old = rig.app.table;
        const InstrumentModel& model = detectModel(rig.app.state.IdentLine);
        ASSERT_EQ(model.name, std::string(c.model));

        LogTable now;
        applyLayout(now, *model.layout, model.valueName);
        now.setRows(old.rows());
        // The download's byte rules: TAB separates like a comma; control bytes and '`' are noise.
        std::string line;
        int row = 0;
        for (char ch : c.stream) {
            if (ch == '*')
                break;
            if (ch == '\r') {
                const LogLine parsed = parseLogLine(line);
                if (parsed.kind == LogLine::Record)
                    writeRecord(now, ++row, parsed.record, model);
                line.clear();
            } else if (ch == '\t') {
                line.push_back(',');
            } else if (static_cast<unsigned char>(ch) >= 32 && ch != '`') {
                line.push_back(ch);
            }
        }
        EXPECT_EQ(row, rig.app.state.RowNo);
        for (int r = 0; r < old.rows(); ++r) {
            SCOPED_TRACE(r);
            EXPECT_EQ(rowOf(now, r), rowOf(old, r));
        }
    }
}
