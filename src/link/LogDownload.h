#pragma once

#include "link/InstrumentLine.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

class ReadLogListener;

// How a "Read log" run or its download ended, for front-ends that report it (the window shows it
// all already).
enum class ReadLogEnd {
    Declined,     // the user kept the unsaved data
    Refused,      // the instrument refused the dialogue; its message was shown
    NoConnection, // no answer to the download's wake-up; nothing was read
    Complete,     // the stream ended by its end byte or by silence
    Incomplete,   // as Complete, with fewer records than "LS" announced; the user was told
    Stopped,      // a bound or the user stopped the reading; the records read are kept
};

// Bounds against an instrument that never stops sending.
struct DownloadLimits {
    int maxLinesWithoutRecord = 1000;
    int maxTableRows = 1000000;
    size_t maxLineBytes = InstrumentLine::kMaxReplyBytes;
    // A slow talker never falls silent long enough to end the stream.
    std::chrono::seconds maxTimeWithoutRecord{60};
    // Rows alone do not bound memory: a million long records take gigabytes.
    size_t maxStreamBytes = size_t{256} << 20;
};

// What the download knows from the dialogue before it.
struct DownloadContext {
    int32_t announced = 0; // records "LS" announced
    std::string identLine; // shown in the memo with the first record
    int tableRows = 2;     // rows the table has when the stream starts
};

// Wakes the instrument, sends "LE" and reads the log stream record by record into the listener.
// Port errors pass through, after the listener heard about records that would be lost.
ReadLogEnd downloadLog(InstrumentLine& line, ReadLogListener& listener,
                       const DownloadContext& context, const DownloadLimits& limits = {});
