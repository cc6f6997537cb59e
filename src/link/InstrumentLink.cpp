#include "link/InstrumentLink.h"

#include "app/App.h"
#include "log/InstrumentModel.h"
#include "text/TextFieldHelpers.h"

namespace {
constexpr int kPollStepMs = 50;

int silenceLimit(uint8_t count) {
    return count == 0 ? 100 : count;
}

} // namespace

void NoteCutReply(App& app, bool cut) {
    // The reply goes on in the input buffer; without this line nobody would know.
    if (cut)
        app.controls.memErrAddLine("Instrument reply cut at " + std::to_string(kMaxReplyBytes) +
                                   " bytes");
}

void SendLine(ISerialLine& port, const std::string& command) {
    port.writeText(command + "\r\n");
}

bool ReadLine(ISerialLine& port, IClock& clock, uint8_t count, std::string& target) {
    const int limit = silenceLimit(count);
    target.clear();
    int idle = 0;
    bool cr = false;
    bool lf = false;
    bool cut = false;
    while (!(cr && lf) && idle < limit) {
        if (port.bytesWaiting() > 0) {
            char byte = 0;
            port.readBytes(&byte, 1);
            idle = 0;
            if (byte == '\n')
                lf = true;
            else if (byte == '\r')
                cr = true;
            else if (target.size() < kMaxReplyBytes)
                target.push_back(byte);
            else
                cut = true; // an endless line ends as if it had fallen silent
            if (cut)
                break;
        } else {
            Delay(clock, kPollStepMs);
            ++idle;
        }
    }
    if (!(cr && lf))
        target += kTimeoutMark;
    return cut;
}

bool ReadRaw(ISerialLine& port, IClock& clock, uint8_t count, std::string& target) {
    const int limit = silenceLimit(count);
    target.clear();
    int idle = 0;
    while (idle < limit && target.size() < kMaxReplyBytes) {
        if (port.bytesWaiting() > 0) {
            char byte = 0;
            port.readBytes(&byte, 1);
            target.push_back(byte);
            idle = 0;
        } else {
            Delay(clock, kPollStepMs);
            ++idle;
        }
    }
    return idle < limit;
}

void ReadLine(App& app, uint8_t count, std::string& target) {
    NoteCutReply(app, ReadLine(app.port, app.clock, count, target));
}

void ReadRaw(App& app, uint8_t count, std::string& target) {
    NoteCutReply(app, ReadRaw(app.port, app.clock, count, target));
}

bool AnswersHandshake(ISerialLine& port, IClock& clock, std::string& reply, int* cutReplies) {
    constexpr uint8_t kReplySilence = 10; // polls of 50 ms
    constexpr int kSettleMs = 200;
    int cuts = 0;
    SendLine(port, "");
    Delay(clock, kSettleMs);
    cuts += ReadLine(port, clock, kReplySilence, reply) ? 1 : 0;
    port.discardBuffers(true, true);
    SendLine(port, "");
    cuts += ReadLine(port, clock, kReplySilence, reply) ? 1 : 0;
    if (reply.empty())
        cuts += ReadLine(port, clock, kReplySilence, reply) ? 1 : 0;
    if (cutReplies)
        *cutReplies = cuts;
    return reply == "?";
}

int32_t FirstNumber(const std::string& text) {
    std::string run;
    for (char c : text) {
        const bool numberChar = IsNumeric(std::string(1, c));
        if (numberChar)
            run.push_back(c);
        else if (!run.empty())
            break;
    }
    if (run.empty())
        return -1;
    return StrToInt(run);
}

void ResetTable(App& app) {
    Session& s = app.session;
    LogTable& t = app.table;
    s.logCount = 0;
    s.model = &unknownModel();
    s.identLine.clear();
    s.serialLine.clear();
    app.controls.setSaveAsEnabled(false);
    app.controls.memErrClear();
    // A statistics report belongs to the log it came from; it must not be saved with the next.
    app.statistics.clear();
    t.clearCells();
    t.setEnabled(false);
    s.dataSaved = true;
    t.setCols(8);
    t.clearCells();
    t.setRows(2);
    // Until an identification names the model, the table takes both kinds of record.
    applyLayout(t, kCombinedLayout, s.model->valueName);
    t.setRows(2);
    app.controls.setTableClientWidth(t.widthSum());
    app.controls.setDataReadCaption("");
    app.controls.setGaugeMax(s.logCount);
    app.controls.setGaugePosition(0);
    app.controls.repaintNow();
}
