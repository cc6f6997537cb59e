#include "platform/Platform.h"

#include <fcntl.h>
#include <io.h>
#include <string>
#include <utility>
#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <timeapi.h>

namespace platform {

namespace {

// Windows takes file names in UTF-16.
std::wstring widePath(const char* path) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// Other programs may read and write the file while it is open, as they may on POSIX.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int lastErrorOr(BOOL ok) {
    return ok ? 0 : static_cast<int>(GetLastError());
}

} // namespace

int lastError() {
    return static_cast<int>(GetLastError());
}

void clearLastError() {
    SetLastError(ERROR_SUCCESS);
}

int badHandleError() {
    return ERROR_INVALID_HANDLE;
}

int ioError() {
    return ERROR_WRITE_FAULT;
}

std::string errorText(int error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text =
        length != 0 && buffer ? std::string(buffer, length) : "error " + std::to_string(error);
    LocalFree(buffer);
    // The system's texts end in a full stop and a line end.
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

AppendDescriptor openForAppend(const char* path, int& error) {
    AppendDescriptor file;
    // Opening does not wait on Windows, not even for a pipe; what is opened is checked after.
    // Opened for writing, not for appending only, so that a failed block can be cut back; the
    // descriptor's _O_APPEND seeks to the end before each write instead.
    const std::wstring wide = widePath(path);
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return file;
    }
    // OPEN_ALWAYS tells an existing file by this number after a successful open.
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    // A device (NUL, CON, a COM port) or a pipe is not a file to keep a log in.
    error = GetFileType(handle) == FILE_TYPE_DISK ? 0 : notRegularError();
    const int descriptor =
        error == 0 ? _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY)
                   : -1;
    if (descriptor < 0) {
        if (error == 0)
            error = ERROR_TOO_MANY_OPEN_FILES;
        CloseHandle(handle);
        if (created)
            DeleteFileW(wide.c_str());
        return file;
    }
    file.descriptor = descriptor;
    file.created = created;
    return file;
}

int notRegularError() {
    return ERROR_INVALID_PARAMETER;
}

int syncDescriptor(int descriptor) {
    // The C runtime ends the program on a negative descriptor instead of failing the call.
    if (descriptor < 0)
        return ERROR_INVALID_HANDLE;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE)
        return ERROR_INVALID_HANDLE;
    return lastErrorOr(FlushFileBuffers(handle));
}

int closeDescriptor(int descriptor) {
    // Closing the descriptor closes the handle it was made from.
    return descriptor >= 0 && _close(descriptor) == 0 ? 0 : ERROR_INVALID_HANDLE;
}

bool isTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

int portErrorNumber(PortFailure failure, int savedError) {
    if (savedError != 0)
        return savedError;
    // The library may format its own message after the failure, which can clear the number:
    // these are the numbers Windows gives for a missing and for a busy port.
    if (failure == PortFailure::Missing)
        return ERROR_FILE_NOT_FOUND;
    if (failure == PortFailure::Refused)
        return ERROR_ACCESS_DENIED;
    return 0;
}

DeviceClaim::~DeviceClaim() = default;

int DeviceClaim::claim(const char* path) {
    // CreateFile opens a COM port for one handle only: a second program is refused there.
    (void)path;
    (void)m_descriptor;
    return 0;
}

int DeviceClaim::makeExclusive() {
    return 0;
}

void DeviceClaim::release() {}

int resumeOutput(NativeHandle port) {
    // As on POSIX, suspending first: Wine's resume alone only undoes its own suspension, not
    // the stop a received XOFF set; on Windows the pair ends where the resume alone would.
    if (!EscapeCommFunction(port, SETXOFF) || !EscapeCommFunction(port, SETXON))
        return static_cast<int>(GetLastError());
    return 0;
}

FineTimer::FineTimer() : m_active(timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimer::~FineTimer() {
    if (m_active)
        timeEndPeriod(1);
}

bool holdClosedStdout() {
    // Files get handles, not the lowest free number, so nothing opened later can take the
    // place of a missing standard output.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    return out == nullptr || out == INVALID_HANDLE_VALUE;
}

namespace {

// The console's stop that came during the save, kNoStop for none (CTRL_C_EVENT is 0).
constexpr LONG kNoStop = -1;
volatile LONG g_heldStop = kNoStop;
// Set when the save is over. Made once and kept: a handler thread may still wait on it.
HANDLE g_saveOver = nullptr;

} // namespace

// The console runs this on a thread of its own. Not in the header: the platform tests declare
// it to hand it the events a console cannot send to the program itself.
BOOL WINAPI holdConsoleStop(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    InterlockedExchange(&g_heldStop, static_cast<LONG>(event));
    // Once a close handler returns the system ends the process, whatever it answers; it allows
    // a few seconds, which the save gets by the wait.
    if (event == CTRL_CLOSE_EVENT && g_saveOver)
        WaitForSingleObject(g_saveOver, INFINITE);
    return TRUE;
}

namespace {
std::atomic<bool>* g_stopFlag = nullptr;
volatile LONG g_stopEvents = 0;

// The console runs this on a thread of its own.
BOOL WINAPI stopOnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (InterlockedIncrement(&g_stopEvents) > 1)
        ExitProcess(130); // the second stop: at once
    if (g_stopFlag)
        g_stopFlag->store(true);
    return TRUE;
}
} // namespace

struct StopSignalWatch::Saved {};

StopSignalWatch::StopSignalWatch(std::atomic<bool>& stop) {
    g_stopFlag = &stop;
    InterlockedExchange(&g_stopEvents, 0);
    SetConsoleCtrlHandler(stopOnConsoleEvent, TRUE);
}

StopSignalWatch::~StopSignalWatch() {
    SetConsoleCtrlHandler(stopOnConsoleEvent, FALSE);
    g_stopFlag = nullptr;
}

bool StopSignalWatch::signalled() const {
    return g_stopEvents > 0;
}

// The console's stops reach a program through its console handler, not as signals; there is
// nothing to save but the handler itself.
struct SaveSignalGuard::Saved {};

SaveSignalGuard::SaveSignalGuard() {
    if (!g_saveOver)
        g_saveOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    else
        ResetEvent(g_saveOver);
    InterlockedExchange(&g_heldStop, kNoStop);
    SetConsoleCtrlHandler(holdConsoleStop, TRUE);
}

SaveSignalGuard::~SaveSignalGuard() {
    SetConsoleCtrlHandler(holdConsoleStop, FALSE);
    if (g_saveOver)
        SetEvent(g_saveOver);
    // What the stop would have done during the save, it does now: with a stop watch, what the
    // watch does with it; else the console's own handler ends the process with this code.
    if (InterlockedExchange(&g_heldStop, kNoStop) != kNoStop) {
        if (!g_stopFlag)
            ExitProcess(STATUS_CONTROL_C_EXIT);
        stopOnConsoleEvent(CTRL_C_EVENT);
    }
}

struct FileSizeLimitGuard::Saved {};
FileSizeLimitGuard::FileSizeLimitGuard() = default; // Windows has no file-size signal
FileSizeLimitGuard::~FileSizeLimitGuard() = default;

ProcessResources processResources(int64_t processId) {
    ProcessResources figures;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE,
                                       static_cast<DWORD>(processId));
    if (!process)
        return figures;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, &memory, sizeof memory))
        figures.residentKb = static_cast<long>(memory.WorkingSetSize / 1024);
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles))
        figures.openHandles = static_cast<long>(handles);
    CloseHandle(process);
    return figures;
}

int64_t currentProcessId() {
    return static_cast<int64_t>(GetCurrentProcessId());
}

} // namespace platform
