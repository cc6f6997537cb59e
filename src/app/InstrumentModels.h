#pragma once

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
