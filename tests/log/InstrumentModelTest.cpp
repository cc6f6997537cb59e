#include "log/InstrumentModel.h"

#include "SimRig.h"
#include "app/HandlerGuard.h"
#include "app/Handlers.h"
#include "link/InstrumentLink.h"
#include "link/ReadLog.h"
#include "log/LogLayout.h"
#include "log/StatusDecoding.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using Lines = std::vector<std::string>;

const char* const kNames[] = {"RVM600PK", "VX40", "RVM600P", "RVM600", "?"};

Lines titles(const LogTable& t) {
    Lines h;
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

} // namespace

TEST(InstrumentModel, EveryNameFindsItsEntryAndNoOther) {
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        EXPECT_EQ(modelNamed(name).name, std::string(name));
    }
    EXPECT_EQ(&modelNamed("rvm600"), &unknownModel());
    EXPECT_EQ(&modelNamed(""), &unknownModel());
    EXPECT_EQ(instrumentModels().size(), 4u);
}

// The identification read by "Read log" gives the same model, value name and layout as the
// description's detection.
TEST(InstrumentModel, DetectsWhatReadLogDetects) {
    const char* const idents[] = {
        "Virelon RVM600PK\r\n",
        "RVM600 with qd option\r\n",
        "virelon rvm600pk\r\n",
        "Virelon RVM600P\r\n",
        "Virelon Rvm600\r\n",
        "Virelon thing\r\n",
        "Virelon VX40 QD\r\n",
        "RVM600PK Qd\r\n",
        "Qd meter RVM600\r\n",
        "rvm600p\r\n",
        "RVM 600\r\n",
        "VX40\r\n",
        "RVM600PKQD\r\nline 2\r\n",
    };
    for (const char* ident : idents) {
        SCOPED_TRACE(ident);
        sim::Scenario s;
        s.model = "RVM600";
        s.count = 3;
        s.identText = ident;
        SimRig rig(s);
        FormActivate(rig.app);
        RunGuarded(rig.app.dialogs, [&] { ReadLog(rig.app); });
        const InstrumentModel& model = detectModel(ident);
        EXPECT_EQ(rig.app.state.ModelName, model.name);
        EXPECT_EQ(rig.app.state.ValueName, model.valueName);
        EXPECT_EQ(rig.app.table.cols(), model.layout->cols);
    }
}

TEST(InstrumentModel, LayoutIsTheTablesAfterReadLogsLayout) {
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        SimRig old;
        ResetTable(old.app);
        old.app.state.ModelName = name;
        LayoutTable(old.app);

        const InstrumentModel& model = modelNamed(name);
        SimRig now;
        ResetTable(now.app);
        applyLayout(now.app.table, *model.layout, model.valueName);
        EXPECT_EQ(titles(now.app.table), titles(old.app.table));
        EXPECT_EQ(widths(now.app.table), widths(old.app.table));
        EXPECT_EQ(now.app.table.widthSum(), old.app.state.ColWidthSum);
    }
    // The reset layout is the combined one with the reset value name.
    SimRig reset;
    ResetTable(reset.app);
    LogTable fresh;
    applyLayout(fresh, kCombinedLayout, unknownModel().valueName);
    EXPECT_EQ(titles(fresh), titles(reset.app.table));
    EXPECT_EQ(widths(fresh), widths(reset.app.table));
}

TEST(InstrumentModel, StatusBitTextsAreTheDecodingsLines) {
    const std::string head = "Status Code Breakdown: \r\r";
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const InstrumentModel& model = modelNamed(name);
        for (int bit = 0; bit < 8; ++bit) {
            SCOPED_TRACE(bit);
            const std::string code = std::to_string(1 << bit);
            const std::string line =
                model.statusBits ? std::string((*model.statusBits)[static_cast<size_t>(bit)]) + "\r"
                                 : std::string();
            EXPECT_EQ(DecodeStatus(name, code), head + line);
        }
    }
}

TEST(InstrumentModel, MarkingAgreesWithTheRecordWriterOnEveryCode) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    std::vector<int32_t> codes = {kMin, kMin + 1, -65536, -257, -256, kMax - 1, kMax};
    for (int32_t c = -300; c <= 300; ++c)
        codes.push_back(c);
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const InstrumentModel& model = modelNamed(name);
        SimRig rig;
        ResetTable(rig.app);
        rig.app.state.ModelName = name;
        LayoutTable(rig.app);
        ProgramState& s = rig.app.state;
        s.RowNo = 1;
        s.CommaCount = 4;
        for (int32_t code : codes) {
            SCOPED_TRACE(code);
            rig.app.table.clearCells();
            s.RecStat = std::to_string(code);
            WriteRecordRow(rig.app);
            EXPECT_EQ(rig.app.table.mark(2, 1), singleValueMark(model, code));
            EXPECT_EQ(rig.app.table.mark(3, 1), singleValueMark(model, code));
        }
    }
}

TEST(InstrumentModel, CombinedMarkingAgreesWithTheRecordWriter) {
    SimRig rig;
    ResetTable(rig.app);
    rig.app.state.ModelName = "RVM600PK";
    LayoutTable(rig.app);
    ProgramState& s = rig.app.state;
    s.RowNo = 1;
    s.CommaCount = 6;
    for (int32_t code = -300; code <= 300; ++code) {
        SCOPED_TRACE(code);
        rig.app.table.clearCells();
        s.RecStat = std::to_string(code);
        s.RecQStat = std::to_string(-code);
        WriteRecordRow(rig.app);
        EXPECT_EQ(rig.app.table.mark(2, 1), combinedMark(code));
        EXPECT_EQ(rig.app.table.mark(5, 1), combinedMark(-code));
    }
}
