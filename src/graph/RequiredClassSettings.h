#pragma once

#include "graph/SectionReport.h"

// The required classes the user chose last, kept in the user's settings; the defaults (R2, Q2)
// where nothing usable is stored.
RequiredClasses loadRequiredClasses();
void saveRequiredClasses(const RequiredClasses& required);
