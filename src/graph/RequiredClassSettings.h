#pragma once

#include "graph/SectionReport.h"

// Where the required classes the user chose last are kept; the defaults (R2, Q2) where nothing
// usable is stored. Tests give one of their own.
class IRequiredClassMemory {
public:
    virtual ~IRequiredClassMemory() = default;
    virtual RequiredClasses load() const = 0;
    virtual void save(const RequiredClasses& required) = 0;
};

// The user's settings, the one memory of the window and the command line.
IRequiredClassMemory& userRequiredClasses();
