// Saving to targets that are not plain files: named pipes, devices, symbolic links, and a new
// text log whose first block fails.
#include "ExportFixtures.h"
#include "SimRig.h"
#include "export/SaveAs.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace exportfix;

namespace {

const std::string kCannotCreateWorkbook =
    "Error creating output xlsx file. Usually a permissions error.";

// What the save threw: "open <n>" for a refused open, else the text; "" when it saved.
std::string saveOutcome(App& app, const QString& path, IFileLayer& files = systemFileLayer()) {
    try {
        saveTableToFile(app, path, files);
        return "";
    } catch (const OpenFileError& e) {
        return "open " + std::to_string(e.errorNumber());
    } catch (const AppError& e) {
        return e.what();
    }
}

bool isFifo(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

} // namespace

TEST(HostileTargets, NamedPipesAndDevicesAreRefusedWithoutWaiting) {
    struct Case {
        const char* name;
        const char* file;
        bool reader;        // someone reads the pipe, so opening it for writing would succeed
        const char* device; // a link to this device instead of a pipe
        std::string outcome;
    } const cases[] = {
        {"text log, a pipe nobody reads", "x.Log", false, nullptr, "open " + std::to_string(ENXIO)},
        {"text log, a pipe with a reader", "x.Log", true, nullptr,
         "open " + std::to_string(EINVAL)},
        {"text log, a link to /dev/null", "x.Log", false, "/dev/null",
         "open " + std::to_string(EINVAL)},
        {"workbook, a pipe nobody reads", "x.xls", false, nullptr, kCannotCreateWorkbook},
        {"workbook, a pipe with a reader", "x.xls", true, nullptr, kCannotCreateWorkbook},
        {"workbook, a link to /dev/null", "x.xls", false, "/dev/null", kCannotCreateWorkbook},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(c.file);
        if (c.device)
            ASSERT_TRUE(QFile::link(c.device, path));
        else
            ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        const int reader =
            c.reader ? ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK) : -1;
        SimRig rig;
        fillRvm600(rig.app);

        EXPECT_EQ(saveOutcome(rig.app, path), c.outcome);
        if (c.device) {
            EXPECT_TRUE(QFileInfo(path).isSymLink());
            EXPECT_EQ(QFileInfo(path).symLinkTarget(), c.device);
        } else {
            EXPECT_TRUE(isFifo(path)) << "the pipe was replaced";
        }
        EXPECT_EQ(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{c.file});
        if (reader >= 0) {
            char byte = 0;
            EXPECT_EQ(::read(reader, &byte, 1), 0) << "something was written into the pipe";
            ::close(reader);
        }
    }
}

TEST(HostileTargets, AWorkbookSavedThroughALinkReplacesTheLinksTarget) {
    struct Case {
        const char* name;
        bool targetExists;
        bool chain; // a link to a link
    } const cases[] = {
        {"a link to an existing workbook", true, false},
        {"a link to a name not yet taken", false, false},
        {"a link to a link to a workbook", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkdir("kept"));
        const QString target = dir.filePath("kept/RVM4711.xls");
        if (c.targetExists) {
            writeFile(target, "old");
            ::chmod(QFile::encodeName(target).constData(), 0640);
        }
        const QString link = dir.filePath("RVM4711.xls");
        if (c.chain) {
            ASSERT_TRUE(QFile::link(target, dir.filePath("middle.xls")));
            ASSERT_TRUE(QFile::link(dir.filePath("middle.xls"), link));
        } else {
            ASSERT_TRUE(QFile::link(target, link));
        }
        SimRig rig;
        fillRvm600(rig.app);

        const QFile::Permissions before = QFileInfo(target).permissions();

        EXPECT_EQ(saveOutcome(rig.app, link), "");
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link was replaced by a file";
        EXPECT_EQ(readFile(target).substr(0, 2), "PK") << "the target is not the workbook";
        if (c.targetExists) {
            EXPECT_EQ(QFileInfo(target).permissions(), before);
        }
        EXPECT_EQ(filesIn(dir.filePath("kept")), QStringList{"RVM4711.xls"});
    }
}

TEST(HostileTargets, ATextLogSavedThroughALinkAppendsToTheLinksTarget) {
    for (const bool targetExists : {true, false}) {
        SCOPED_TRACE(targetExists ? "a link to an existing log" : "a link to a name not yet taken");
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkdir("kept"));
        const QString target = dir.filePath("kept/RVM4711.Log");
        if (targetExists)
            writeFile(target, "earlier\r\n");
        const QString link = dir.filePath("RVM4711.Log");
        ASSERT_TRUE(QFile::link(target, link));
        SimRig rig;
        fillRvm600(rig.app);

        EXPECT_EQ(saveOutcome(rig.app, link), "");
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        const std::string saved = readFile(target);
        EXPECT_EQ(saved.rfind("earlier", 0) == 0, targetExists);
        EXPECT_NE(saved.find("*** End ***"), std::string::npos);
    }
}

TEST(HostileTargets, ANewTextLogWhoseFirstBlockFailsIsRemoved) {
    struct Case {
        const char* name;
        bool existed;
        std::optional<std::string> left;
    } const cases[] = {
        {"new file", false, std::nullopt},
        {"an existing empty file is kept", true, std::string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString log = dir.filePath("RVM4711.Log");
        if (c.existed)
            writeFile(log, "");
        SimRig rig;
        fillRvm600(rig.app);
        FailingFiles files;
        files.writeError = ENOSPC;
        files.writeBefore = 10;

        EXPECT_EQ(saveOutcome(rig.app, log, files),
                  "Error writing file: " + std::to_string(ENOSPC));
        EXPECT_EQ(QFileInfo::exists(log), c.left.has_value());
        if (c.left) {
            EXPECT_EQ(readFile(log), *c.left);
        }
    }
}
