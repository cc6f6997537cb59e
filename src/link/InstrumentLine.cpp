#include "link/InstrumentLine.h"

#include "text/TextFieldHelpers.h"

namespace {
int pollsIn(InstrumentLine::Duration silence) {
    return static_cast<int>(silence / InstrumentLine::kPollStep);
}
auto never() {
    return [] { return false; };
}
} // namespace

void InstrumentLine::send(const std::string& command) {
    m_port.writeText(command + "\r\n");
}

void InstrumentLine::discard() {
    m_port.discardBuffers(true, true);
}

void InstrumentLine::wait(Duration span) {
    delay(m_clock, static_cast<int>(span.count()));
}

Reply InstrumentLine::readLine(Duration silence) {
    Reply reply;
    bool cr = false;
    bool lf = false;
    const PollEnd end = poll(kPollStep, pollsIn(silence), never(), [&](char byte) {
        if (byte == '\n')
            lf = true;
        else if (byte == '\r')
            cr = true;
        else if (reply.text.size() < kMaxReplyBytes)
            reply.text.push_back(byte);
        else
            reply.cut = true; // an endless line ends as if it had fallen silent
        return !reply.cut && !(cr && lf);
    });
    reply.stopped = end == PollEnd::Stopped;
    reply.timedOut = !(cr && lf);
    return reply;
}

Reply InstrumentLine::readUntilSilence(Duration silence) {
    Reply reply;
    const PollEnd end = poll(kPollStep, pollsIn(silence), never(), [&](char byte) {
        reply.text.push_back(byte);
        return reply.text.size() < kMaxReplyBytes;
    });
    reply.stopped = end == PollEnd::Stopped;
    reply.cut = end == PollEnd::Done;
    return reply;
}

Handshake shakeHands(InstrumentLine& line) {
    line.send("");
    line.wait(InstrumentLine::kSettle);
    const Reply first = line.readLine();
    Handshake result;
    if (!first.stopped)
        result = checkConnection(line);
    result.stopped = result.stopped || first.stopped;
    result.cutReplies += first.cut ? 1 : 0;
    return result;
}

Handshake checkConnection(InstrumentLine& line) {
    Handshake result;
    auto read = [&] {
        const Reply reply = line.readLine();
        result.cutReplies += reply.cut ? 1 : 0;
        result.stopped = result.stopped || reply.stopped;
        return reply;
    };
    line.discard();
    line.send("");
    Reply reply = read();
    // Some instruments answer the empty command with an empty line before the "?".
    if (reply.text.empty() && !reply.timedOut && !result.stopped)
        reply = read();
    result.answered = reply.text == "?" && !reply.timedOut && !result.stopped;
    return result;
}

std::string cutReplyNote() {
    // The reply goes on in the input buffer; without this line nobody would know.
    return "Instrument reply cut at " + std::to_string(InstrumentLine::kMaxReplyBytes) + " bytes";
}
