#pragma once

#include "link/LogDownload.h"

#include <cstdint>
#include <string>

class IDialogs;
class InstrumentLine;
class ReadLogListener;

// How a "Read log" run ended, for front-ends that report it (the window shows it all already).
enum class ReadLogEnd {
    Declined,     // the user kept the unsaved data
    Refused,      // the instrument refused the dialogue; its message was shown
    NoConnection, // no answer to the download's wake-up
    Complete,     // the log was read to its end
    Incomplete,   // read to its end, with fewer records than announced; the user was told
    Stopped,      // a bound or the user stopped the reading; the records read are kept
};

// The instrument's side of "Read log": handshake, log status, identification and download, with
// its boxes. What it learns goes to the listener as it happens. Port and conversion errors pass
// through. The question before it and the reset of the table are the front-end's. After a run
// the user stopped, the rest of that log is let run out before the handshake.
ReadLogEnd runReadLog(InstrumentLine& line, IDialogs& dialogs, ReadLogListener& listener,
                      const DownloadLimits& limits = {}, bool afterUserStop = false);

// The first run of digits, points and commas as a whole number; -1 when there is none.
// Throws ConversionError when the run is not a 32-bit whole number.
int32_t firstNumber(const std::string& text);
