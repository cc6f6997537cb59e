#pragma once

#include <QString>
#include <optional>
#include <string>

class App;
struct SavedLog;

// "File / Open...": asks about unsaved data, then for a saved log (a text log or a workbook this
// program wrote) and, in a text log of several blocks, which one; the last is preselected. A file
// that is no such log is told in a box and the table stays as it was. The name of the file
// opened, for the window's title; nothing when nothing was opened.
std::optional<QString> openLog(App& app);

// Puts a saved log into the table as a download of it would have: model and serial line from its
// title, its cells, colours and notes, its statistics report. It counts as saved; origin is
// how the report names where it came from.
void showSavedLog(App& app, const SavedLog& log, const std::string& origin);

// The line a block is offered with: its title and how many records it holds.
std::string savedLogEntry(const SavedLog& log);

// "Opened from " and the file's full path: the origin of a log opened from that file.
std::string openedFrom(const QString& path);
