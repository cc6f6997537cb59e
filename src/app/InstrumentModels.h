#pragma once

#include <array>
#include <string>

// The instrument models the program knows; every model-dependent branch compares ModelName
// exactly with these names.
namespace Models {
inline constexpr const char* RVM600PK = "RVM600PK";
inline constexpr const char* VX40 = "VX40";
inline constexpr const char* RVM600P = "RVM600P";
inline constexpr const char* RVM600 = "RVM600";
inline constexpr const char* Unknown = "?";
} // namespace Models

struct InstrumentModel {
    const char* name;
    const char* valueName; // the primary value: header of table column 2
    bool measuresRl;
    bool measuresQd;
    int tableColumns; // 8 for the combined layout, 6 for the single-value layout
};

inline constexpr std::array<InstrumentModel, 4> kInstrumentModels = {{
    {Models::RVM600PK, "Rl", true, true, 8},
    {Models::VX40, "Qd", false, true, 6},
    {Models::RVM600P, "Rl", true, false, 6},
    {Models::RVM600, "Rl", true, false, 6},
}};

// The model entry for a name, or nullptr when the name is none of the four.
inline const InstrumentModel* findModel(const std::string& name) {
    for (const auto& m : kInstrumentModels)
        if (name == m.name)
            return &m;
    return nullptr;
}
