#include "platform/Platform.h"

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

bool isNameTaken(int error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

int ioError() {
    return ERROR_WRITE_FAULT;
}

AppendFile AppendFile::open(const char* path, int& error) {
    AppendFile file;
    // Opening does not wait on Windows, not even for a pipe; what is opened is checked after.
    const HANDLE handle = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return file;
    }
    // OPEN_ALWAYS tells an existing file by this number after a successful open.
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    // A device (NUL, CON, a COM port) or a pipe is not a file to keep a log in.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        error = notRegularError();
        return file;
    }
    error = 0;
    file.m_handle = handle;
    file.m_open = true;
    if (created)
        file.m_createdPath = path;
    return file;
}

int notRegularError() {
    return ERROR_INVALID_PARAMETER;
}

AppendFile::~AppendFile() {
    close();
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : m_handle(other.m_handle), m_open(other.m_open),
      m_createdPath(std::move(other.m_createdPath)) {
    other.m_open = false;
    other.m_createdPath.clear();
}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        m_open = other.m_open;
        m_createdPath = std::move(other.m_createdPath);
        other.m_open = false;
        other.m_createdPath.clear();
    }
    return *this;
}

void AppendFile::close() {
    if (m_open)
        CloseHandle(m_handle);
    m_open = false;
}

int AppendFile::discardIfCreated() {
    if (m_createdPath.empty())
        return 0;
    close();
    const int error = removeFile(m_createdPath.c_str());
    m_createdPath.clear();
    return error;
}

int AppendFile::size(int64_t& length) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_handle, &size))
        return static_cast<int>(GetLastError());
    length = size.QuadPart;
    return 0;
}

int AppendFile::write(const char* data, size_t length) {
    // Opened for writing, not for appending only, so that a failed block can be cut back: the
    // end is sought before each write instead.
    const LARGE_INTEGER none{};
    if (!SetFilePointerEx(m_handle, none, nullptr, FILE_END))
        return static_cast<int>(GetLastError());
    while (length > 0) {
        const DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(m_handle, data, chunk, &written, nullptr))
            return static_cast<int>(GetLastError());
        data += written;
        length -= written;
    }
    return 0;
}

int AppendFile::sync() {
    return lastErrorOr(FlushFileBuffers(m_handle));
}

int AppendFile::truncate(int64_t length) {
    LARGE_INTEGER at{};
    at.QuadPart = length;
    if (!SetFilePointerEx(m_handle, at, nullptr, FILE_BEGIN))
        return static_cast<int>(GetLastError());
    return lastErrorOr(SetEndOfFile(m_handle));
}

int createFile(const char* path) {
    const HANDLE handle = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return static_cast<int>(GetLastError());
    CloseHandle(handle);
    return 0;
}

int removeFile(const char* path) {
    return lastErrorOr(DeleteFileW(widePath(path).c_str()));
}

int copyPermissions(const char* from, const char* to) {
    // Access is decided by the folder's inherited rules; a read-only file is never replaced,
    // because opening it for writing fails first.
    (void)from;
    (void)to;
    return 0;
}

int replaceFile(const char* from, const char* to) {
    return lastErrorOr(MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
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

int lockDevice(NativeHandle port) {
    // CreateFile opens a COM port for one handle only: a second program is refused there.
    (void)port;
    return 0;
}

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

// The console runs this on a thread of its own.
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

} // namespace

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
    // What the stop would have done during the save, it does now: the console's own handler
    // ends the process with this code.
    if (InterlockedExchange(&g_heldStop, kNoStop) != kNoStop)
        ExitProcess(STATUS_CONTROL_C_EXIT);
}

bool handleConsoleEventForTest(unsigned long event) {
    return holdConsoleStop(event) != FALSE;
}

ProcessResources processResources() {
    ProcessResources figures;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        figures.residentKb = static_cast<long>(memory.WorkingSetSize / 1024);
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles))
        figures.openHandles = static_cast<long>(handles);
    return figures;
}

} // namespace platform
