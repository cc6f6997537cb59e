#include "graph/SectionReport.h"

#include "graph/PerformanceClasses.h"
#include "log/LogTable.h"
#include "log/Session.h"

#include <gtest/gtest.h>

namespace {

// One line of a single-value log: Seq-Id, value, status; a null id leaves a row without a
// record, as a non-record line of the stream does.
struct Line {
    const char* seqId;
    const char* value = "";
    const char* stat = "0";
};

void loadRvm600(LogTable& t, Session& session, const std::vector<Line>& lines) {
    session.model = &modelNamed("RVM600");
    t.setCols(6);
    t.setRows(static_cast<int>(lines.size()) + 1);
    const char* headers[] = {"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"};
    for (int c = 0; c < 6; ++c)
        t.setCell(c, 0, headers[c]);
    int number = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        if (!lines[i].seqId)
            continue;
        t.setCell(0, row, std::to_string(++number));
        t.setCell(1, row, "01.02.2026 10:00:00");
        t.setCell(2, row, lines[i].value);
        t.setCell(3, row, lines[i].stat);
        t.setCell(4, row, lines[i].seqId);
        t.setCell(5, row, std::to_string(row));
    }
}

// Every case the report has to get right, in one log: a section of one reading (G), one with
// every reading left out (B: error status, no number), one that reappears later (A), negative
// and huge values with an "OFF" reading (D), a row that is no record, a low-battery stop in the
// middle of a section (C) and a section wholly after the stop (E).
const std::vector<Line> kLog = {
    {"A", "100"},       {"G", "90"},         {"B", "90", "1"},   {"B", "abc"}, {"A", "120"},
    {"D", "-50"},       {"D", "2000000000"}, {nullptr},          {"D", "-1"},  {"C", "200"},
    {"C", "210", "16"}, {"C", "220", "16"},  {"C", "230", "16"}, {"C", "240"}, {"E", "250"},
};

const std::string kHeader =
    "series,section,used,left_out,mean,sd,min,max,below,below_pct,class,required,pass\r\n";

} // namespace

