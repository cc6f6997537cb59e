#include "export/FileLayer.h"

#include "platform/Platform.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <utility>

namespace {

// The number of the call that just failed; a failure the system gave no number for counts as
// an input/output error.
int failureNumber() {
    const int error = platform::lastError();
    return error != 0 ? error : platform::ioError();
}

// A file of the system's, opened for appending. The system opens it (Qt would wait on a named
// pipe and cannot tell whether the open made the file); Qt writes and cuts back.
class SystemAppendFile final : public IAppendFile {
public:
    SystemAppendFile(const QString& path, bool created) : m_path(path), m_created(created) {}

    bool open(int descriptor) {
        return m_file.open(descriptor,
                           QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                           QFileDevice::AutoCloseHandle);
    }
    int size(int64_t& length) override {
        platform::clearLastError();
        const qint64 size = m_file.size();
        if (m_file.error() != QFileDevice::NoError)
            return failureNumber();
        length = size;
        return 0;
    }
    int write(const char* data, size_t length) override {
        platform::clearLastError();
        const auto wanted = static_cast<qint64>(length);
        return m_file.write(data, wanted) == wanted ? 0 : failureNumber();
    }
    // QFile hands its writes to the system only; the system puts them on the disk.
    int flush() override { return platform::syncDescriptor(m_file.handle()); }
    int truncate(int64_t length) override {
        platform::clearLastError();
        return m_file.resize(length) ? 0 : failureNumber();
    }
    void discardIfCreated() override {
        if (!m_created)
            return;
        m_file.close();
        QFile::remove(m_path);
        m_created = false;
    }

private:
    QFile m_file;
    QString m_path;
    bool m_created;
};

// A workbook on its way to the disk: QSaveFile writes it next to the target and moves it into
// place on commit.
class SystemReplacingFile final : public IReplacingFile {
public:
    explicit SystemReplacingFile(const QString& path) : m_file(path) {}

    bool open() {
        platform::clearLastError();
        return m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    int write(const char* data, size_t length) override {
        platform::clearLastError();
        const auto wanted = static_cast<qint64>(length);
        return m_file.write(data, wanted) == wanted ? 0 : failureNumber();
    }
    int commit() override {
        // The commit syncs too, but goes on when the sync fails; a workbook the disk did not
        // take must not replace the old one. Without a descriptor only the commit's sync is left.
        const int descriptor = m_file.handle();
        if (descriptor >= 0)
            if (const int e = platform::syncDescriptor(descriptor))
                return e;
        platform::clearLastError();
        return m_file.commit() ? 0 : failureNumber();
    }

private:
    QSaveFile m_file;
};

class SystemFiles final : public IFileLayer {
public:
    std::unique_ptr<IAppendFile> openForAppend(const QString& path, int& errorNumber) override {
        const QString target = followLinks(path);
        const platform::AppendDescriptor opened =
            platform::openForAppend(target.toUtf8().constData(), errorNumber);
        if (opened.descriptor < 0)
            return nullptr;
        auto file = std::make_unique<SystemAppendFile>(target, opened.created);
        if (!file->open(opened.descriptor)) {
            errorNumber = failureNumber();
            platform::closeDescriptor(opened.descriptor);
            if (opened.created)
                QFile::remove(target);
            return nullptr;
        }
        return file;
    }
    std::unique_ptr<IReplacingFile> openForReplace(const QString& path, int& errorNumber) override {
        auto file = std::make_unique<SystemReplacingFile>(followLinks(path));
        if (!file->open()) {
            errorNumber = failureNumber();
            return nullptr;
        }
        return file;
    }
};

} // namespace

QString followLinks(const QString& path) {
    constexpr int kMaxLinks = 40;
    QString resolved = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        const QFileInfo info(resolved);
        if (!info.isSymLink())
            break;
        resolved = info.symLinkTarget();
    }
    return resolved;
}

std::string replaceWholeFile(IFileLayer& files, const QString& path, const std::string& bytes) {
    const QFileInfo target(followLinks(path));
    // A named pipe or a device would be replaced by a plain file, or waited on for ever.
    if (target.exists() && !target.isFile())
        return "not a regular file";
    int error = 0;
    const std::unique_ptr<IReplacingFile> file = files.openForReplace(path, error);
    if (file) {
        error = file->write(bytes.data(), bytes.size());
        if (error == 0)
            error = file->commit();
    }
    return error == 0 ? std::string() : platform::errorText(error);
}

IFileLayer& systemFileLayer() {
    static SystemFiles files;
    return files;
}

OpenFileError::OpenFileError(int errorNumber)
    : AppError("Error opening file: " + std::to_string(errorNumber)), m_errorNumber(errorNumber) {}
