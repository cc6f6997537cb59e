#include "export/TitledTable.h"

#include "app/ProgramState.h"

std::string LogTitle(const ProgramState& state) {
    return "*Log dump from: " + state.ModelName + " - " + state.SerialLine;
}
