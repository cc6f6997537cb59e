#pragma once

class App;
class LogTable;

// Fits the table's columns to ModelName: the combined layout for RVM600PK, the single-value
// layout for every other name; the visible width follows the columns.
void LayoutTable(App& app);

// Writes the current record (RowNo, CommaCount and the record fields) into row RowNo, marks
// warnings and errors by text colour and keeps the newest rows in view. A status that the
// marking needs and that is not a whole number leaves its cells unmarked and gets a memErr line.
void WriteRecordRow(App& app);

// True for the cells whose click shows a status decoding: columns 4 and 5 of an eight-column
// table, column 3 of a six-column table, never the header row.
bool IsStatusCell(const LogTable& table, int col, int row);
