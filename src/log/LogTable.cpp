#include "log/LogTable.h"

#include "text/Cp1252.h"

#include <QColor>
#include <algorithm>
#include <numeric>

namespace {
const std::string kEmpty;
}

LogTable::LogTable(QObject* parent) : QAbstractTableModel(parent) {
    setCols(5);
    setRows(5);
}

void LogTable::setRows(int rows) {
    rows = std::max(rows, 1);
    if (rows == this->rows())
        return;
    beginResetModel();
    m_cells.resize(static_cast<size_t>(rows), Row(static_cast<size_t>(m_cols)));
    endResetModel();
}

void LogTable::setCols(int cols) {
    cols = std::max(cols, 1);
    if (cols == m_cols)
        return;
    beginResetModel();
    m_cols = cols;
    m_layout = nullptr;
    for (auto& row : m_cells)
        row.resize(static_cast<size_t>(cols));
    m_widths.resize(static_cast<size_t>(cols), kDefaultColWidth);
    endResetModel();
    emit columnWidthsChanged();
}

const std::string& LogTable::cell(int col, int row) const {
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return kEmpty;
    return m_cells[static_cast<size_t>(row)][static_cast<size_t>(col)].text;
}

void LogTable::setCell(int col, int row, std::string text) {
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return;
    m_cells[static_cast<size_t>(row)][static_cast<size_t>(col)].text = std::move(text);
    if (row == 0)
        emit headerDataChanged(Qt::Horizontal, col, col);
    else
        emit dataChanged(index(recordIndex(row), col), index(recordIndex(row), col),
                         {Qt::DisplayRole});
}

CellMark LogTable::mark(int col, int row) const {
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return CellMark::Normal;
    return m_cells[static_cast<size_t>(row)][static_cast<size_t>(col)].mark;
}

void LogTable::setMark(int col, int row, CellMark mark) {
    if (row < 0 || row >= rows() || col < 0 || col >= m_cols)
        return;
    m_cells[static_cast<size_t>(row)][static_cast<size_t>(col)].mark = mark;
    if (row > 0)
        emit dataChanged(index(recordIndex(row), col), index(recordIndex(row), col),
                         {Qt::ForegroundRole});
}

void LogTable::clearCells() {
    beginResetModel();
    for (auto& row : m_cells)
        for (auto& c : row)
            c = Cell{};
    endResetModel();
}

void LogTable::insertEmptyRows(int at, int count) {
    if (count <= 0)
        return;
    at = std::clamp(at, 0, rows());
    if (at == 0) {
        // The header row moves: the view must start over.
        beginResetModel();
        m_cells.insert(m_cells.begin(), static_cast<size_t>(count),
                       Row(static_cast<size_t>(m_cols)));
        endResetModel();
        return;
    }
    beginInsertRows(QModelIndex(), recordIndex(at), recordIndex(at) + count - 1);
    m_cells.insert(m_cells.begin() + at, static_cast<size_t>(count),
                   Row(static_cast<size_t>(m_cols)));
    endInsertRows();
}

int LogTable::colWidth(int col) const {
    if (col < 0 || col >= m_cols)
        return 0;
    return m_widths[static_cast<size_t>(col)];
}

void LogTable::setColWidth(int col, int width) {
    if (col < 0 || col >= m_cols)
        return;
    m_widths[static_cast<size_t>(col)] = width;
    emit columnWidthsChanged();
}

int LogTable::widthSum() const {
    return std::accumulate(m_widths.begin(), m_widths.end(), 0);
}

void LogTable::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit enabledChanged(enabled);
}

int LogTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : records();
}

int LogTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_cols;
}

QVariant LogTable::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int row = recordRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return fromCp1252(cell(index.column(), row));
    case Qt::ForegroundRole:
        switch (mark(index.column(), row)) {
        case CellMark::Orange:
            return QColor(255, 128, 0);
        case CellMark::Red:
            return QColor(255, 0, 0);
        case CellMark::Normal:
            break;
        }
        return {};
    default:
        return {};
    }
}

QVariant LogTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return fromCp1252(cell(section, 0));
}

Qt::ItemFlags LogTable::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_enabled)
        f |= Qt::ItemIsEnabled;
    return f;
}
