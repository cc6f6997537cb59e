#include "export/TitledTable.h"

#include "app/ProgramState.h"

std::string LogTitle(const ProgramState& state) {
    return "*Log dump from: " + std::string(state.Model->name) + " - " + state.SerialLine;
}
