#pragma once

#include "text/AppError.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A file opened for appending. Every call returns 0 or the system's error number (as the
// platform layer gives it), so callers can tell the user which call failed and why.
class IAppendFile {
public:
    virtual ~IAppendFile() = default;
    virtual int size(int64_t& length) = 0;
    // Writes all bytes at the end of the file.
    virtual int write(const char* data, size_t length) = 0;
    // Puts what was written on the disk.
    virtual int flush() = 0;
    virtual int truncate(int64_t length) = 0;
    // Removes the file again when opening it created it; a save that wrote nothing into a new
    // file must not leave it behind empty.
    virtual void discardIfCreated() {}
};

// A new file that takes the place of its target in one step when committed; until then, and
// when it is destroyed uncommitted, the target stays as it was. Calls return 0 or the system's
// error number.
class IReplacingFile {
public:
    virtual ~IReplacingFile() = default;
    // Writes all bytes.
    virtual int write(const char* data, size_t length) = 0;
    // Puts the whole file on the disk, then in place of the target.
    virtual int commit() = 0;
};

// The file calls of the exports; tests substitute one that fails where they want.
class IFileLayer {
public:
    virtual ~IFileLayer() = default;
    // Opens the file for appending, creating it when missing; nullptr and errorNumber set when
    // that fails. Anything but a regular file (a named pipe, a device) is refused without
    // waiting for it. The file is closed when the result is destroyed.
    virtual std::unique_ptr<IAppendFile> openForAppend(const QString& path, int& errorNumber) = 0;
    // Starts a file that replaces the one at path (which keeps its permissions); nullptr and
    // errorNumber set when that fails: a folder that is gone or not writable, a target the user
    // may not write.
    virtual std::unique_ptr<IReplacingFile> openForReplace(const QString& path,
                                                           int& errorNumber) = 0;
};

// The operating system's files, through Qt.
IFileLayer& systemFileLayer();

// The file a path names once symbolic links are followed, as far as the system would follow
// them: a save replaces or appends to the link's target, never the link itself, also when the
// target does not exist yet.
QString followLinks(const QString& path);

// Makes the bytes the whole content of the file at path: the earlier file stays as it was until
// every byte is on the disk, and anything but a regular file is left alone. Empty on success,
// else the reason in the system's words.
std::string replaceWholeFile(IFileLayer& files, const QString& path, const std::string& bytes);

// A file could not be opened or created; the text is "Error opening file: " and the number.
class OpenFileError : public AppError {
public:
    explicit OpenFileError(int errorNumber);
    int errorNumber() const { return m_errorNumber; }

private:
    int m_errorNumber;
};
