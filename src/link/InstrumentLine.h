#pragma once

#include "link/SerialLine.h"
#include "text/AppError.h"
#include "text/Clock.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

// A refused instrument dialogue ("No connection with instrument", "No data in log").
class DialogueError : public AppError {
public:
    using AppError::AppError;
};

// What a reply line or a raw reply brought.
struct Reply {
    std::string text;      // the bytes; a line without its CR and LF
    bool timedOut = false; // a line that did not end with CR and LF in time
    bool cut = false;      // stopped growing at InstrumentLine::kMaxReplyBytes
    bool stopped = false;  // the user stopped the exchange
};

// The line to the instrument: commands out, replies in, by polling the port on the clock. Every
// wait of the dialogue goes through here, so a stop request ends it at the next byte.
class InstrumentLine {
public:
    using Duration = std::chrono::milliseconds;
    // One empty poll of a reply.
    static constexpr Duration kPollStep{50};
    // Silence that ends a reply.
    static constexpr Duration kReplySilence{500};
    // Pause between the steps of the dialogue.
    static constexpr Duration kSettle{200};
    // A reply line, a raw reply, a log line or a status report stops growing here: a device
    // that never stops sending must not take all memory.
    static constexpr size_t kMaxReplyBytes = 65535;

    InstrumentLine(ISerialLine& port, IClock& clock) : m_port(port), m_clock(clock) {}

    ISerialLine& port() { return m_port; }
    IClock& clock() { return m_clock; }

    // A flag another thread may set to stop the exchange; none: it runs to its end.
    void setStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
    bool stopRequested() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    // Sends the command followed by CR LF.
    void send(const std::string& command);
    // Drops what waits in both directions.
    void discard();
    // Waits the span on the clock.
    void wait(Duration span);

    // One reply line without CR and LF, ended by both in either order or by silence.
    Reply readLine(Duration silence = kReplySilence);
    // Every byte until silence.
    Reply readUntilSilence(Duration silence = kReplySilence);

    // How a poll ended.
    enum class PollEnd { Silence, Done, Stopped };
    // Reads byte by byte, waiting step between empty polls, until idlePolls empty polls in a
    // row, a stop request, onByte(byte) returning false, or full() returning true while a byte
    // waits (that byte stays unread).
    template <typename Full, typename OnByte>
    PollEnd poll(Duration step, int idlePolls, Full&& full, OnByte&& onByte);

private:
    ISerialLine& m_port;
    IClock& m_clock;
    const std::atomic<bool>* m_stop = nullptr;
};

// The "Read log" handshake and how it went.
struct Handshake {
    bool answered = false; // the second empty command was answered by "?"
    int cutReplies = 0;    // reply lines cut at InstrumentLine::kMaxReplyBytes
    bool stopped = false;
};
// Two empty commands; the second must be answered by "?" (one empty line before it is fine).
Handshake shakeHands(InstrumentLine& line);

// The status dump's check: one empty command, answered by "?" (one empty line before it is
// fine).
Handshake checkConnection(InstrumentLine& line);

// The memo line for a reply cut at the limit.
std::string cutReplyNote();

template <typename Full, typename OnByte>
InstrumentLine::PollEnd InstrumentLine::poll(Duration step, int idlePolls, Full&& full,
                                             OnByte&& onByte) {
    int idle = 0;
    while (idle < idlePolls) {
        if (stopRequested())
            return PollEnd::Stopped;
        if (m_port.bytesWaiting() <= 0) {
            wait(step);
            ++idle;
            continue;
        }
        if (full())
            return PollEnd::Done;
        char byte = 0;
        m_port.readBytes(&byte, 1);
        idle = 0;
        if (!onByte(byte))
            return PollEnd::Done;
    }
    return PollEnd::Silence;
}
