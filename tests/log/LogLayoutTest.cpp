#include "log/LogLayout.h"

#include "SimRig.h"
#include "app/Commands.h"
#include "link/InstrumentLine.h"
#include "log/LogRecord.h"
#include "log/StatusDecoding.h"

#include <gtest/gtest.h>

namespace {

struct LaidOut {
    explicit LaidOut(const std::string& model) {
        resetLog(rig.app);
        rig.app.session().model = &modelNamed(model);
        rig.layoutTable();
    }
    SimRig rig;
};

std::vector<std::string> headers(const LogTable& t) {
    std::vector<std::string> h;
    for (int c = 0; c < t.cols(); ++c)
        h.push_back(t.cell(c, 0));
    return h;
}

std::vector<int> widths(const LogTable& t) {
    std::vector<int> w;
    for (int c = 0; c < t.cols(); ++c)
        w.push_back(t.colWidth(c));
    return w;
}

// Writes one record into row 1 as the download does.
void writeSingle(SimRig& rig, const std::string& stat) {
    rig.updater.record(1, {false, "12.03.2005", "10:15:00", "512", "", stat, "", "7", "31"});
}

void writeCombined(SimRig& rig, const std::string& rStat, const std::string& qStat) {
    rig.updater.record(1, {true, "12.03.2005", "10:15:00", "300", "150", rStat, qStat, "S1", "2"});
}

std::vector<CellMark> marks(const LogTable& t, int row) {
    std::vector<CellMark> m;
    for (int c = 0; c < t.cols(); ++c)
        m.push_back(t.mark(c, row));
    return m;
}

constexpr CellMark N = CellMark::Normal;
constexpr CellMark O = CellMark::Orange;
constexpr CellMark R = CellMark::Red;

} // namespace

TEST(TableLayout, FitsColumnsAndWidthToTheModel) {
    using H = std::vector<std::string>;
    struct Case {
        const char* model;
        H headers;
        std::vector<int> widths;
        int width;
    } const cases[] = {
        {"RVM600PK",
         H{"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"},
         {30, 112, 35, 35, 37, 37, 68, 50},
         404},
        {"VX40",
         H{"#", "Date / Time", "Qd", "Stat", "Seq-Id", "Seq#"},
         {30, 112, 35, 37, 68, 37},
         319},
        {"RVM600",
         H{"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"},
         {30, 112, 35, 37, 68, 37},
         319},
        {"RVM600P",
         H{"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"},
         {30, 112, 35, 37, 68, 37},
         319},
        {"?",
         H{"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"},
         {30, 112, 35, 37, 68, 37},
         319},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        LaidOut t(c.model);
        EXPECT_EQ(headers(t.rig.app.table()), c.headers);
        EXPECT_EQ(widths(t.rig.app.table()), c.widths);
        EXPECT_EQ(t.rig.app.table().widthSum(), c.width);
        // A reset after a six-column layout gives the full reset layout back.
        resetLog(t.rig.app);
        EXPECT_EQ(t.rig.app.table().widthSum(), 404);
        EXPECT_EQ(widths(t.rig.app.table()), (std::vector<int>{30, 112, 35, 35, 37, 37, 68, 50}));
    }
}

TEST(RecordRow, MarksSingleValueRecordsByModel) {
    struct Case {
        const char* model;
        const char* stat;
        CellMark mark;
    } const cases[] = {
        {"RVM600", "1", N},   {"RVM600", "2", O},     {"RVM600", "63", O},   {"RVM600", "64", R},
        {"RVM600", "200", R}, {"RVM600", "0", N},     {"RVM600", "-5", N},   {"RVM600", "7", O},
        {"VX40", "1", R},     {"VX40", "3", O},       {"VX40", "255", O},    {"VX40", "256", N},
        {"VX40", "0", N},     {"VX40", "-2", N},      {"RVM600P", "1", R},   {"RVM600P", "2", O},
        {"RVM600P", "63", O}, {"RVM600P", "64", N},   {"RVM600P", "129", N}, {"RVM600P", "0", N},
        {"RVM600PK", "1", N}, {"RVM600PK", "abc", N}, {"?", "1", N},         {"?", "x", N},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " / " + c.stat);
        LaidOut t(c.model);
        writeSingle(t.rig, c.stat);
        const LogTable& table = t.rig.app.table();
        EXPECT_EQ(table.cell(0, 1), "1");
        EXPECT_EQ(table.cell(1, 1), "12.03.2005 10:15:00");
        EXPECT_EQ(table.cell(2, 1), "512");
        EXPECT_EQ(table.cell(3, 1), c.stat);
        EXPECT_EQ(table.cell(4, 1), "7");
        EXPECT_EQ(table.cell(5, 1), "31");
        std::vector<CellMark> expected(static_cast<size_t>(table.cols()), N);
        expected[2] = expected[3] = c.mark;
        EXPECT_EQ(marks(table, 1), expected);
    }
}

TEST(RecordRow, MarksTheTwoValuesOfACombinedRecordApart) {
    struct Case {
        const char* rStat;
        const char* qStat;
        std::vector<CellMark> marks;
    } const cases[] = {
        {"1", "4", {N, N, R, O, R, O, N, N}},  {"3", "0", {N, N, R, N, R, N, N, N}},
        {"0", "0", {N, N, N, N, N, N, N, N}},  {"2", "17", {N, N, O, R, O, R, N, N}},
        {"-3", "1", {N, N, R, R, R, R, N, N}}, {"-4", "16", {N, N, N, O, N, O, N, N}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.rStat) + " / " + c.qStat);
        LaidOut t("RVM600PK");
        writeCombined(t.rig, c.rStat, c.qStat);
        const LogTable& table = t.rig.app.table();
        const std::vector<std::string> row = {
            "1", "12.03.2005 10:15:00", "300", "150", c.rStat, c.qStat, "S1", "2"};
        for (int col = 0; col < 8; ++col)
            EXPECT_EQ(table.cell(col, 1), row[static_cast<size_t>(col)]) << col;
        EXPECT_EQ(marks(table, 1), c.marks);
    }
}

