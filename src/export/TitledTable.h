#pragma once

#include "log/LogTable.h"

#include <string>

struct Session;

// The log table as both exports write it: a title row and an empty row above the on-screen
// table, which itself is left untouched. Row 0 holds the title in column 0, row 2 the headers.
class TitledTable {
public:
    static constexpr int kTitleRows = 2;

    TitledTable(const LogTable& table, std::string title)
        : m_table(table), m_title(std::move(title)) {}

    int rows() const { return m_table.rows() + kTitleRows; }
    int cols() const { return m_table.cols(); }
    const std::string& title() const { return m_title; }
    const std::string& cell(int col, int row) const {
        if (row == 0 && col == 0)
            return m_title;
        static const std::string empty;
        if (row < kTitleRows)
            return empty;
        return m_table.cell(col, row - kTitleRows);
    }

private:
    const LogTable& m_table;
    std::string m_title;
};

// "*Log dump from: " + the model's name + " - " + SerialLine.
std::string logTitle(const Session& session);
