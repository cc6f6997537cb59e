#pragma once

#include "app/MainControls.h"
#include "link/SerialLine.h"
#include "log/LogTable.h"
#include "log/Session.h"
#include "text/Clock.h"
#include "text/Dialogs.h"
#include "text/TextMemo.h"

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

    Session session;
    LogTable table;
    TextMemo statistics; // the graph window's statistics report; saved with the text log
    ISerialLine& port;
    IClock& clock;
    IDialogs& dialogs;
    IMainControls& controls;
    // Where the port that answered the handshake is remembered; none in tests and the CLI.
    IPortMemory* portMemory = nullptr;
};
