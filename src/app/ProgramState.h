#pragma once

#include "log/InstrumentModel.h"

#include <QString>
#include <cstdint>
#include <string>

// The program-wide working state: one instance for the run, shared by every procedure.
// Texts that came from the instrument are bytes.
struct ProgramState {
    int32_t RowNo = 0;
    int32_t LogCount = 0;
    std::string IdentLine;
    std::string LastReply;
    QString SaveFolder;
    std::string SerialLine;
    // The identified model; unknownModel() until an identification names one.
    const InstrumentModel* Model = &unknownModel();
    std::string SerialNo;
    bool DataSaved = false;
    bool GraphViewed = false;
    bool ProductionMode = false; // "G" or "GRAPH" as the first argument
};
