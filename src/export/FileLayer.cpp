#include "export/FileLayer.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A POSIX file descriptor opened with O_APPEND, closed on destruction.
class SystemAppendFile final : public IAppendFile {
public:
    explicit SystemAppendFile(int fd) : m_fd(fd) {}
    ~SystemAppendFile() override { ::close(m_fd); }
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

private:
    int m_fd;
};

class SystemFiles final : public IFileLayer {
public:
    std::unique_ptr<IAppendFile> openForAppend(const QString& path, int& errorNumber) override {
        const QByteArray name = QFile::encodeName(path);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0) {
            errorNumber = errno;
            return nullptr;
        }
        errorNumber = 0;
        return std::make_unique<SystemAppendFile>(fd);
    }
};

} // namespace

IFileLayer& SystemFileLayer() {
    static SystemFiles files;
    return files;
}

EOpenFile::EOpenFile(int errorNumber)
    : AppError("Error opening file: " + std::to_string(errorNumber)), m_errorNumber(errorNumber) {}
