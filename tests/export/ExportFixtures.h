#pragma once

#include "app/App.h"
#include "app/Commands.h"
#include "export/FileLayer.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <cerrno>
#include <string>
#include <vector>

// Tables, files and file layers shared by the export tests.
namespace exportfix {

inline void fillTable(LogTable& table, const std::vector<std::vector<std::string>>& rows) {
    table.setCols(static_cast<int>(rows.front().size()));
    table.setRows(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        for (int c = 0; c < static_cast<int>(rows[static_cast<size_t>(r)].size()); ++c)
            table.setCell(c, r, rows[static_cast<size_t>(r)][static_cast<size_t>(c)]);
}

// "Save As" on what the App holds, as the main window's handler runs it.
inline void saveAs(App& app, IFileLayer& files, const QString& workFolder) {
    ::saveAs(saveSourceOf(app), app.dialogs(), files, workFolder);
}

// The command line's save of what the App holds.
inline void saveTableToFile(App& app, const QString& path, IFileLayer& files = systemFileLayer(),
                            const RequiredClasses* required = nullptr) {
    ::saveTableToFile(saveSourceOf(app), path, files, required);
}

// An RVM600 download of two records, as "Read log" leaves it.
inline void fillRvm600(App& app) {
    app.session().model = &modelNamed("RVM600");
    app.session().serialLine = "s/n: 4711";
    app.session().serialNo = "4711";
    fillTable(app.table(), {{"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"},
                            {"1", "12.05.26 10:15:02", "250", "0", "A1", "1"},
                            {"2", "12.05.26 10:15:40", "252", "16", "A1", "2"}});
    app.table().setMark(2, 2, CellMark::Orange);
}

inline const std::string kRvm600Block = "*Log dump from: RVM600 - s/n: 4711\r\n"
                                        "#\tDate / Time\tRl\tStat\tSeq-Id\tSeq#\t\r\n"
                                        "1\t12.05.26 10:15:02\t250\t0\tA1\t1\t\r\n"
                                        "2\t12.05.26 10:15:40\t252\t16\tA1\t2\t\r\n"
                                        "*** End ***\r\n"
                                        "\r\n";

inline std::string readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll().toStdString();
}

inline void writeFile(const QString& path, const std::string& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

inline QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The system's files, with calls made to fail with an error number: opening, asking the size,
// writing (after letting `writeBefore` bytes through), flushing or cutting back; for a file that
// replaces another, starting it, writing and flushing (its commit).
class FailingFiles final : public IFileLayer {
public:
    int replaceError = 0;
    int openError = 0;
    int sizeError = 0;
    int writeError = 0;
    size_t writeBefore = 0;
    int flushError = 0;
    int truncateError = 0;

    std::unique_ptr<IAppendFile> openForAppend(const QString& path, int& errorNumber) override {
        if (openError != 0) {
            errorNumber = openError;
            return nullptr;
        }
        auto real = systemFileLayer().openForAppend(path, errorNumber);
        if (!real)
            return nullptr;
        return std::make_unique<File>(std::move(real), *this);
    }
    std::unique_ptr<IReplacingFile> openForReplace(const QString& path, int& errorNumber) override {
        if (replaceError != 0) {
            errorNumber = replaceError;
            return nullptr;
        }
        auto real = systemFileLayer().openForReplace(path, errorNumber);
        if (!real)
            return nullptr;
        return std::make_unique<Replacing>(std::move(real), *this);
    }

private:
    class File final : public IAppendFile {
    public:
        File(std::unique_ptr<IAppendFile> real, FailingFiles& how)
            : m_real(std::move(real)), m_how(how) {}
        int size(int64_t& length) override {
            return m_how.sizeError != 0 ? m_how.sizeError : m_real->size(length);
        }
        int write(const char* data, size_t length) override {
            if (m_how.writeError == 0)
                return m_real->write(data, length);
            m_real->write(data, std::min(length, m_how.writeBefore));
            return m_how.writeError;
        }
        int flush() override {
            const int e = m_real->flush();
            return m_how.flushError != 0 ? m_how.flushError : e;
        }
        int truncate(int64_t length) override {
            return m_how.truncateError != 0 ? m_how.truncateError : m_real->truncate(length);
        }
        void discardIfCreated() override { m_real->discardIfCreated(); }

    private:
        std::unique_ptr<IAppendFile> m_real;
        FailingFiles& m_how;
    };
    // Fails before anything reaches the target: an uncommitted file leaves it as it was.
    class Replacing final : public IReplacingFile {
    public:
        Replacing(std::unique_ptr<IReplacingFile> real, FailingFiles& how)
            : m_real(std::move(real)), m_how(how) {}
        int write(const char* data, size_t length) override {
            return m_how.writeError != 0 ? m_how.writeError : m_real->write(data, length);
        }
        int commit() override {
            return m_how.flushError != 0 ? m_how.flushError : m_real->commit();
        }

    private:
        std::unique_ptr<IReplacingFile> m_real;
        FailingFiles& m_how;
    };
};

} // namespace exportfix
