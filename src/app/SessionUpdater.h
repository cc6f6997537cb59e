#pragma once

#include "link/ReadLogListener.h"

class IDialogs;
class IMainView;
class IPortMemory;
class ISerialLine;
class LogTable;
struct Session;

// Keeps the session, the table and the main view up to date from what a "Read log" run reports,
// and shows the user what it tells.
class SessionUpdater final : public ReadLogListener {
public:
    SessionUpdater(Session& session, LogTable& table, IMainView& view, IDialogs& dialogs,
                   const ISerialLine& port, IPortMemory* portMemory)
        : m_session(session), m_table(table), m_view(view), m_dialogs(dialogs), m_port(port),
          m_portMemory(portMemory) {}

    void tell(const std::string& message) override;
    void busy(bool on) override;
    void note(const std::string& line) override;
    void portAnswered() override;
    void logStatus(int32_t announced) override;
    void identified(const InstrumentModel& model, const std::string& identLine) override;
    void downloadStarting(int32_t announced) override;
    void streamOpened() override;
    void lineEnded(int row) override;
    void serialLine(const std::string& line) override;
    void record(int row, const LogRecord& record) override;
    void streamEnded(int records) override;
    void recordsUnsaved() override;
    void downloadEnded() override;

private:
    Session& m_session;
    LogTable& m_table;
    IMainView& m_view;
    IDialogs& m_dialogs;
    const ISerialLine& m_port;
    IPortMemory* m_portMemory;
};
