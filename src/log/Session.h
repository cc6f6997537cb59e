#pragma once

#include "log/InstrumentModel.h"

#include <QString>
#include <cstdint>
#include <string>

// What the user tells about the survey a log belongs to: typed by the user, not bytes from the
// instrument, and shown as plain text wherever it appears.
struct SurveyDetails {
    QString project;
    QString road;
    QString direction;
    QString operatorName;
    QString notes; // may hold line breaks
};

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
    SurveyDetails survey;        // for the log in the table
    std::string logOrigin;       // how the log came into the table, as the report names it
};
