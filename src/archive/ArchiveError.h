#pragma once

#include "text/AppError.h"

// The archive cannot be used: the text says what and why, as the user is told it.
class ArchiveError : public AppError {
public:
    using AppError::AppError;
};
