#pragma once

#include "app/Dialogs.h"
#include "app/MainControls.h"
#include "app/ProgramState.h"
#include "app/TextMemo.h"
#include "link/SerialLine.h"
#include "log/LogTable.h"
#include "text/Clock.h"

class IPortMemory;

// Everything one run of the program works on: the state, the log table, the statistics memo
// of the graph window, and the interfaces to the port, the clock, the user and the main window.
// The windows hand it to the procedures; tests build it from fakes.
class App {
public:
    App(ISerialLine& port, IClock& clock, IDialogs& dialogs, IMainControls& controls)
        : port(port), clock(clock), dialogs(dialogs), controls(controls) {}
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    ProgramState state;
    LogTable table;
    TextMemo memStat; // the graph window's statistics report; saved with the text log
    ISerialLine& port;
    IClock& clock;
    IDialogs& dialogs;
    IMainControls& controls;
    // Where the port that answered the handshake is remembered; none in tests and the CLI.
    IPortMemory* portMemory = nullptr;
};
