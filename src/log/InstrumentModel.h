#pragma once

#include "log/LogTable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a column of the log table holds.
enum class ColumnRole { Number, DateTime, Rl, Qd, RlStatus, QdStatus, SeqId, SeqNo };

// The columns of the log table: roles, titles and widths in pixels. The value column is titled
// with the value name of the model.
struct TableLayout {
    int cols;
    std::array<ColumnRole, 8> roles;
    std::array<const char*, 8> titles; // nullptr: the value name
    std::array<int, 8> widths;

    // The column that holds the role; -1 where the layout has none.
    constexpr int column(ColumnRole role) const {
        for (int c = 0; c < cols; ++c)
            if (roles[static_cast<size_t>(c)] == role)
                return c;
        return -1;
    }
};

// Rl and Qd, each with its status: the layout after a reset and of the combined model.
inline constexpr TableLayout kCombinedLayout = {
    8,
    {ColumnRole::Number, ColumnRole::DateTime, ColumnRole::Rl, ColumnRole::Qd, ColumnRole::RlStatus,
     ColumnRole::QdStatus, ColumnRole::SeqId, ColumnRole::SeqNo},
    {"#", "Date / Time", nullptr, "Qd", "RStat", "QStat", "Seq-Id", "Seq#"},
    {30, 112, 35, 35, 37, 37, 68, 50}};
// One value with its status, Rl or Qd; the columns stand alike for both.
inline constexpr TableLayout kSingleValueLayout = {
    6,
    {ColumnRole::Number, ColumnRole::DateTime, ColumnRole::Rl, ColumnRole::RlStatus,
     ColumnRole::SeqId, ColumnRole::SeqNo},
    {"#", "Date / Time", nullptr, "Stat", "Seq-Id", "Seq#"},
    {30, 112, 35, 37, 68, 37}};
inline constexpr TableLayout kSingleQdLayout = {6,
                                                {ColumnRole::Number, ColumnRole::DateTime,
                                                 ColumnRole::Qd, ColumnRole::QdStatus,
                                                 ColumnRole::SeqId, ColumnRole::SeqNo},
                                                kSingleValueLayout.titles,
                                                kSingleValueLayout.widths};

// The "#" cell of a table row, in the column every layout gives the record number; empty in a
// row that a line without a record left.
const std::string& recordNumberCell(const LogTable& table, int row);
// A row whose "#" is a number: a record's, as opposed to a row left by another line.
bool isRecordRow(const LogTable& table, int row);

// Whole status codes from lo to hi; empty when lo > hi.
struct CodeRange {
    int32_t lo;
    int32_t hi;
    constexpr bool contains(int32_t code) const { return code >= lo && code <= hi; }
};

// How a one-value record's status code colours its value and status cells: red first.
struct StatusMarking {
    CodeRange red;
    CodeRange orange;
};

// The two quantities a model may measure, in the order the graph and its statistics take them.
enum class Quantity { Rl = 0, Qd = 1 };
inline constexpr Quantity kQuantities[] = {Quantity::Rl, Quantity::Qd};

enum class SeriesAxis { Left, Right };

// Texts of status bits 0 to 7; an empty text is a bit that only gives an empty line.
using StatusBitTexts = std::array<const char*, 8>;

// Everything that differs between the instrument models. One entry per model; the rules that
// read it never ask for a model by its name.
struct InstrumentModel {
    const char* name;      // as the saved log and the graph title show it
    const char* identMark; // the model is the first whose mark the identification text holds
    bool identMatchCase;   // else the mark is looked for in the upper-cased text
    const char* valueName; // the primary value: title of the value column
    const TableLayout* layout;
    std::optional<StatusMarking> singleMarking; // none: one-value records stay unmarked
    const StatusBitTexts* statusBits;           // none: a decoding gives no bit lines
    std::array<bool, 2> graphed;                // by Quantity: the graph draws it

    bool graphs(Quantity q) const { return graphed[static_cast<size_t>(q)]; }
};

// The known models in the order detection tries them.
const std::vector<const InstrumentModel*>& instrumentModels();
// Before an identification, or when it names no known model: "?".
const InstrumentModel& unknownModel();
// The model the identification text names; the first entry whose mark it holds.
const InstrumentModel& detectModel(const std::string& identification);
// The entry of that exact name; unknownModel() for any other name.
const InstrumentModel& modelNamed(const std::string& name);

// The column titles of the layout; the value column is titled valueName.
std::vector<std::string> layoutTitles(const TableLayout& layout, const std::string& valueName);
// Gives the table the layout's columns, widths and titles.
void applyLayout(LogTable& table, const TableLayout& layout, const std::string& valueName);
// The marking of a one-value record with this status code.
CellMark singleValueMark(const InstrumentModel& model, int32_t code);
// The marking of one value of an Rl-and-Qd record: odd codes carry the error bit.
CellMark combinedMark(int32_t code);
