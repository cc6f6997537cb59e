#pragma once

// The system calls the program makes where Qt offers no portable form, one implementation file
// per system (PlatformPosix.cpp, PlatformWin32.cpp). No Qt here, so the Windows file builds and
// is tested with a cross compiler alone. Error numbers are the system's own (errno on POSIX,
// GetLastError() on Windows); calls that can fail return 0 or such a number.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace platform {

// A file or device as the system hands it out; QSerialPort::handle() has the same type.
#ifdef _WIN32
using NativeHandle = void*;
#else
using NativeHandle = int;
#endif

// ---- Error numbers

// The number of the last failed system call on this thread.
int lastError();
// Forgets it, so that a library failing without a number of its own can be told apart.
void clearLastError();
// The number for an operation on a handle that is not open.
int badHandleError();
// True when a file could not be created because its name is taken.
bool isNameTaken(int error);
// The system's number for a write that failed without saying why (EIO; on Windows
// ERROR_WRITE_FAULT, since 5 there means access denied).
int ioError();

// ---- Files; paths are UTF-8

// A regular file opened for appending: every write goes to its current end. Closed on
// destruction.
class AppendFile {
public:
    // Opens the file, creating it when missing; isOpen() is false and error set when that fails.
    // Anything but a regular file (a named pipe, a device) is refused without waiting for it:
    // a pipe nobody reads gives the system's number for that, anything else notRegularError().
    static AppendFile open(const char* path, int& error);

    AppendFile() = default;
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    bool isOpen() const { return m_open; }
    int size(int64_t& length);
    // Writes all bytes at the end of the file.
    int write(const char* data, size_t length);
    // Returns once what was written is on the disk.
    int sync();
    // Cuts the file back to length bytes.
    int truncate(int64_t length);
    // True when open() made the file.
    bool created() const { return !m_createdPath.empty(); }
    // Closes and removes the file when open() made it: a save that wrote nothing into a new
    // file must not leave it behind empty. Returns 0 or the number of the failed removal.
    int discardIfCreated();

private:
    void close();

    NativeHandle m_handle{};
    bool m_open = false;
    std::string m_createdPath; // set when open() created the file
};

// The number AppendFile::open gives for a name that is not a regular file.
int notRegularError();

// Creates a new empty file with the usual permissions; isNameTaken(result) when it exists.
int createFile(const char* path);
int removeFile(const char* path);
// Gives `to` the access permissions of `from` (POSIX mode bits; on Windows a file takes its
// folder's, as a file written in place would keep them).
int copyPermissions(const char* from, const char* to);
// Moves `from` over `to` in one step, replacing `to` when it exists.
int replaceFile(const char* from, const char* to);

// True when the stream is a terminal (a console window on Windows).
bool isTerminal(std::FILE* stream);

// ---- Serial port

// How the serial library saw an open or a setting fail.
enum class PortFailure { Other, Refused, Missing };
// The system's number for a port failure: the number saved right after it, or the one the
// system gives for such a failure when the library left none; 0 when there is none.
int portErrorNumber(PortFailure failure, int savedError);
// A port message with the system's number: "Unable to open com port (win error code: 2)".
inline std::string portErrorText(const char* message, int systemError) {
    return std::string(message) + " (win error code: " + std::to_string(systemError) + ")";
}
// Claims an opened port for this program alone, so a second instance is refused whatever name,
// link or user it opens the device by; 0 or the busy number portErrorNumber gives. Windows opens
// ports exclusively already, so there it always succeeds.
int lockDevice(NativeHandle port);
// Sending goes on as if XON had come, also after an XOFF the port received.
int resumeOutput(NativeHandle port);

// ---- Time

// Holds 1 ms sleep granularity while it lives, for the 5 ms and 50 ms poll steps (Windows
// sleeps in steps of 15.6 ms otherwise; elsewhere it needs nothing).
class FineTimer {
public:
    FineTimer();
    ~FineTimer();
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;
    bool active() const { return m_active; }

private:
    bool m_active = false;
};

// ---- Process

// Held while the command line reads: the first stop (SIGINT, SIGTERM; on Windows the console's
// Ctrl+C, Ctrl+Break and close) sets the flag, so the reading ends as the window's "Stop" ends it;
// a second ends the process at once with status 130.
class StopSignalWatch {
public:
    explicit StopSignalWatch(std::atomic<bool>& stop);
    ~StopSignalWatch();
    StopSignalWatch(const StopSignalWatch&) = delete;
    StopSignalWatch& operator=(const StopSignalWatch&) = delete;
    // True once a stop came.
    bool signalled() const;

private:
    struct Saved; // the handlers it replaced
    std::unique_ptr<Saved> m_saved;
};

// A closed standard output gets the null device in its place, so no file opened later (the
// port) lands on it and takes the table; true when it was closed, and writing the table is then
// a failure. Windows hands out no such numbers, so there it only tells whether there is one.
bool holdClosedStdout();

// Held while the command line saves: a stop (SIGINT, SIGTERM) waits until the save has finished
// or been cut back and takes effect when this goes, and a file-size limit makes the write fail
// instead of killing the process (SIGXFSZ ignored), so the save can cut back. On Windows the
// console's stops (Ctrl+C, Ctrl+Break, closing the window) are held the same way by a console
// handler, and end the process as the console's own handler would when this goes.
class SaveSignalGuard {
public:
    SaveSignalGuard();
    ~SaveSignalGuard();
    SaveSignalGuard(const SaveSignalGuard&) = delete;
    SaveSignalGuard& operator=(const SaveSignalGuard&) = delete;

private:
    struct Saved; // the handlers it replaced
    std::unique_ptr<Saved> m_saved;
};

#ifdef _WIN32
// Hands a console event (CTRL_C_EVENT, CTRL_CLOSE_EVENT, ...) to the handler SaveSignalGuard
// installs, as the console would; true when the handler took it. For tests: the console cannot
// send every event to the program itself.
bool handleConsoleEventForTest(unsigned long event);
#endif

// What this process holds, for watching it over many runs; -1 where the system does not tell.
struct ProcessResources {
    long residentKb = -1;
    long openHandles = -1;
};
ProcessResources processResources();

} // namespace platform
