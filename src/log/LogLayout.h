#pragma once

class App;
class LogTable;
struct LogRecord;

// Fits the table's columns to the identified model's layout; the visible width follows them.
void LayoutTable(App& app);

// Writes the record into the row, marks warnings and errors by text colour by the identified
// model's rules and keeps the newest rows in view. A status that the marking needs and that is
// not a whole number leaves its cells unmarked and gets a memErr line.
void WriteRecordRow(App& app, int row, const LogRecord& record);

// True for the cells whose click shows a status decoding: columns 4 and 5 of an eight-column
// table, column 3 of a six-column table, never the header row.
bool IsStatusCell(const LogTable& table, int col, int row);
