#pragma once

#include "log/InstrumentModel.h"

#include <QString>
#include <cstdint>
#include <string>

// What the program knows about the log in the table and about its user's work, between one
// procedure and the next. Texts that came from the instrument are bytes.
struct Session {
    // The identified model; unknownModel() until an identification names one.
    const InstrumentModel* model = &unknownModel();
    std::string identLine;  // the identification reply, as received
    std::string serialLine; // the log's "S/N" line, from "S/N" on
    std::string serialNo;   // the serial number: serialLine after its first five bytes
    int32_t logCount = 0;   // records the instrument announced; -1 for a reply not understood
    bool dataSaved = false; // nothing in the table would be lost
    bool graphViewed = false;
    bool productionMode = false; // "G" or "GRAPH" as the first argument
    QString saveFolder;          // where the last save went, with a closing '/'
};
