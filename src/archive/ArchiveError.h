#pragma once

#include "text/AppError.h"

#include <QSqlError>

// The archive cannot be used: the text says what and why, as the user is told it.
class ArchiveError : public AppError {
public:
    using AppError::AppError;
};

// The archive is held by another program for a moment (it is being made, or its journal set up)
// beyond what the busy wait covers; trying again shortly may succeed.
class ArchiveBusy : public ArchiveError {
public:
    using ArchiveError::ArchiveError;
};

// SQLITE_BUSY or SQLITE_LOCKED, with any extended code.
inline bool archiveBusy(const QSqlError& error) {
    bool number = false;
    const int code = error.nativeErrorCode().toInt(&number) & 0xff;
    return number && (code == 5 || code == 6);
}
