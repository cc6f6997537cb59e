#include "app/SessionUpdater.h"

#include "app/MainView.h"
#include "link/PortMemory.h"
#include "link/SerialLine.h"
#include "log/InstrumentModel.h"
#include "log/LogRecord.h"
#include "log/LogTable.h"
#include "log/Session.h"
#include "text/Dialogs.h"

void SessionUpdater::tell(const std::string& message) {
    m_dialogs.message(message);
}

void SessionUpdater::busy(bool on) {
    m_dialogs.setBusyCursor(on);
}

void SessionUpdater::note(const std::string& line) {
    m_view.addMessage(line);
}

void SessionUpdater::portAnswered() {
    if (m_portMemory)
        m_portMemory->remember(m_port.port());
}

void SessionUpdater::logStatus(int32_t announced) {
    m_session.logCount = announced;
}

void SessionUpdater::identified(const InstrumentModel& model, const std::string& identLine) {
    m_session.identLine = identLine;
    m_session.model = &model;
    applyLayout(m_table, *model.layout, model.valueName);
}

void SessionUpdater::downloadStarting(int32_t announced) {
    m_view.setProgressRange(announced);
}

void SessionUpdater::streamOpened() {
    m_view.setSaveAsEnabled(true);
}

void SessionUpdater::lineEnded(int row) {
    // Records fill rows 1 to row - 1 and the rows after them are empty, so the new row goes at
    // the end: the same table, without moving the empty rows a noisy stream leaves.
    if (row > 1)
        m_table.insertEmptyRows(m_table.rows(), 1);
    m_view.setProgressText(std::to_string(row) + " of " + std::to_string(m_session.logCount));
}

void SessionUpdater::serialLine(const std::string& line) {
    m_session.serialLine = line;
    m_session.serialNo = line.size() > 5 ? line.substr(5) : std::string();
}

void SessionUpdater::record(int row, const LogRecord& record) {
    m_view.setProgress(row);
    for (const std::string& note : writeRecord(m_table, row, record, *m_session.model))
        m_view.addMessage(note);
}

void SessionUpdater::streamEnded(int) {
    m_table.setEnabled(true);
    m_session.dataSaved = false;
}

void SessionUpdater::recordsUnsaved() {
    m_session.dataSaved = false;
}

void SessionUpdater::downloadEnded() {
    m_session.graphViewed = false;
}
