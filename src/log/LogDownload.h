#pragma once

#include "link/InstrumentLink.h"

#include <chrono>
#include <cstddef>

class App;

// How a download ended.
enum class DownloadEnd {
    NoConnection, // no answer to the wake-up; nothing was read
    Complete,     // the stream ended by its end byte or by silence
    Incomplete,   // as Complete, with fewer records than "LS" announced; the user was told
    Stopped,      // a bound stopped an instrument that kept sending; the records read are kept
};

// Bounds against an instrument that never stops sending.
struct DownloadLimits {
    int maxLinesWithoutRecord = 1000;
    int maxTableRows = 1000000;
    size_t maxLineBytes = kMaxReplyBytes;
    // A slow talker never falls silent long enough to end the stream.
    std::chrono::seconds maxTimeWithoutRecord{60};
    // Rows alone do not bound memory: a million long records take gigabytes.
    size_t maxStreamBytes = size_t{256} << 20;
};

// Wakes the instrument, sends "LE" and reads the log stream into the table, one row per record,
// with progress. Conversion and port errors pass through after the hourglass is gone.
DownloadEnd DownloadLog(App& app, const DownloadLimits& limits = {});
