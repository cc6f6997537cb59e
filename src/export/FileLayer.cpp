#include "export/FileLayer.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// A POSIX file descriptor opened with O_APPEND, closed on destruction.
class SystemAppendFile final : public IAppendFile {
public:
    SystemAppendFile(int fd, QByteArray createdName)
        : m_fd(fd), m_createdName(std::move(createdName)) {}
    ~SystemAppendFile() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SystemAppendFile(const SystemAppendFile&) = delete;
    SystemAppendFile& operator=(const SystemAppendFile&) = delete;

    int size(int64_t& length) override {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return errno;
        length = st.st_size;
        return 0;
    }

    int write(const char* data, size_t length) override {
        while (length > 0) {
            const ssize_t n = ::write(m_fd, data, length);
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

    int flush() override { return ::fsync(m_fd) == 0 ? 0 : errno; }

    int truncate(int64_t length) override {
        while (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) {
            if (errno != EINTR)
                return errno;
        }
        return 0;
    }

    void discardIfCreated() override {
        if (m_createdName.isEmpty())
            return;
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_createdName.constData());
        m_createdName.clear();
    }

private:
    int m_fd;
    QByteArray m_createdName; // set when this open created the file
};

// Opens a path for appending without blocking (a named pipe without a reader would wait for
// one) and keeps the descriptor only for a regular file; -1 and errno set otherwise. created
// tells whether this call made the file.
int openRegularForAppend(const QByteArray& name, bool& created) {
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = -1;
    for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
        fd = ::open(name.constData(), kFlags | O_CREAT | O_EXCL, 0666);
        created = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = ::open(name.constData(), kFlags);
        if (fd < 0 && errno != ENOENT) // ENOENT: removed between the two calls
            return -1;
    }
    if (fd < 0)
        return -1;
    struct stat st {};
    const int e = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
    if (e != 0) {
        ::close(fd);
        errno = e;
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_APPEND); // blocking again, as a regular file is anyway
    return fd;
}

class SystemFiles final : public IFileLayer {
public:
    std::unique_ptr<IAppendFile> openForAppend(const QString& path, int& errorNumber) override {
        const QByteArray name = QFile::encodeName(path);
        bool created = false;
        const int fd = openRegularForAppend(name, created);
        if (fd < 0) {
            errorNumber = errno;
            return nullptr;
        }
        errorNumber = 0;
        return std::make_unique<SystemAppendFile>(fd, created ? name : QByteArray());
    }
};

} // namespace

IFileLayer& SystemFileLayer() {
    static SystemFiles files;
    return files;
}

EOpenFile::EOpenFile(int errorNumber)
    : AppError("Error opening file: " + std::to_string(errorNumber)), m_errorNumber(errorNumber) {}
