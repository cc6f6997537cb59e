#pragma once

#include "app/MainView.h"
#include "link/ExchangeRunner.h"
#include "link/InstrumentLine.h"
#include "log/LogTable.h"
#include "log/Session.h"
#include "text/Dialogs.h"
#include "text/TextMemo.h"

#include <atomic>
#include <memory>

class ArchiveWriter;
class IPortMemory;
struct ArchiveEntry;

// What the main window's commands work on: the log and its session, the statistics memo of the
// graph window, and the port, the clock, the user and the main view. The window and the console
// each make one; tests build it from fakes.
class App {
public:
    App(ISerialLine& port, IClock& clock, IDialogs& dialogs, IMainView& view)
        : port(port), clock(clock), line(port, clock), dialogs(dialogs), view(view) {
        line.setStopFlag(&stopRequested);
    }
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Session session;
    LogTable table;
    TextMemo statistics; // the graph window's statistics report; saved with the text log
    ISerialLine& port;
    IClock& clock;
    InstrumentLine line;
    IDialogs& dialogs;
    IMainView& view;
    // Where the port that answered the handshake is remembered; none in tests and the CLI.
    IPortMemory* portMemory = nullptr;
    // Where the exchanges with the instrument run; none: on the calling thread.
    IExchangeRunner* runner = nullptr;
    // Set by "Stop" (or a stop signal) while an exchange runs; each command clears it first.
    std::atomic<bool> stopRequested{false};
    // The last download was stopped by the user: the instrument may still be sending its log.
    bool logStoppedByUser = false;
    // An exchange ended in a port error: the device may be gone and back under a new handle.
    bool portFailed = false;
    // Where downloads are recorded; none: they are not (tests, --no-archive).
    ArchiveWriter* archive = nullptr;
    // The archive's entry of the log in the table; none for a log from a file.
    std::shared_ptr<ArchiveEntry> archived;
};
