#pragma once

class LogTable;

// True for the cells whose click shows a status decoding: columns 4 and 5 of an eight-column
// table, column 3 of a six-column table, never the header row.
bool isStatusCell(const LogTable& table, int col, int row);
