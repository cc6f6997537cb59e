#include "platform/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

bool isNameTaken(int error) {
    return error == EEXIST;
}

AppendFile AppendFile::open(const char* path, int& error) {
    AppendFile file;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errno;
        return file;
    }
    error = 0;
    file.m_handle = fd;
    file.m_open = true;
    return file;
}

AppendFile::~AppendFile() {
    close();
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : m_handle(other.m_handle), m_open(other.m_open) {
    other.m_open = false;
}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        m_open = other.m_open;
        other.m_open = false;
    }
    return *this;
}

void AppendFile::close() {
    if (m_open)
        ::close(m_handle);
    m_open = false;
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
