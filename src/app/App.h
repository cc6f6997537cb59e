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
        : m_port(port), m_clock(clock), m_line(port, clock), m_dialogs(dialogs), m_view(view) {
        m_line.setStopFlag(&m_stopRequested);
    }
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Session& session() { return m_session; }
    const Session& session() const { return m_session; }
    LogTable& table() { return m_table; }
    const LogTable& table() const { return m_table; }
    TextMemo& statistics() { return m_statistics; }
    ISerialLine& port() const { return m_port; }
    IClock& clock() const { return m_clock; }
    InstrumentLine& line() { return m_line; }
    IDialogs& dialogs() const { return m_dialogs; }
    IMainView& view() const { return m_view; }
    // Set by "Stop" (or a stop signal) while an exchange runs; each command clears it first.
    std::atomic<bool>& stopRequested() { return m_stopRequested; }

    // Where the port that answered the handshake is remembered; none in tests and the CLI.
    IPortMemory* portMemory() const { return m_portMemory; }
    void setPortMemory(IPortMemory* memory) { m_portMemory = memory; }
    // Where the exchanges with the instrument run; none: on the calling thread.
    IExchangeRunner* runner() const { return m_runner; }
    void setRunner(IExchangeRunner* runner) { m_runner = runner; }
    // Where downloads are recorded; none: they are not (tests, --no-archive).
    ArchiveWriter* archive() const { return m_archive; }
    void setArchive(ArchiveWriter* archive) { m_archive = archive; }
    // The archive's entry of the log in the table; none for a log from a file.
    const std::shared_ptr<ArchiveEntry>& archived() const { return m_archived; }
    void setArchived(std::shared_ptr<ArchiveEntry> entry) { m_archived = std::move(entry); }
    // The last download was stopped by the user: the instrument may still be sending its log.
    bool logStoppedByUser() const { return m_logStoppedByUser; }
    void setLogStoppedByUser(bool stopped) { m_logStoppedByUser = stopped; }

    // The exchange on the runner, or here when there is none. A stop asked before it starts
    // ends it at once (a stop signal while the port opened); one asked for it ends with it.
    void runExchange(ReadLogListener* listener, const IExchangeRunner::Exchange& exchange);
    // Opens the port; a handle that failed before is a fresh one now.
    void openPort() {
        m_port.openPort();
        m_portFailed = false;
    }
    // After a port error the handle is dead even once the adapter is back: the next command
    // opens the port anew before its first command, so the user need not choose the port again.
    // One that still cannot be opened says so and is tried again next time.
    void reopenAfterPortError() {
        if (m_portFailed) {
            m_port.closePort();
            openPort();
        }
    }

private:
    Session m_session;
    LogTable m_table;
    TextMemo m_statistics; // the graph window's statistics report; saved with the text log
    ISerialLine& m_port;
    IClock& m_clock;
    InstrumentLine m_line;
    IDialogs& m_dialogs;
    IMainView& m_view;
    IPortMemory* m_portMemory = nullptr;
    IExchangeRunner* m_runner = nullptr;
    std::atomic<bool> m_stopRequested{false};
    bool m_logStoppedByUser = false;
    // An exchange ended in a port error: the device may be gone and back under a new handle.
    bool m_portFailed = false;
    ArchiveWriter* m_archive = nullptr;
    std::shared_ptr<ArchiveEntry> m_archived;
};
