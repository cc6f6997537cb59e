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

int ioError() {
    return EIO;
}

AppendDescriptor openForAppend(const char* path, int& error) {
    AppendDescriptor file;
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
    file.descriptor = fd;
    file.created = created;
    return file;
}

int notRegularError() {
    return EINVAL;
}

int syncDescriptor(int descriptor) {
    return ::fsync(descriptor) == 0 ? 0 : errno;
}

int closeDescriptor(int descriptor) {
    return ::close(descriptor) == 0 ? 0 : errno;
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

DeviceClaim::~DeviceClaim() {
    release();
}

int DeviceClaim::claim(const char* path) {
    release();
    // Without waiting for a carrier, and without becoming the controlling terminal.
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // An advisory lock on the device itself: the serial library's lock files go by the name.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return EBUSY;
    }
    m_descriptor = fd;
    return 0;
}

void DeviceClaim::release() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
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

struct FileSizeLimitGuard::Saved {
    struct sigaction fileSize {};
};

FileSizeLimitGuard::FileSizeLimitGuard() : m_saved(std::make_unique<Saved>()) {
    setHandler(SIGXFSZ, SIG_IGN, &m_saved->fileSize);
}

FileSizeLimitGuard::~FileSizeLimitGuard() {
    ::sigaction(SIGXFSZ, &m_saved->fileSize, nullptr);
}

ProcessResources processResources(int64_t processId) {
    ProcessResources figures;
#ifdef __linux__
    const std::string folder = "/proc/" + std::to_string(processId);
    if (std::FILE* status = std::fopen((folder + "/status").c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, "VmRSS:", 6) == 0)
                figures.residentKb = std::strtol(line + 6, nullptr, 10);
        std::fclose(status);
    }
    if (DIR* fds = ::opendir((folder + "/fd").c_str())) {
        // Listing our own descriptors opens one more, which is not counted.
        const int own = processId == ::getpid() ? ::dirfd(fds) : -1;
        figures.openHandles = 0;
        while (const dirent* entry = ::readdir(fds))
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != own)
                ++figures.openHandles;
        ::closedir(fds);
    }
#else
    (void)processId;
#endif
    return figures;
}

int64_t currentProcessId() {
    return ::getpid();
}

} // namespace platform
