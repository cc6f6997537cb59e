#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

class App;

// The main window's event handlers, in core terms. Each runs inside RunGuarded.

// Creation: minimum size is the window's; opens the port; production mode from the arguments
// (the program's arguments without the program name).
void FormCreate(App& app, const QStringList& arguments);
// The program's arguments without its name, as given: before the toolkit takes out its own
// options, so "-style fusion G" does not start production mode.
QStringList ArgumentsAsGiven(int argc, const char* const argv[]);
// First activation: reset the table, focus, GraphViewed false.
void FormActivate(App& app);
// Close rule: true when the window may close.
bool FormCloseQuery(App& app);
// A port chosen in the selector.
void ComboBox1Click(App& app, const QString& text);

// "Read log".
void btnEmptyClick(App& app);
// "Graph".
void btnGraphClick(App& app);
// "Save As".
void btnSaveAsClick(App& app);
// "Status dump".
void btnStDumpClick(App& app);
// A click on a table cell (column, row in table numbering, row 0 = header).
void grdDataClickCell(App& app, int col, int row);
// The hint of a table cell, or nothing when the cell has none.
std::optional<std::string> grdDataGridHint(const App& app, int col, int row);
