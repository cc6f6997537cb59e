#include "platform/Platform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>
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

std::string errorText(int error) {
    return std::strerror(error);
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

#ifdef __linux__
namespace {

// The process a lock file names, if it still runs: serial programs write their id as text
// (padded with blanks), old ones as a binary int; anything else is no lock.
bool lockFileHeld(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    char text[64] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return false;
    // Four bytes are a binary id unless each is a digit, blank or line end: an id's high byte is
    // 0, while its low byte may well read as a digit.
    bool textual = true;
    for (ssize_t i = 0; i < n; ++i)
        textual =
            textual && (text[i] == ' ' || text[i] == '\n' || (text[i] >= '0' && text[i] <= '9'));
    long id = 0;
    if (n == static_cast<ssize_t>(sizeof(int)) && !textual) {
        int binary = 0;
        std::memcpy(&binary, text, sizeof binary);
        id = binary;
    } else {
        id = std::strtol(text, nullptr, 10);
    }
    if (id <= 0 || id == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

// The names serial programs lock a device by: its own name, the name a link leads to, and the
// path below /dev with '/' made '_' ("pts_3").
bool lockedByAnother(const std::string& given, const std::string& real) {
    std::vector<std::string> names;
    for (const std::string& path : {given, real}) {
        if (path.empty())
            continue;
        names.push_back(path.substr(path.rfind('/') + 1));
        std::string below = path.rfind("/dev/", 0) == 0 ? path.substr(5) : path;
        for (char& c : below)
            if (c == '/')
                c = '_';
        names.push_back(below);
    }
    for (const char* folder : {"/var/lock", "/run/lock"})
        for (const std::string& name : names)
            if (lockFileHeld(std::string(folder) + "/LCK.." + name))
                return true;
    return false;
}

// The index of the pseudo-terminal a master descriptor of a process leads to, -1 for none.
int masterIndex(const std::string& process, const char* descriptor) {
    std::FILE* info = std::fopen((process + "/fdinfo/" + descriptor).c_str(), "r");
    if (!info)
        return -1;
    int index = -1;
    char line[128];
    while (std::fgets(line, sizeof line, info))
        if (std::strncmp(line, "tty-index:", 10) == 0)
            index = std::atoi(line + 10);
    std::fclose(info);
    return index;
}

// Whether another process has the device open, as far as /proc shows it (the descriptors of
// other users' processes are hidden from us). The process holding the master side of a
// pseudo-terminal is its other end, not a second user of this one. Links are only read, never
// followed, so a hung network file of some process cannot hold us up.
bool openedByAnother(const std::string& real, int ptyIndex) {
    DIR* processes = ::opendir("/proc");
    if (!processes)
        return false;
    const std::string self = std::to_string(::getpid());
    bool held = false;
    while (!held) {
        const dirent* entry = ::readdir(processes);
        if (!entry)
            break;
        const std::string id = entry->d_name;
        if (id.find_first_not_of("0123456789") != std::string::npos || id == self)
            continue;
        const std::string process = "/proc/" + id;
        DIR* descriptors = ::opendir((process + "/fd").c_str());
        if (!descriptors)
            continue;
        bool opened = false;
        bool otherEnd = false;
        while (const dirent* fd = ::readdir(descriptors)) {
            if (fd->d_name[0] == '.')
                continue;
            char target[4096];
            const std::string link = process + "/fd/" + fd->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n <= 0)
                continue;
            const std::string opens(target, static_cast<size_t>(n));
            if (opens == real)
                opened = true;
            else if (ptyIndex >= 0 && (opens == "/dev/ptmx" || opens == "/dev/pts/ptmx") &&
                     masterIndex(process, fd->d_name) == ptyIndex)
                otherEnd = true;
        }
        ::closedir(descriptors);
        held = opened && !otherEnd;
    }
    ::closedir(processes);
    return held;
}

// Held by another serial program, whether or not it took a lock.
bool heldByAnother(const char* path) {
    char resolved[PATH_MAX];
    const std::string real = ::realpath(path, resolved) ? resolved : std::string();
    if (lockedByAnother(path, real))
        return true;
    if (real.empty())
        return false;
    int ptyIndex = -1;
    if (real.rfind("/dev/pts/", 0) == 0 &&
        real.find_first_not_of("0123456789", 9) == std::string::npos)
        ptyIndex = std::atoi(real.c_str() + 9);
    return openedByAnother(real, ptyIndex);
}

} // namespace
#endif

DeviceClaim::~DeviceClaim() {
    release();
}

int DeviceClaim::claim(const char* path) {
    release();
#ifdef __linux__
    if (heldByAnother(path))
        return EBUSY;
#endif
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

int DeviceClaim::makeExclusive() {
    if (m_descriptor < 0)
        return EBADF;
    return ::ioctl(m_descriptor, TIOCEXCL) == 0 ? 0 : errno;
}

void DeviceClaim::release() {
    if (m_descriptor >= 0) {
        // Exclusive use lasts as long as the terminal stays open; the next program may open it.
        ::ioctl(m_descriptor, TIOCNXCL);
        ::close(m_descriptor);
    }
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
