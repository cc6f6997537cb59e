#pragma once

#include <string>
#include <vector>

class LogTable;
struct InstrumentModel;

// One record of the log as the instrument sent it; the texts are its bytes.
struct LogRecord {
    bool combined = false; // Rl and Qd, each with its status; else one value with its status
    std::string date;
    std::string time;
    std::string value; // Rl of a combined record
    std::string qd;    // combined records only
    std::string status;
    std::string qdStatus; // combined records only
    std::string seqId;
    std::string seqNo;
};

// What one line of the log stream holds.
struct LogLine {
    enum Kind {
        Record,       // four or six separators
        ColumnTitles, // shaped like a record, naming "Date"
        Other,        // the serial number line, noise
    };
    Kind kind = Other;
    LogRecord record; // for Record
};

// Takes a line of the log stream apart; its fields are separated by commas (the download turns
// TABs into commas) and the date and the time by a blank.
LogLine parseLogLine(const std::string& line);

// Writes the record into the table row row: "#", the texts, then the marks of warnings and
// errors by the model's rules. A status that the marking needs and that is not a whole number
// leaves its cells unmarked; the result holds a note for each, in the order of the cells.
std::vector<std::string> writeRecord(LogTable& table, int row, const LogRecord& record,
                                     const InstrumentModel& model);

// The record a row of saved cells holds, as writeRecord laid it out; a missing cell is empty.
LogRecord readRecord(const std::vector<std::string>& cells, bool combined);
