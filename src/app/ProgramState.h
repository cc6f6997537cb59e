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
    int32_t ColWidthSum = 0;
    int32_t CommaCount = 0;
    std::string RecDate;
    std::string RecTime;
    std::string RecValue;
    std::string RecQd;
    std::string RecSeqId;
    std::string RecSeqNo;
    std::string RecStat;
    std::string RecQStat;
    std::string IdentLine;
    std::string LastReply;
    QString SaveFolder;
    std::string SerialLine;
    // The identified model; unknownModel() until an identification names one.
    const InstrumentModel* Model = &unknownModel();
    std::string SerialNo;
    bool DataSaved = false;
    bool GraphViewed = false;
    std::string ProductionMode;
    // The log line being assembled by the download (a field of the main window).
    std::string CurLine;
};
