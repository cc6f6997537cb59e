#include "link/ReadLog.h"

#include "link/InstrumentLine.h"
#include "link/ReadLogListener.h"
#include "log/InstrumentModel.h"
#include "text/TextFieldHelpers.h"

#include <optional>

namespace {

constexpr int kIdentAttempts = 3;

bool contains(const std::string& text, const char* needle) {
    return text.find(needle) != std::string::npos;
}

// The dialogue before the download; a refusal ends it with its message.
class Dialogue {
public:
    Dialogue(InstrumentLine& line, ReadLogListener& listener)
        : m_line(line), m_listener(listener) {}

    void handshake(bool drainFirst) {
        if (drainFirst)
            drainStoppedStream();
        const Handshake result = shakeHands(m_line);
        for (int i = 0; i < result.cutReplies; ++i)
            m_listener.note(cutReplyNote()); // a line for each cut reply
        if (!result.answered)
            refuse("No connection with instrument", result.stopped);
        m_listener.portAnswered();
    }

    // "LS": the records announced, -1 for a reply not understood.
    int32_t logStatus() {
        m_line.send("LS");
        Reply reply = readLine();
        const std::string up = upper(reply.text);
        const bool logStatus = contains(up, "LOG STATUS");
        if (!contains(reply.text, "LS") && !contains(up, "QD DATA") && !logStatus) {
            // The memo marks a line that never ended.
            m_listener.note(reply.timedOut ? reply.text + "$timeout" : reply.text);
            m_listener.logStatus(-1);
            m_listener.tell("Incorrect data recieved from \"Log Status\"");
            return -1;
        }
        if ((reply.text.size() == 2 && !reply.timedOut) || logStatus)
            reply = readLine();
        const int32_t count = firstNumber(reply.text);
        m_listener.logStatus(count);
        if (count == -1)
            m_listener.tell("Incorrect data recieved from \"Log Status\"");
        return count;
    }

    // Up to three "FV"; the identification reply when a line of it was accepted.
    std::optional<std::string> identification() {
        for (int attempt = 0; attempt < kIdentAttempts; ++attempt) {
            m_line.send("FV");
            const std::string reply = readLine().text;
            if (contains(reply, "FV") || contains(reply, "meter") ||
                contains(upper(reply), "FIRMWARE")) {
                const Reply rest = m_line.readUntilSilence();
                noteCut(rest.cut);
                stopCheck();
                return rest.text;
            }
            m_line.discard();
        }
        return std::nullopt;
    }

    // Ends the dialogue as refused: the message box, unless the user stopped it.
    [[noreturn]] void refuse(const char* message, bool stopped = false) {
        throw Refusal{message, stopped};
    }

    struct Refusal {
        std::string message;
        bool stopped;
    };

private:
    // What the instrument still sends of a log the user stopped would answer the handshake: it
    // is let run out first, as long as the user lets it.
    void drainStoppedStream() {
        const auto deadline = m_line.clock().now() + std::chrono::nanoseconds(kDrainLimit);
        while (m_line.port().bytesWaiting() > 0 && m_line.clock().now() < deadline) {
            const Reply rest = m_line.readUntilSilence();
            if (rest.stopped)
                refuse("No connection with instrument", true);
        }
    }
    static constexpr std::chrono::minutes kDrainLimit{5}; // a whole log at the line's rate

    Reply readLine() {
        Reply reply = m_line.readLine();
        noteCut(reply.cut);
        stopCheck();
        return reply;
    }
    void noteCut(bool cut) {
        if (cut)
            m_listener.note(cutReplyNote());
    }
    // A stop during the dialogue ends it as a lost connection would, without the box.
    void stopCheck() {
        if (m_line.stopRequested())
            refuse("No connection with instrument", true);
    }

    InstrumentLine& m_line;
    ReadLogListener& m_listener;
};

} // namespace

ReadLogEnd runReadLog(InstrumentLine& line, ReadLogListener& listener, const DownloadLimits& limits,
                      bool afterUserStop) {
    Dialogue dialogue(line, listener);
    try {
        dialogue.handshake(afterUserStop);
        DownloadContext context;
        context.announced = dialogue.logStatus();
        if (context.announced == 0 || context.announced == -1)
            dialogue.refuse("No data in log");
        line.wait(InstrumentLine::kSettle);
        line.discard();
        if (const std::optional<std::string> ident = dialogue.identification()) {
            context.identLine = *ident;
            listener.identified(detectModel(*ident), *ident);
        }
        listener.downloadStarting(context.announced);
        line.wait(InstrumentLine::kSettle);
        const ReadLogEnd end = downloadLog(line, listener, context, limits);
        listener.downloadEnded();
        return end;
    } catch (const Dialogue::Refusal& refusal) {
        if (!refusal.stopped)
            listener.tell(refusal.message);
        return ReadLogEnd::Refused;
    }
}

int32_t firstNumber(const std::string& text) {
    std::string run;
    for (char c : text) {
        const bool numberChar = isNumeric(std::string(1, c));
        if (numberChar)
            run.push_back(c);
        else if (!run.empty())
            break;
    }
    if (run.empty())
        return -1;
    return strToInt(run);
}
