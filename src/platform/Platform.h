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
// The system's number for a write that failed without saying why (EIO; on Windows
// ERROR_WRITE_FAULT, since 5 there means access denied).
int ioError();

// The system's words for an error number, without a line end ("File too large").
std::string errorText(int error);

// ---- Files; paths are UTF-8

// A regular file opened for appending, as a C runtime file descriptor: what QFile::open(int)
// takes, so that Qt writes, sizes and cuts back the file the system opened.
struct AppendDescriptor {
    int descriptor = -1;  // -1 when the open failed
    bool created = false; // the open made the file
};
// Opens the file for appending, creating it when missing; error set when that fails. Anything
// but a regular file (a named pipe, a device) is refused without waiting for it: a pipe nobody
// reads gives the system's number for that, anything else notRegularError().
AppendDescriptor openForAppend(const char* path, int& error);
// The number openForAppend gives for a name that is not a regular file.
int notRegularError();
// Returns once what was written through the descriptor is on the disk: Qt's files only hand
// their writes to the system, and QSaveFile's commit goes on when its own sync fails.
int syncDescriptor(int descriptor);
int closeDescriptor(int descriptor);

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
// Claims a port's device for this program alone before the serial library opens it and sets
// its line up: a second instance is refused whatever name, link or user it opens the device by,
// and the settings of the program holding the port are left as they are. On Linux a device is
// also refused while a live process holds a lock file for it (/var/lock, /run/lock) or, as far
// as the system lets us see, has it open (the process at the other end of a pseudo-terminal
// excepted). Windows opens ports exclusively already, so there it claims nothing and always
// succeeds.
class DeviceClaim {
public:
    DeviceClaim() = default;
    ~DeviceClaim();
    DeviceClaim(const DeviceClaim&) = delete;
    DeviceClaim& operator=(const DeviceClaim&) = delete;
    // 0 once claimed; the busy number portErrorNumber gives when another program holds the
    // device; the system's number when it cannot be opened at all (the serial library's own open
    // then tells why in its terms). Path in UTF-8.
    int claim(const char* path);
    // Once the serial library has opened the device: no other open of it succeeds (TIOCEXCL),
    // so a program that takes no lock is kept off it too. 0 or the system's number.
    int makeExclusive();
    void release();

private:
    int m_descriptor = -1;
};
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

// Held while the archive writes on its own thread: a file-size limit makes its writes fail, to
// be told, instead of killing the process in the middle of a download (SIGXFSZ ignored).
class FileSizeLimitGuard {
public:
    FileSizeLimitGuard();
    ~FileSizeLimitGuard();
    FileSizeLimitGuard(const FileSizeLimitGuard&) = delete;
    FileSizeLimitGuard& operator=(const FileSizeLimitGuard&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

// What a process holds, for watching a long-lived one from outside over many runs; -1 where
// the system does not tell (or the process is gone).
struct ProcessResources {
    long residentKb = -1;
    long openHandles = -1;
};
ProcessResources processResources(int64_t processId);
// The id of this process, as QProcess::processId() gives it for others.
int64_t currentProcessId();

} // namespace platform
