#include "log/LogLayout.h"

#include "log/InstrumentModel.h"

bool isStatusCell(const LogTable& table, int col, int row) {
    const TableLayout* layout = table.layout();
    if (row < 1 || !layout || col < 0 || col >= layout->cols)
        return false;
    const ColumnRole role = layout->roles[static_cast<size_t>(col)];
    return role == ColumnRole::RlStatus || role == ColumnRole::QdStatus;
}
