#include "link/ReadLog.h"

#include "app/App.h"
#include "app/Handlers.h"
#include "link/InstrumentLink.h"
#include "link/PortMemory.h"
#include "log/InstrumentModel.h"
#include "log/LogDownload.h"
#include "log/LogLayout.h"
#include "text/TextFieldHelpers.h"

#include <algorithm>

namespace {

constexpr uint8_t kReplySilence = 10; // polls of 50 ms
constexpr int kSettleMs = 200;        // ms between the steps of the dialogue
constexpr int kIdentAttempts = 3;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

bool contains(const std::string& text, const char* needle) {
    return text.find(needle) != std::string::npos;
}

// Enables "Read log", and "Graph" once the table holds records, however the run ends.
class FinalStep {
public:
    explicit FinalStep(App& app) : m_app(app) {}
    ~FinalStep() {
        m_app.controls.setReadLogEnabled(true);
        if (m_app.table.rows() > 2)
            m_app.controls.setGraphEnabled(true);
    }
    FinalStep(const FinalStep&) = delete;
    FinalStep& operator=(const FinalStep&) = delete;

private:
    App& m_app;
};

// Two empty commands; the second must be answered by "?" (one empty line before it is fine).
void handshake(App& app) {
    int cuts = 0;
    const bool answered = AnswersHandshake(app.port, app.clock, app.session.lastReply, &cuts);
    for (int i = 0; i < cuts; ++i)
        NoteCutReply(app, true); // a line for each cut reply
    if (!answered)
        throw EDataError("No connection with instrument");
    RememberAnsweringPort(app);
}

// Up to three "FV"; true when a line of the identification was accepted.
bool askIdentification(App& app) {
    Session& s = app.session;
    for (int attempt = 0; attempt < kIdentAttempts; ++attempt) {
        SendLine(app.port, "FV");
        ReadLine(app, kReplySilence, s.lastReply);
        if (contains(s.lastReply, "FV") || contains(s.lastReply, "meter") ||
            contains(upper(s.lastReply), "FIRMWARE"))
            return true;
        app.port.discardBuffers(true, true);
    }
    return false;
}

} // namespace

void QueryLogStatus(App& app) {
    Session& s = app.session;
    SendLine(app.port, "LS");
    ReadLine(app, kReplySilence, s.lastReply);
    std::string reply = s.lastReply;
    const size_t markLength = std::char_traits<char>::length(kTimeoutMark);
    if (reply.size() >= markLength &&
        reply.compare(reply.size() - markLength, markLength, kTimeoutMark) == 0)
        reply.erase(reply.size() - markLength);
    const std::string up = upper(reply);
    const bool logStatus = contains(up, "LOG STATUS");
    if (!contains(reply, "LS") && !contains(up, "QD DATA") && !logStatus) {
        app.controls.memErrAddLine(s.lastReply);
        s.logCount = -1;
        app.dialogs.message("Incorrect data recieved from \"Log Status\"");
        return;
    }
    if (s.lastReply.size() == 2 || logStatus)
        ReadLine(app, kReplySilence, s.lastReply);
    s.logCount = FirstNumber(s.lastReply);
    if (s.logCount == -1)
        app.dialogs.message("Incorrect data recieved from \"Log Status\"");
}

ReadLogEnd ReadLog(App& app) {
    Session& s = app.session;
    if (!s.dataSaved && !app.dialogs.confirmYesNo("Data not saved - continue?"))
        return ReadLogEnd::Declined;
    app.controls.setReadLogEnabled(false);
    FinalStep finalStep(app);
    try {
        ResetTable(app); // also forgets the statistics of the earlier log
        handshake(app);
        QueryLogStatus(app);
        if (s.logCount == 0 || s.logCount == -1)
            throw EDataError("No data in log");
        Delay(app.clock, kSettleMs);
        app.port.discardBuffers(true, true);
        if (askIdentification(app)) {
            ReadRaw(app, kReplySilence, s.lastReply);
            s.identLine = s.lastReply;
            s.model = &detectModel(s.lastReply);
            LayoutTable(app);
        }
        app.controls.setGaugeMax(s.logCount);
        Delay(app.clock, kSettleMs);
        const DownloadEnd end = DownloadLog(app);
        s.graphViewed = false;
        switch (end) {
        case DownloadEnd::NoConnection:
            return ReadLogEnd::NoConnection;
        case DownloadEnd::Stopped:
            return ReadLogEnd::Stopped;
        case DownloadEnd::Incomplete:
            return ReadLogEnd::Incomplete;
        case DownloadEnd::Complete:
            break;
        }
        return ReadLogEnd::Complete;
    } catch (const EDataError& e) {
        app.dialogs.message(e.what());
        app.controls.setReadLogEnabled(true);
        app.controls.focusReadLog();
        return ReadLogEnd::Refused;
    }
}

void btnEmptyClick(App& app) {
    ReadLog(app);
}
