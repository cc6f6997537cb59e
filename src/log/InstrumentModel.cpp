#include "log/InstrumentModel.h"

#include "text/TextFieldHelpers.h"

#include <limits>

namespace {

constexpr int32_t kMaxCode = std::numeric_limits<int32_t>::max();
constexpr CodeRange kNoCodes = {1, 0};

constexpr StatusBitTexts kRvm600Bits = {"",
                                        "Stray Light (Warning)",
                                        "Log Full (Warning)",
                                        "Test Log Full (Warning)",
                                        "Low Battery Voltage (Warning)",
                                        "High Zero Signal (Warning)",
                                        "High Signal With Lamp On (Error)",
                                        "High Signal With Lamp Off (Error)"};
constexpr StatusBitTexts kVx40Bits = {
    "Converter Error (Error)", "High Leak (Warning)",           "Log Full (Warning)",
    "Test Log Full (Warning)", "Low Battery Voltage (Warning)", "",
    "Ref Signal (Warning)",    "High Signal (Warning)"};
constexpr StatusBitTexts kRvm600PBits = {"Error In Rl Result (Error)",
                                         "Stray Light (Warning)",
                                         "Log Full (Warning)",
                                         "",
                                         "Low Battery Voltage (Warning)",
                                         "High Zero Signal (Warning)",
                                         "High Zero Signal (Warning)",
                                         "High Signal With Lamp On (Error)"};
constexpr StatusBitTexts kRvm600PKBits = {"Error In Qd or Rl Result (Error)",
                                          "Stray Light (Warning)",
                                          "Log Full (Warning)",
                                          "",
                                          "Low Battery Voltage (Warning)",
                                          "",
                                          "",
                                          "High Signal With Lamp On (Error)"};

const InstrumentModel kRvm600PK = {"RVM600PK",       "RVM600PK",   true,           "Rl",
                                   &kCombinedLayout, std::nullopt, &kRvm600PKBits, {true, true}};
const InstrumentModel kVx40 = {
    "VX40",     "QD",         false, "Qd", &kSingleQdLayout, StatusMarking{{1, 1}, {2, 255}},
    &kVx40Bits, {false, true}};
const InstrumentModel kRvm600P = {
    "RVM600P",     "RVM600P",    false, "Rl", &kSingleValueLayout, StatusMarking{{1, 1}, {2, 63}},
    &kRvm600PBits, {true, false}};
const InstrumentModel kRvm600 = {"RVM600",
                                 "RVM600",
                                 false,
                                 "Rl",
                                 &kSingleValueLayout,
                                 StatusMarking{{64, kMaxCode}, {2, 63}},
                                 &kRvm600Bits,
                                 {true, false}};
const InstrumentModel kUnknown = {"?",          nullptr, false,         "Rl", &kSingleValueLayout,
                                  std::nullopt, nullptr, {false, false}};

} // namespace

const std::vector<const InstrumentModel*>& instrumentModels() {
    // The combined model first: its name holds the others'.
    static const std::vector<const InstrumentModel*> models = {&kRvm600PK, &kVx40, &kRvm600P,
                                                               &kRvm600};
    return models;
}

const InstrumentModel& unknownModel() {
    return kUnknown;
}

const InstrumentModel& detectModel(const std::string& identification) {
    const std::string up = upper(identification);
    for (const InstrumentModel* m : instrumentModels()) {
        const std::string& text = m->identMatchCase ? identification : up;
        if (text.find(m->identMark) != std::string::npos)
            return *m;
    }
    return kUnknown;
}

const InstrumentModel& modelNamed(const std::string& name) {
    for (const InstrumentModel* m : instrumentModels())
        if (name == m->name)
            return *m;
    return kUnknown;
}

std::vector<std::string> layoutTitles(const TableLayout& layout, const std::string& valueName) {
    std::vector<std::string> titles;
    for (size_t c = 0; c < static_cast<size_t>(layout.cols); ++c)
        titles.emplace_back(layout.titles[c] ? layout.titles[c] : valueName);
    return titles;
}

void applyLayout(LogTable& table, const TableLayout& layout, const std::string& valueName) {
    table.setCols(layout.cols);
    table.setLayout(&layout);
    const std::vector<std::string> titles = layoutTitles(layout, valueName);
    for (int c = 0; c < layout.cols; ++c) {
        table.setColWidth(c, layout.widths[static_cast<size_t>(c)]);
        table.setCell(c, 0, titles[static_cast<size_t>(c)]);
    }
}

CellMark singleValueMark(const InstrumentModel& model, int32_t code) {
    const StatusMarking marking = model.singleMarking.value_or(StatusMarking{kNoCodes, kNoCodes});
    if (marking.red.contains(code))
        return CellMark::Red;
    return marking.orange.contains(code) ? CellMark::Orange : CellMark::Normal;
}

CellMark combinedMark(int32_t code) {
    if (code % 2 != 0)
        return CellMark::Red;
    return code >= 2 ? CellMark::Orange : CellMark::Normal;
}

const std::string& recordNumberCell(const LogTable& table, int row) {
    constexpr int kNumberColumn = kCombinedLayout.column(ColumnRole::Number);
    static_assert(kSingleValueLayout.column(ColumnRole::Number) == kNumberColumn &&
                  kSingleQdLayout.column(ColumnRole::Number) == kNumberColumn);
    return table.cell(kNumberColumn, row);
}

bool isRecordRow(const LogTable& table, int row) {
    int32_t number = 0;
    return tryStrToInt(recordNumberCell(table, row), number);
}
