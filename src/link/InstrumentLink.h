#pragma once

#include "text/AppError.h"

#include <cstdint>
#include <string>

class App;
class IClock;
class ISerialLine;

// A refused instrument dialogue ("No connection with instrument", "No data in log").
class EDataError : public AppError {
public:
    using AppError::AppError;
};

inline constexpr const char* kTimeoutMark = "$timeout";
// A reply line, a raw reply, a log line or a status report stops growing here: a device that
// never stops sending must not take all memory.
inline constexpr size_t kMaxReplyBytes = 65535;

// Sends the command followed by CR LF.
void SendLine(ISerialLine& port, const std::string& command);
// One reply line without CR and LF; "$timeout" appended when count empty polls of 50 ms passed
// (count 0 means 100). True when the line was cut at kMaxReplyBytes.
bool ReadLine(ISerialLine& port, IClock& clock, uint8_t count, std::string& target);
// Every byte until count empty polls of 50 ms in a row (count 0 means 100). True when the reply
// was cut at kMaxReplyBytes.
bool ReadRaw(ISerialLine& port, IClock& clock, uint8_t count, std::string& target);
// A line in memErr when a reply was cut.
void NoteCutReply(App& app, bool cut);
// The same on the App's port and clock; a cut reply gets a line in memErr.
void ReadLine(App& app, uint8_t count, std::string& target);
void ReadRaw(App& app, uint8_t count, std::string& target);

// The "Read log" handshake: two empty commands, the second answered by "?" (one empty line
// before it is fine). The last reply line is left in reply; cutReplies counts the reply lines
// cut at kMaxReplyBytes.
bool AnswersHandshake(ISerialLine& port, IClock& clock, std::string& reply,
                      int* cutReplies = nullptr);

// The first run of digits, points and commas as a whole number; -1 when there is none.
// Throws EConvertError when the run is not a 32-bit whole number.
int32_t FirstNumber(const std::string& text);

// Empties the table into its reset layout and resets the state that belongs to one log.
void ResetTable(App& app);

// Sends "LS" and sets LogCount from the reply (-1 when the reply is not accepted).
void QueryLogStatus(App& app);
