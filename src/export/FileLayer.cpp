#include "export/FileLayer.h"

#include "platform/Platform.h"

#include <QFileInfo>
#include <utility>

namespace {

// A file of the system's, opened for appending.
class SystemAppendFile final : public IAppendFile {
public:
    explicit SystemAppendFile(platform::AppendFile file) : m_file(std::move(file)) {}

    int size(int64_t& length) override { return m_file.size(length); }
    int write(const char* data, size_t length) override { return m_file.write(data, length); }
    int flush() override { return m_file.sync(); }
    int truncate(int64_t length) override { return m_file.truncate(length); }
    void discardIfCreated() override { m_file.discardIfCreated(); }

private:
    platform::AppendFile m_file;
};

class SystemFiles final : public IFileLayer {
public:
    std::unique_ptr<IAppendFile> openForAppend(const QString& path, int& errorNumber) override {
        platform::AppendFile file =
            platform::AppendFile::open(FollowLinks(path).toUtf8().constData(), errorNumber);
        if (!file.isOpen())
            return nullptr;
        return std::make_unique<SystemAppendFile>(std::move(file));
    }
};

} // namespace

QString FollowLinks(const QString& path) {
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

IFileLayer& SystemFileLayer() {
    static SystemFiles files;
    return files;
}

EOpenFile::EOpenFile(int errorNumber)
    : AppError("Error opening file: " + std::to_string(errorNumber)), m_errorNumber(errorNumber) {}