TEST(RecordRow, AStatusThatIsNoNumberLeavesItsCellsUnmarkedWithAMemoLine) {
    using Lines = std::vector<std::string>;
    struct Case {
        const char* model;
        const char* rStat; // the single value's status for the single-value models
        const char* qStat;
        std::vector<CellMark> marks;
        Lines messages;
    } const cases[] = {
        {"RVM600", "abc", "", {N, N, N, N, N, N}, {"Record 1: status 'abc' is not a number"}},
        {"VX40", "", "", {N, N, N, N, N, N}, {"Record 1: status '' is not a number"}},
        {"RVM600P", "0x", "", {N, N, N, N, N, N}, {"Record 1: status '0x' is not a number"}},
        {"RVM600PK", "1", "q", {N, N, R, N, R, N, N, N}, {"Record 1: status 'q' is not a number"}},
        {"RVM600PK",
         "4 4",
         "17",
         {N, N, N, R, N, R, N, N},
         {"Record 1: status '4 4' is not a number"}},
        {"RVM600PK",
         "r",
         "",
         {N, N, N, N, N, N, N, N},
         {"Record 1: status 'r' is not a number", "Record 1: status '' is not a number"}},
        // No marking rule reads the status: nothing to tell.
        {"?", "x", "", {N, N, N, N, N, N}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " / " + c.rStat + " / " + c.qStat);
        LaidOut t(c.model);
        t.rig.view.messages.clear();
        if (std::string(c.model) == "RVM600PK")
            writeCombined(t.rig, c.rStat, c.qStat);
        else
            writeSingle(t.rig, c.rStat);
        EXPECT_EQ(marks(t.rig.app.table(), 1), c.marks);
        EXPECT_EQ(t.rig.view.messages, c.messages);
        // Every text as received, up to the last cell.
        EXPECT_EQ(t.rig.app.table().cell(c.marks.size() == 8 ? 4 : 3, 1), c.rStat);
        EXPECT_EQ(t.rig.app.table().cell(c.marks.size() == 8 ? 7 : 5, 1),
                  c.marks.size() == 8 ? "2" : "31");
    }
}

TEST(StatusCells, ClickDecodesAndHintsOnlyOnStatusCells) {
    struct Case {
        const char* model;
        int col;
        int row;
        bool status;
    } const cases[] = {
        {"RVM600PK", 4, 1, true},  {"RVM600PK", 5, 1, true},  {"RVM600PK", 4, 0, false},
        {"RVM600PK", 3, 1, false}, {"RVM600PK", 6, 1, false}, {"RVM600", 3, 1, true},
        {"RVM600", 3, 0, false},   {"RVM600", 4, 1, false},   {"RVM600", 2, 1, false},
        {"VX40", 3, 1, true},      {"VX40", 5, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.col) + "," +
                     std::to_string(c.row));
        LaidOut t(c.model);
        t.rig.app.table().setCell(c.col, c.row == 0 ? 1 : c.row, "18");
        explainStatus(t.rig.app, c.col, c.row);
        const auto hint = cellHint(t.rig.app, c.col, c.row);
        if (c.status) {
            ASSERT_EQ(t.rig.dialogs.events.size(), 1u);
            EXPECT_EQ(t.rig.dialogs.events[0],
                      "message: " +
                          decodeStatus(modelNamed(c.model), t.rig.app.table().cell(c.col, c.row)));
            EXPECT_EQ(hint, std::optional<std::string>("Click to see warning/error"));
        } else {
            EXPECT_TRUE(t.rig.dialogs.events.empty());
            EXPECT_FALSE(hint);
        }
    }
    // An empty status cell decodes as code 0.
    LaidOut t("RVM600");
    explainStatus(t.rig.app, 3, 1);
    EXPECT_EQ(t.rig.dialogs.events,
              std::vector<std::string>{"message: Status Code Breakdown: \r\rNo errors"});
    // A status that is no number is told as such, as the message list tells it.
    t.rig.app.table().setCell(3, 1, "E9");
    t.rig.dialogs.events.clear();
    explainStatus(t.rig.app, 3, 1);
    EXPECT_EQ(t.rig.dialogs.events,
              std::vector<std::string>{
                  "message: Status Code Breakdown: \r\rStatus 'E9' is not a number"});
}

TEST(StatusCells, AreTheStatusColumnsOfTheLayoutTheTableWasGiven) {
    LogTable t;
    t.setCols(8);
    t.setRows(3);
    EXPECT_FALSE(isStatusCell(t, 4, 1)); // no layout: no roles
    applyLayout(t, kCombinedLayout, "Rl");
    for (int col = -1; col <= 8; ++col)
        EXPECT_EQ(isStatusCell(t, col, 2), col == 4 || col == 5) << col;
    applyLayout(t, kSingleQdLayout, "Qd");
    for (int col = -1; col <= 6; ++col)
        EXPECT_EQ(isStatusCell(t, col, 2), col == 3) << col;
    // Other columns forget the layout.
    t.setCols(8);
    EXPECT_FALSE(isStatusCell(t, 4, 1));
}
