#include "log/LogLayout.h"

#include "log/LogTable.h"

bool isStatusCell(const LogTable& table, int col, int row) {
    if (row < 1)
        return false;
    if (table.cols() == 8)
        return col == 4 || col == 5;
    if (table.cols() == 6)
        return col == 3;
    return false;
}