TEST(SectionReport, HandWorkedLogAsTheGraphBuildPlotsIt) {
    struct Case {
        const char* name;
        bool stopOnLowBat;
        RequiredClasses required;
        std::string csv;
    } const cases[] = {
        {"stop on low bat, R2",
         true,
         {2, 2},
         kHeader + "Rl,A,2,0,110.0,14.1,100,120,0,0.0,R2,R2,yes\r\n"
                   "Rl,G,1,0,90.0,,90,90,1,100.0,R1,R2,no\r\n"
                   "Rl,B,0,2,,,,,,,,R2,no\r\n"
                   "Rl,D,2,1,999999975.0,1414213597.7,-50,2000000000,1,50.0,R5,R2,yes\r\n"
                   "Rl,C,3,2,210.0,10.0,200,220,0,0.0,R4,R2,yes\r\n"
                   "Rl,E,0,1,,,,,,,,R2,no\r\n"
                   "Rl,ALL,8,6,250000111.2,707106736.2,-50,2000000000,2,25.0,R5,R2,yes\r\n"},
        {"no stop, R3",
         false,
         {3, 2},
         kHeader + "Rl,A,2,0,110.0,14.1,100,120,2,100.0,R2,R3,no\r\n"
                   "Rl,G,1,0,90.0,,90,90,1,100.0,R1,R3,no\r\n"
                   "Rl,B,0,2,,,,,,,,R3,no\r\n"
                   "Rl,D,2,1,999999975.0,1414213597.7,-50,2000000000,1,50.0,R5,R3,yes\r\n"
                   "Rl,C,5,0,220.0,15.8,200,240,0,0.0,R4,R3,yes\r\n"
                   "Rl,E,1,0,250.0,,250,250,0,0.0,R4,R3,yes\r\n"
                   "Rl,ALL,11,3,181818328.2,603022640.6,-50,2000000000,4,36.4,R5,R3,yes\r\n"},
        {"R0 sets no requirement",
         true,
         {0, 2},
         kHeader + "Rl,A,2,0,110.0,14.1,100,120,0,0.0,R2,R0,yes\r\n"
                   "Rl,G,1,0,90.0,,90,90,0,0.0,R1,R0,yes\r\n"
                   "Rl,B,0,2,,,,,,,,R0,no\r\n"
                   "Rl,D,2,1,999999975.0,1414213597.7,-50,2000000000,0,0.0,R5,R0,yes\r\n"
                   "Rl,C,3,2,210.0,10.0,200,220,0,0.0,R4,R0,yes\r\n"
                   "Rl,E,0,1,,,,,,,,R0,no\r\n"
                   "Rl,ALL,8,6,250000111.2,707106736.2,-50,2000000000,0,0.0,R5,R0,yes\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogTable table;
        Session session;
        loadRvm600(table, session, kLog);
        EXPECT_EQ(
            sectionReportCsv(sectionReport(table, *session.model, c.stopOnLowBat, c.required)),
            c.csv);
    }
}

TEST(SectionReport, CombinedModelHasRlThenQdWithTheirOwnStatuses) {
    const InstrumentModel& model = modelNamed("RVM600PK");
    LogTable t;
    t.setCols(8);
    t.setRows(4);
    const std::vector<std::vector<std::string>> rows = {
        {"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"},
        {"1", "d", "300", "140", "0", "0", "S,1", "1"},
        {"2", "d", "310", "150", "1", "0", "S,1", "2"},
        {"3", "d", "320", "\"x\"", "0", "0", "S,1", "3"}};
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            t.setCell(static_cast<int>(c), static_cast<int>(r), rows[r][c]);
    RequiredClasses required{};
    ASSERT_TRUE(parseRequiredClasses("Q3,R5", required));
    EXPECT_EQ(sectionReportCsv(sectionReport(t, model, true, required)),
              kHeader + "Rl,\"S,1\",2,1,310.0,14.1,300,320,0,0.0,R5,R5,yes\r\n"
                        "Rl,ALL,2,1,310.0,14.1,300,320,0,0.0,R5,R5,yes\r\n"
                        "Qd,\"S,1\",2,1,145.0,7.1,140,150,0,0.0,Q3,Q3,yes\r\n"
                        "Qd,ALL,2,1,145.0,7.1,140,150,0,0.0,Q3,Q3,yes\r\n");
}

TEST(SectionReport, SeqIdsNeverReachASpreadsheetAsFormulas) {
    struct Case {
        const char* seqId;
        std::string cell;
    } const cases[] = {
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"=1+1", "'=1+1"},
        {"+1+2", "'+1+2"},
        {"-3+4", "'-3+4"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"=a,b", "\"'=a,b\""},
        {"=\"q\"", "\"'=\"\"q\"\"\""},
        {"a\"b", "\"a\"\"b\""},
        {"a\nb", "\"a\nb\""},
        {"S-1", "S-1"},
        {"'quoted", "'quoted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seqId);
        LogTable table;
        Session session;
        loadRvm600(table, session, {{c.seqId, "100"}});
        EXPECT_EQ(sectionReportCsv(sectionReport(table, *session.model, true, {2, 2})),
                  kHeader + "Rl," + c.cell + ",1,0,100.0,,100,100,0,0.0,R2,R2,yes\r\n" +
                      "Rl,ALL,1,0,100.0,,100,100,0,0.0,R2,R2,yes\r\n");
    }
    // Figures of our own keep their sign: a negative minimum is a number, not a formula.
    LogTable table;
    Session session;
    loadRvm600(table, session, {{"S", "-5"}, {"S", "7"}});
    EXPECT_NE(sectionReportCsv(sectionReport(table, *session.model, false, {0, 0})).find(",-5,7,"),
              std::string::npos);
}

TEST(SectionReport, RequiredClassesFromTheCommandLine) {
    struct Case {
        const char* text;
        bool ok;
        RequiredClasses result;
    } const cases[] = {
        {"R3,Q3", true, {3, 3}}, {"Q4,R0", true, {0, 4}}, {"R5", true, {5, 2}},
        {"Q1", true, {2, 1}},    {"R6", false, {2, 2}},   {"R3,R4", false, {2, 2}},
        {"r3", false, {2, 2}},   {"", false, {2, 2}},     {"R3,", false, {2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RequiredClasses required = defaultRequiredClasses();
        EXPECT_EQ(parseRequiredClasses(c.text, required), c.ok);
        EXPECT_EQ(required, c.result);
    }
}

TEST(SectionReport, ClassReachedAtEachLevel) {
    struct Case {
        Quantity series;
        double value;
        const char* reached;
    } const cases[] = {
        {Quantity::Rl, -5, "R0"},    {Quantity::Rl, 79.9, "R0"}, {Quantity::Rl, 80, "R1"},
        {Quantity::Rl, 100, "R2"},   {Quantity::Rl, 150, "R3"},  {Quantity::Rl, 200, "R4"},
        {Quantity::Rl, 299.9, "R4"}, {Quantity::Rl, 300, "R5"},  {Quantity::Qd, 99, "Q1"},
        {Quantity::Qd, 130, "Q3"},   {Quantity::Qd, 160, "Q4"},  {Quantity::Qd, 1e9, "Q4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(
            performanceClasses(c.series)[static_cast<size_t>(classReached(c.series, c.value))].name,
            c.reached);
    }
}

TEST(SectionReport, WindowFiguresUseTheGivenSeparator) {
    SeriesSections series;
    series.requiredClass = 2;
    SectionStats row;
    row.section = "A";
    row.used = 3;
    row.mean = -0.04; // rounds to zero: never "-0,0"
    row.sd = 1234.56;
    row.belowPercent = 100.0 / 3;
    EXPECT_EQ(sectionRowTexts(series, row, ","),
              (std::vector<std::string>{"Rl", "A", "3", "0", "0,0", "1234,6", "0", "0", "0", "33,3",
                                        "R0", "R2", "no"}));
}
