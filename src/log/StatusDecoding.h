#pragma once

#include <string>

// The plain-words report of a status code for the identified model: one line per set bit,
// lines broken by CR.
std::string DecodeStatus(const std::string& modelName, const std::string& statusText);
