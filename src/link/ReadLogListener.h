#pragma once

#include <cstdint>
#include <string>

struct InstrumentModel;
struct LogRecord;

// What a "Read log" run reports as it goes, in the order it happens, from the thread it runs
// on. The front-end keeps the session, the table and its view up to date from it.
class ReadLogListener {
public:
    virtual ~ReadLogListener() = default;
    // A line for the message memo.
    virtual void note(const std::string& line) = 0;
    // The handshake was answered on the port in use.
    virtual void portAnswered() = 0;
    // The records the log status announced; -1 for a reply that was not understood.
    virtual void logStatus(int32_t announced) = 0;
    // The identification named this model (the unknown model when it named none known).
    virtual void identified(const InstrumentModel& model, const std::string& identLine) = 0;
    // The download starts with the number of records announced.
    virtual void downloadStarting(int32_t announced) = 0;
    // The instrument answered the wake-up: what the table holds from now on may be saved.
    virtual void streamOpened() = 0;
    // Bytes of the log stream as the port gave them, in order, in pieces of a line or so.
    virtual void streamBytes(const std::string& bytes) { (void)bytes; }
    // A line of the log stream ended; row is the table row it takes (a new row from row 2 on),
    // which a line without a record gives back.
    virtual void lineEnded(int row) = 0;
    // The log's serial number line, from "S/N" on.
    virtual void serialLine(const std::string& line) = 0;
    // A record for the table row.
    virtual void record(int row, const LogRecord& record) = 0;
    // The stream ended with so many records; the table is complete and not saved.
    virtual void streamEnded(int records) = 0;
    // An error ended the stream after records had come: they are not saved.
    virtual void recordsUnsaved() = 0;
    // The download is over, however it went.
    virtual void downloadEnded() = 0;
};
