#pragma once

#include "export/SaveAs.h"

class App;

// What "Save As" and the command line's --save write from the App: its table, session and
// statistics, with the section report as the graph window starts ("Stop when low bat" checked).
SaveSource saveSourceOf(App& app);
