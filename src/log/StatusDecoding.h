#pragma once

#include <string>

struct InstrumentModel;

// The plain-words report of a status code for the identified model: one line per set bit,
// lines broken by CR.
std::string decodeStatus(const InstrumentModel& model, const std::string& statusText);
