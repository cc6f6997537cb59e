#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

struct TableLayout;

// Text colour of a table cell: normal, or the marking of a warning or an error.
enum class CellMark { Normal, Orange, Red };

// The log table: the one store of a downloaded log. Row 0 holds the column titles, rows 1 and on
// the records; every procedure uses this numbering. Cells hold the instrument's bytes.
// For views, the Qt model shows row 0 as the horizontal header and rows 1.. as its rows.
class LogTable final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kDefaultColWidth = 50;
    static constexpr int kDefaultRowHeight = 21;

    explicit LogTable(QObject* parent = nullptr);

    int rows() const { return static_cast<int>(m_cells.size()); }
    int cols() const { return m_cols; }
    void setRows(int rows);
    void setCols(int cols); // a new number of columns forgets the layout
    // What the columns hold (applyLayout gives it); nullptr for a table laid out otherwise.
    const TableLayout* layout() const { return m_layout; }
    void setLayout(const TableLayout* layout) { m_layout = layout; }
    // The rows below the titles, each a record's or left empty by a line that was none.
    int records() const { return rows() - 1; }
    // The row of the record with the index (from 0), and back.
    static int recordRow(int index) { return index + 1; }
    static int recordIndex(int row) { return row - 1; }

    // Out-of-range cells read as empty and ignore writes.
    const std::string& cell(int col, int row) const;
    void setCell(int col, int row, std::string text);
    CellMark mark(int col, int row) const;
    void setMark(int col, int row, CellMark mark);

    // Empties every cell (texts and colours), keeping the shape.
    void clearCells();
    void insertEmptyRows(int at, int count);

    int colWidth(int col) const;
    void setColWidth(int col, int width);
    int widthSum() const;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // Qt model view: data rows only; row 0 is the header.
    int rowCount(const QModelIndex& parent = QModelIndex()) const final;
    int columnCount(const QModelIndex& parent = QModelIndex()) const final;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const final;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const final;
    Qt::ItemFlags flags(const QModelIndex& index) const final;

signals:
    void columnWidthsChanged();
    void enabledChanged(bool enabled);

private:
    struct Cell {
        std::string text;
        CellMark mark = CellMark::Normal;
    };
    using Row = std::vector<Cell>;

    std::vector<Row> m_cells;
    std::vector<int> m_widths;
    int m_cols = 0;
    const TableLayout* m_layout = nullptr;
    bool m_enabled = true;
};
