#pragma once

#include "link/LogDownload.h"

#include <cstdint>
#include <string>

class InstrumentLine;
class ReadLogListener;

// The instrument's side of "Read log": handshake, log status, identification and download. What
// it learns and what it tells the user go to the listener as they happen. Port and conversion
// errors pass through. The question before it and the reset of the table are the front-end's. After
// a run the user stopped, the rest of that log is let run out before the handshake.
ReadLogEnd runReadLog(InstrumentLine& line, ReadLogListener& listener,
                      const DownloadLimits& limits = {}, bool afterUserStop = false);

// The first run of digits, points and commas as a whole number; -1 when there is none.
// Throws ConversionError when the run is not a 32-bit whole number.
int32_t firstNumber(const std::string& text);
