#pragma once

#include "export/SaveAs.h"
#include "link/ReadLog.h"
#include "report/ReportContent.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

class App;

// The main window's commands, without widgets: the window and the console call them inside the
// handler guard, and they report through the App's view and boxes.

// What a command that talks to the instrument did, for the window and the console to decide
// from. Such a command runs inside the handler guard itself, so an error was told in the
// general box.
struct CommandResult {
    // How its exchange ended; Declined also when the user kept things as they were or an error
    // ended it.
    ReadLogEnd end = ReadLogEnd::Declined;
    bool failed = false;               // an error ended it
    bool tableToSave = false;          // it left records in the table that "Save As" would save
    std::vector<std::string> messages; // the lines it added to the message list
};

// At start: opens the port (a box when it is taken), Graph hidden unless production mode is
// asked for by the arguments (the program's arguments without the program name).
void startMainWindow(App& app, const QStringList& arguments);
// The port opened as at start; one that cannot be opened is told in a box and closes "Read log".
bool openPortAtStart(App& app);
// The program's arguments without its name, as given: before the toolkit takes out its own
// options, so "-style fusion G" does not start production mode.
QStringList argumentsAsGiven(int argc, const char* const argv[]);
// First showing: the table in its reset layout, Graph not viewed.
void activateMainWindow(App& app);
// At start, after the reset that empties the message list: a settings file that cannot be used
// is told there once.
void noteUnusableSettings(App& app);
// The close rule: true when the window may close.
bool mayCloseMainWindow(App& app);
// A port chosen in the selector: the line moves to it; true when it opened.
bool choosePort(App& app, const QString& name);

// Empties the table into its reset layout and forgets what belonged to the log in it.
void resetLog(App& app);

// "Read log": the question, the reset, the run (on the app's runner), the commands opened again.
CommandResult readLog(App& app, const DownloadLimits& limits = {});

// "Stop": the exchange that runs ends at its next byte.
void requestStop(App& app);

// "Status dump": the handshake, the question, then the status dump window (Complete).
CommandResult requestStatusDump(App& app);
// "Graph": the graph window, when the table holds two records.
void openGraph(App& app);

// What "Save As" and the command line's --save write from the App: its table, session and
// statistics, with the section report as the graph window starts ("Stop when low bat" checked).
SaveSource saveSourceOf(App& app);
// "Save As".
void saveLogAs(App& app);

// The report of what the App holds, made now, with the required classes the user chose in the
// graph window.
ReportContent reportOf(const App& app);
// "Report...": asks for a PDF file, then writes the report there through the file layer.
void saveReport(App& app, IFileLayer& files = systemFileLayer());

// A click on a table cell (row 0 is the header): a status cell shows its decoding.
void explainStatus(App& app, int col, int row);
// The hint of a table cell, or nothing when the cell has none.
std::optional<std::string> cellHint(const App& app, int col, int row);

// "Find instrument" from the window: the app's own port is let go so the search can open it;
// returns whether it was open.
bool beginPortSearch(App& app);
// After the search: the port found is chosen as in the selector and remembered; with none found
// the user is told (unless they stopped the search) and the earlier port is taken up again.
// Complete when the port found is open; NoConnection when none was found or it would not open.
CommandResult endPortSearch(App& app, const std::optional<QString>& found, bool stopped,
                            bool wasOpen);
