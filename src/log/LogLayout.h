#pragma once

class LogTable;

// True for the cells whose click shows a status decoding: the status columns of the table's
// layout, never the header row.
bool isStatusCell(const LogTable& table, int col, int row);
