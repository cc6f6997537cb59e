#include "platform/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#ifdef __linux__
#include <dirent.h>
#endif

namespace platform {

int lastError() {
    return errno;
}

void clearLastError() {
    errno = 0;
}

int badHandleError() {
    return EBADF;
}

bool isNameTaken(int error) {
    return error == EEXIST;
}

int ioError() {
    return EIO;
}

AppendFile AppendFile::open(const char* path, int& error) {
    AppendFile file;
    // Without blocking: a named pipe without a reader would wait for one.
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    bool created = false;
    int fd = -1;
    for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
        fd = ::open(path, kFlags | O_CREAT | O_EXCL, 0666);
        created = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = ::open(path, kFlags);
        if (fd < 0 && errno != ENOENT) // ENOENT: removed between the two calls
            break;
    }
    if (fd < 0) {
        error = errno;
        return file;
    }
    struct stat st {};
    error = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
    if (error != 0) {
        ::close(fd);
        return file;
    }
    ::fcntl(fd, F_SETFL, O_APPEND); // blocking again, as a regular file is anyway
    file.m_handle = fd;
    file.m_open = true;
    if (created)
        file.m_createdPath = path;
    return file;
}

int notRegularError() {
    return EINVAL;
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
        ::close(m_handle);
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
    struct stat st {};
    if (::fstat(m_handle, &st) != 0)
        return errno;
    length = st.st_size;
    return 0;
}

int AppendFile::write(const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(m_handle, data, length);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return 0;
}

int AppendFile::sync() {
    return ::fsync(m_handle) == 0 ? 0 : errno;
}

int AppendFile::truncate(int64_t length) {
    while (::ftruncate(m_handle, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

int createFile(const char* path) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

int removeFile(const char* path) {
    return ::unlink(path) == 0 ? 0 : errno;
}

int copyPermissions(const char* from, const char* to) {
    struct stat st {};
    if (::stat(from, &st) != 0 || ::chmod(to, st.st_mode & 07777) != 0)
        return errno;
    return 0;
}

int replaceFile(const char* from, const char* to) {
    return ::rename(from, to) == 0 ? 0 : errno;
}

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) != 0;
}

int portErrorNumber(PortFailure failure, int savedError) {
    // The library's lock file refuses a port that another program holds without an error
    // number of its own (errno then holds whatever its probing left): that is a busy device.
    if (failure == PortFailure::Refused && savedError != EACCES && savedError != EPERM)
        return EBUSY;
    if (failure == PortFailure::Missing)
        return ENOENT;
    return savedError;
}

int lockDevice(NativeHandle port) {
    // An advisory lock on the device itself: the library's lock files go by the name.
    return ::flock(port, LOCK_EX | LOCK_NB) == 0 ? 0 : EBUSY;
}

int resumeOutput(NativeHandle port) {
    // Resuming alone only undoes our own suspension; suspending first makes the terminal
    // forget the stop a received XOFF set as well.
    if (::tcflow(port, TCOOFF) != 0 || ::tcflow(port, TCOON) != 0)
        return errno;
    return 0;
}

// Sleeps already have fine granularity here.
FineTimer::FineTimer() : m_active(true) {}

FineTimer::~FineTimer() = default;

bool holdClosedStdout() {
    if (::fcntl(STDOUT_FILENO, F_GETFD) != -1 || errno != EBADF)
        return false;
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0 && null != STDOUT_FILENO) {
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    return true;
}

namespace {

// The stop signal that came during the save, 0 for none.
volatile sig_atomic_t g_heldSignal = 0;

extern "C" void holdSignal(int signalNumber) {
    g_heldSignal = signalNumber;
}

// A handler rather than a blocked mask: a signal sent to the process would otherwise go to any
// other thread that does not block it.
void setHandler(int signalNumber, void (*handler)(int), struct sigaction* old) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(signalNumber, &action, old);
}

} // namespace

namespace {
std::atomic<bool>* g_stopFlag = nullptr;
volatile sig_atomic_t g_stopSignals = 0;

extern "C" void stopOnSignal(int) {
    if (g_stopSignals > 0)
        ::_exit(130); // the second stop: at once
    g_stopSignals = 1;
    if (g_stopFlag)
        g_stopFlag->store(true);
}
} // namespace

struct StopSignalWatch::Saved {
    struct sigaction interrupt {};
    struct sigaction terminate {};
};

StopSignalWatch::StopSignalWatch(std::atomic<bool>& stop) : m_saved(std::make_unique<Saved>()) {
    g_stopFlag = &stop;
    g_stopSignals = 0;
    setHandler(SIGINT, stopOnSignal, &m_saved->interrupt);
    setHandler(SIGTERM, stopOnSignal, &m_saved->terminate);
}

StopSignalWatch::~StopSignalWatch() {
    ::sigaction(SIGTERM, &m_saved->terminate, nullptr);
    ::sigaction(SIGINT, &m_saved->interrupt, nullptr);
    g_stopFlag = nullptr;
}

bool StopSignalWatch::signalled() const {
    return g_stopSignals > 0;
}

struct SaveSignalGuard::Saved {
    struct sigaction interrupt {};
    struct sigaction terminate {};
    struct sigaction fileSize {};
};

SaveSignalGuard::SaveSignalGuard() : m_saved(std::make_unique<Saved>()) {
    g_heldSignal = 0;
    setHandler(SIGINT, holdSignal, &m_saved->interrupt);
    setHandler(SIGTERM, holdSignal, &m_saved->terminate);
    setHandler(SIGXFSZ, SIG_IGN, &m_saved->fileSize);
}

SaveSignalGuard::~SaveSignalGuard() {
    ::sigaction(SIGXFSZ, &m_saved->fileSize, nullptr);
    ::sigaction(SIGTERM, &m_saved->terminate, nullptr);
    ::sigaction(SIGINT, &m_saved->interrupt, nullptr);
    // What the signal would have done during the save, it does now.
    if (const int held = g_heldSignal) {
        g_heldSignal = 0;
        ::raise(held);
    }
}

ProcessResources processResources() {
    ProcessResources figures;
#ifdef __linux__
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, "VmRSS:", 6) == 0)
                figures.residentKb = std::strtol(line + 6, nullptr, 10);
        std::fclose(status);
    }
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        figures.openHandles = 0;
        while (const dirent* entry = ::readdir(fds))
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != ::dirfd(fds))
                ++figures.openHandles;
        ::closedir(fds);
    }
#endif
    return figures;
}

} // namespace platform
