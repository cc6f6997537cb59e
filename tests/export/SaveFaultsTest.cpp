// Saves under faults of the disk and the file system: each ends in its message, DataSaved is
// set only by a real write, the table stays as it was, earlier blocks of a text log and an
// existing workbook are kept byte for byte, and no temporary file stays behind.
#include "ExportFixtures.h"
#include "SimRig.h"
#include "app/HandlerGuard.h"
#include "export/SaveAs.h"
#include "export/TextLogExport.h"
#include "export/TitledTable.h"
#include "export/WorkbookExport.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace exportfix;

namespace {

constexpr int kWorkbookEntry = 1;
constexpr int kTextLogEntry = 2;

const std::string kEarlierBlocks =
    kRvm600Block +
    "*Log dump from: VX40 - s/n: 9\r\n\xB5m\r\n#\tRl\t\r\n1\t\xE9\t\r\n*** End ***\r\n\r\n";

std::string errorBox(const std::string& text) {
    return "error: " + withFullStop(text);
}
std::string writeErrorBox(int errorNumber) {
    return errorBox("Error writing file: " + std::to_string(errorNumber));
}
std::string openErrorMessage(int errorNumber) {
    return "message: Error opening file: " + std::to_string(errorNumber);
}
const std::string kCannotCreateWorkbook =
    errorBox("Error creating output xlsx file. Usually a permissions error.");

// Every cell and colour of the table.
std::string tableState(const LogTable& table) {
    std::string state =
        std::to_string(table.rows()) + " x " + std::to_string(table.cols()) + " cells\n";
    for (int r = 0; r < table.rows(); ++r) {
        for (int c = 0; c < table.cols(); ++c)
            state +=
                table.cell(c, r) + '|' + std::to_string(static_cast<int>(table.mark(c, r))) + '\t';
        state += '\n';
    }
    return state;
}

// A short stand-in for many bytes, so a failure does not print whole workbooks.
std::string digest(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha1)
        .toHex()
        .toStdString();
}

// What the user saw and what the program kept after a save, comparable as one text.
std::string outcome(const SimRig& rig) {
    std::string result;
    for (const std::string& event : rig.dialogs.events)
        result += event + '\n';
    result += rig.app.session().dataSaved ? "saved\n" : "not saved\n";
    result += "busy cursors left: " + std::to_string(rig.dialogs.busyDepth) + '\n';
    return result + "table " + digest(tableState(rig.app.table()));
}

std::string expectedOutcome(const std::vector<std::string>& events, bool saved,
                            const LogTable& table) {
    std::string result;
    for (const std::string& event : events)
        result += event + '\n';
    result += saved ? "saved\n" : "not saved\n";
    result += "busy cursors left: 0\n";
    return result + "table " + digest(tableState(table));
}

// The unpacked size of the sheet in a workbook's zip directory; 0 when it has none. A sheet cut
// short packs into a workbook that looks whole but holds less.
uint32_t sheetSize(const std::string& workbook) {
    const std::string sheet = "xl/worksheets/sheet1.xml";
    const auto number = [&](size_t at, int bytes) {
        uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | static_cast<unsigned char>(workbook[at + static_cast<size_t>(i)]);
        return value;
    };
    for (size_t at = workbook.find("PK\x01\x02");
         at != std::string::npos && at + 46 < workbook.size();
         at = workbook.find("PK\x01\x02", at + 1)) {
        if (workbook.compare(at + 46, number(at + 28, 2), sheet) == 0)
            return number(at + 24, 4);
    }
    return 0;
}

// Runs the body in a forked child and returns the text it returned, so it may limit its file
// sizes or give up root without touching the test process.
std::string inChild(const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0)
        return "no pipe";
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        std::string result;
        try {
            result = body();
        } catch (const std::exception& e) {
            result = std::string("exception in child: ") + e.what();
        }
        for (size_t done = 0; done < result.size();) {
            const ssize_t n = ::write(channel[1], result.data() + done, result.size() - done);
            if (n <= 0)
                ::_exit(2);
            done += static_cast<size_t>(n);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string result;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        result.append(buffer, static_cast<size_t>(std::max<ssize_t>(n, 0)));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        result += "child ended with status " + std::to_string(status);
    return result;
}

// Files of this process may not grow beyond `bytes`; a write past it fails with EFBIG instead
// of ending the process, as a write to a full disk fails with ENOSPC.
bool limitFileSize(rlim_t bytes) {
    const rlimit limit{bytes, bytes};
    return std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// Runs the rest of the process as "nobody", for whom file permissions hold as for any user.
bool giveUpRoot() {
    if (::geteuid() != 0)
        return true;
    const gid_t nogroup = 65534;
    const uid_t nobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(nogroup) == 0 && ::setuid(nobody) == 0;
}

// A download of `records` RVM600PK records.
void fillRecords(App& app, int records) {
    app.session().model = &modelNamed("RVM600PK");
    app.session().serialLine = "s/n: 4711";
    app.table().setCols(8);
    app.table().setRows(records + 1);
    const char* headers[] = {"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"};
    for (int c = 0; c < 8; ++c)
        app.table().setCell(c, 0, headers[c]);
    for (int r = 1; r <= records; ++r) {
        app.table().setCell(0, r, std::to_string(r));
        app.table().setCell(1, r, "12.05.26 10:" + std::to_string(10 + r % 50) + ":02");
        app.table().setCell(2, r, std::to_string(200 + r % 97));
        app.table().setCell(3, r, std::to_string(100 + r % 13));
        app.table().setCell(4, r, "0");
        app.table().setCell(5, r, r % 50 ? "0" : "16");
        app.table().setCell(6, r, "A" + std::to_string(r % 7));
        app.table().setCell(7, r, std::to_string(r % 30));
    }
    app.table().setMark(5, 50, CellMark::Red);
}

} // namespace

TEST(SaveFaults, FullDiskKeepsTheEarlierBlocksOfTheTextLog) {
    const std::string block = kRvm600Block;
    struct Case {
        const char* name;
        size_t limit;
        bool written;
    } const cases[] = {
        {"the file is already past the limit", kEarlierBlocks.size() / 2, false},
        {"no room for a byte of the block", kEarlierBlocks.size(), false},
        {"room for part of the block", kEarlierBlocks.size() + 40, false},
        {"one byte short", kEarlierBlocks.size() + block.size() - 1, false},
        {"just room", kEarlierBlocks.size() + block.size(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("RVM4711.Log");
        writeFile(path, kEarlierBlocks);
        SimRig rig;
        fillRvm600(rig.app);
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{path, kTextLogEntry};

        const std::string seen = inChild([&] {
            if (!limitFileSize(c.limit))
                return std::string("cannot limit the file size");
            runGuarded(rig.dialogs, [&] { saveAs(rig.app, systemFileLayer(), QString()); });
            return outcome(rig);
        });

        if (c.written) {
            EXPECT_EQ(seen, expectedOutcome({"save"}, true, rig.app.table()));
            EXPECT_EQ(readFile(path), kEarlierBlocks + block);
        } else {
            EXPECT_EQ(seen,
                      expectedOutcome({"save", writeErrorBox(EFBIG)}, false, rig.app.table()));
            EXPECT_EQ(readFile(path), kEarlierBlocks);
        }
        EXPECT_EQ(filesIn(dir.path()), QStringList{"RVM4711.Log"});
    }
}

TEST(SaveFaults, FullDiskKeepsTheOldWorkbook) {
    QTemporaryDir dir;
    const QString path = dir.filePath("RVM4711.xls");
    SimRig rig;
    fillRecords(rig.app, 5);
    saveToWorkbook(TitledTable(rig.app.table(), "old"), path);
    const std::string old = readFile(path);
    fillRecords(rig.app, 2000);
    // The complete new workbook, for its size; the sheet the writer spills to a scratch file
    // before packing it is several times larger.
    QTemporaryDir elsewhere;
    saveToWorkbook(TitledTable(rig.app.table(), logTitle(rig.app.session())),
                   elsewhere.filePath("full.xls"));
    const std::string complete = readFile(elsewhere.filePath("full.xls"));
    const size_t full = complete.size();
    const size_t sheet = sheetSize(complete);

    const std::string zipFailed =
        errorBox("Zip generic error ZIP_ERRNO while creating the xlsx file.");
    struct Case {
        const char* name;
        size_t limit;
        std::string shown; // empty: written
    } const cases[] = {
        {"no room at all", 0, zipFailed},
        {"room for the start of the workbook", 1000, zipFailed},
        {"the writer's scratch sheet is cut, the packed workbook would fit", full / 2,
         writeErrorBox(EIO)},
        {"room for the packed workbook, one byte short for the scratch sheet", sheet - 1,
         writeErrorBox(EIO)},
        {"just room for the scratch sheet", sheet, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.dialogs.events.clear();
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{path, kWorkbookEntry};

        const std::string seen = inChild([&] {
            if (!limitFileSize(c.limit))
                return std::string("cannot limit the file size");
            runGuarded(rig.dialogs, [&] { saveAs(rig.app, systemFileLayer(), QString()); });
            return outcome(rig);
        });

        if (c.shown.empty()) {
            EXPECT_EQ(seen, expectedOutcome({"save"}, true, rig.app.table()));
            EXPECT_EQ(sheetSize(readFile(path)), sheetSize(complete));
        } else {
            EXPECT_EQ(seen, expectedOutcome({"save", c.shown}, false, rig.app.table()));
            EXPECT_EQ(digest(readFile(path)), digest(old));
            EXPECT_EQ(sheetSize(readFile(path)), sheetSize(old));
        }
        EXPECT_EQ(filesIn(dir.path()), QStringList{"RVM4711.xls"});
        writeFile(path, old);
    }
}

TEST(SaveFaults, FailingFileCallsKeepTheEarlierBlocksOfTheTextLog) {
    struct Case {
        const char* name;
        FailingFiles files;
        std::string shown;
        std::string left; // after the earlier blocks
    } cases[] = {
        {"a read-only file system", {}, openErrorMessage(EROFS), ""},
        {"the length of the file cannot be read", {}, writeErrorBox(EIO), ""},
        // Nothing is left to mend the file with; the earlier blocks are still whole.
        {"the disk fills, then cutting back fails too",
         {},
         writeErrorBox(ENOSPC),
         kRvm600Block.substr(0, 40)},
        {"the flush fails, then cutting back fails too", {}, writeErrorBox(EIO), kRvm600Block},
    };
    cases[0].files.openError = EROFS;
    cases[1].files.sizeError = EIO;
    cases[2].files.writeError = ENOSPC;
    cases[2].files.writeBefore = 40;
    cases[2].files.truncateError = EIO;
    cases[3].files.flushError = EIO;
    cases[3].files.truncateError = EIO;
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("RVM4711.Log");
        writeFile(path, kEarlierBlocks);
        SimRig rig;
        fillRvm600(rig.app);
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{path, kTextLogEntry};

        runGuarded(rig.dialogs, [&] { saveAs(rig.app, c.files, QString()); });

        EXPECT_EQ(outcome(rig), expectedOutcome({"save", c.shown}, false, rig.app.table()));
        EXPECT_EQ(readFile(path), kEarlierBlocks + c.left);
        EXPECT_EQ(filesIn(dir.path()), QStringList{"RVM4711.Log"});
    }
}

TEST(SaveFaults, FailingFileCallsKeepTheOldWorkbook) {
    struct Case {
        const char* name;
        int openError;
        int replaceError;
        int writeError;
        int flushError;
        std::string shown;
    } const cases[] = {
        {"a read-only file system", EROFS, 0, 0, 0, kCannotCreateWorkbook},
        {"no write permission", EACCES, 0, 0, 0, kCannotCreateWorkbook},
        {"locked by another program", EBUSY, 0, 0, 0, kCannotCreateWorkbook},
        {"the replacing file cannot be started", 0, EACCES, 0, 0, kCannotCreateWorkbook},
        {"the disk fills while the new workbook is written", 0, 0, ENOSPC, 0,
         writeErrorBox(ENOSPC)},
        {"the new workbook cannot be put on the disk", 0, 0, 0, EIO, writeErrorBox(EIO)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("RVM4711.xls");
        SimRig rig;
        fillRvm600(rig.app);
        saveToWorkbook(TitledTable(rig.app.table(), "old"), path);
        const std::string old = readFile(path);
        FailingFiles files;
        files.openError = c.openError;
        files.replaceError = c.replaceError;
        files.writeError = c.writeError;
        files.flushError = c.flushError;
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{path, kWorkbookEntry};

        runGuarded(rig.dialogs, [&] { saveAs(rig.app, files, QString()); });

        EXPECT_EQ(outcome(rig), expectedOutcome({"save", c.shown}, false, rig.app.table()));
        EXPECT_EQ(digest(readFile(path)), digest(old));
        EXPECT_EQ(filesIn(dir.path()), QStringList{"RVM4711.xls"});
    }
}

TEST(SaveFaults, PermissionsHoldForAnOrdinaryUser) {
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QString readOnlyFolder = dir.filePath("read-only");
    const QString openFolder = dir.filePath("open");
    QDir(dir.path()).mkdir("read-only");
    QDir(dir.path()).mkdir("open");
    ::chmod(QFile::encodeName(readOnlyFolder).constData(), 0555);
    ::chmod(QFile::encodeName(openFolder).constData(), 0777);

    SimRig rig;
    fillRvm600(rig.app);
    const QString readOnlyLog = openFolder + "/RVM4711.Log";
    const QString readOnlyWorkbook = openFolder + "/RVM4711.xls";
    writeFile(readOnlyLog, kEarlierBlocks);
    saveToWorkbook(TitledTable(rig.app.table(), "old"), readOnlyWorkbook);
    const std::string oldWorkbook = readFile(readOnlyWorkbook);
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(readOnlyLog, readOnly);
    QFile::setPermissions(readOnlyWorkbook, readOnly);

    struct Case {
        const char* name;
        QString path;
        int filterEntry;
        std::string shown;
    } const cases[] = {
        {"new text log in a read-only folder", readOnlyFolder + "/RVM4711.Log", kTextLogEntry,
         openErrorMessage(EACCES)},
        {"new workbook in a read-only folder", readOnlyFolder + "/RVM4711.xls", kWorkbookEntry,
         kCannotCreateWorkbook},
        {"text log without write permission", readOnlyLog, kTextLogEntry, openErrorMessage(EACCES)},
        // Moving a new workbook into place would replace it regardless of its permissions.
        {"workbook without write permission", readOnlyWorkbook, kWorkbookEntry,
         kCannotCreateWorkbook},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.dialogs.events.clear();
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{c.path, c.filterEntry};

        const std::string seen = inChild([&] {
            if (!giveUpRoot())
                return std::string("cannot give up root");
            runGuarded(rig.dialogs, [&] { saveAs(rig.app, systemFileLayer(), QString()); });
            return outcome(rig);
        });

        EXPECT_EQ(seen, expectedOutcome({"save", c.shown}, false, rig.app.table()));
        EXPECT_TRUE(filesIn(readOnlyFolder).isEmpty());
        EXPECT_EQ(filesIn(openFolder), (QStringList{"RVM4711.Log", "RVM4711.xls"}));
        EXPECT_EQ(readFile(readOnlyLog), kEarlierBlocks);
        EXPECT_EQ(digest(readFile(readOnlyWorkbook)), digest(oldWorkbook));
    }
    ::chmod(QFile::encodeName(readOnlyFolder).constData(), 0755);
}

TEST(SaveFaults, PathsThatCannotTakeTheFile) {
    struct Case {
        const char* name;
        const char* fileName; // in the folder "WorkData"
        int filterEntry;
        bool folderRemovedAfterChoice; // else the name is taken by a folder
        std::string shown;
    } const cases[] = {
        {"text log, its folder removed after it was chosen", "RVM4711.Log", kTextLogEntry, true,
         openErrorMessage(ENOENT)},
        {"workbook, its folder removed after it was chosen", "RVM4711.xls", kWorkbookEntry, true,
         kCannotCreateWorkbook},
        {"workbook into a path that is a folder", "RVM4711.xls", kWorkbookEntry, false,
         kCannotCreateWorkbook},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString folder = dir.filePath("WorkData");
        QDir(dir.path())
            .mkpath(c.folderRemovedAfterChoice ? QString("WorkData")
                                               : "WorkData/" + QString(c.fileName));
        SimRig rig;
        fillRvm600(rig.app);
        rig.app.session().dataSaved = false;
        rig.dialogs.saveAnswer = SaveDialogResult{folder + "/" + c.fileName, c.filterEntry};
        if (c.folderRemovedAfterChoice)
            rig.dialogs.onSave = [&] { QDir(folder).removeRecursively(); };

        runGuarded(rig.dialogs, [&] { saveAs(rig.app, systemFileLayer(), QString()); });

        EXPECT_EQ(outcome(rig), expectedOutcome({"save", c.shown}, false, rig.app.table()));
        const QStringList left = QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        EXPECT_EQ(left, c.folderRemovedAfterChoice ? QStringList() : QStringList{c.fileName});
        EXPECT_EQ(QFileInfo(folder).exists(), !c.folderRemovedAfterChoice);
    }
}

TEST(SaveFaults, TheSameWorkbookSavedTwiceIsReplacedByAnEqualOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("RVM4711.xls");
    SimRig rig;
    fillRecords(rig.app, 20);
    rig.dialogs.saveAnswer = SaveDialogResult{path, kWorkbookEntry};
    std::vector<std::string> saved;
    for (int save = 0; save < 2; ++save) {
        SCOPED_TRACE(save);
        rig.app.session().dataSaved = false;
        runGuarded(rig.dialogs, [&] { saveAs(rig.app, systemFileLayer(), QString()); });
        EXPECT_TRUE(rig.app.session().dataSaved);
        saved.push_back(readFile(path));
        EXPECT_EQ(filesIn(dir.path()), QStringList{"RVM4711.xls"});
    }
    EXPECT_EQ(rig.dialogs.events, (std::vector<std::string>{"save", "save"}));
    EXPECT_NE(sheetSize(saved[0]), 0u);
    EXPECT_EQ(sheetSize(saved[1]), sheetSize(saved[0]));
}

TEST(SaveFaults, AWholeFileReplacesTheEarlierOneOnlyWhenEveryByteIsOnTheDisk) {
    struct Case {
        const char* name;
        int replaceError;
        int writeError;
        int flushError;
    } const cases[] = {
        {"the new file cannot be started", EACCES, 0, 0},
        {"a write fails", 0, ENOSPC, 0},
        {"the sync fails", 0, 0, EIO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("report.csv");
        writeFile(path, "earlier\r\n");
        FailingFiles files;
        files.replaceError = c.replaceError;
        files.writeError = c.writeError;
        files.flushError = c.flushError;
        const int error = c.replaceError + c.writeError + c.flushError;
        EXPECT_EQ(replaceWholeFile(files, path, "new\r\n"), std::strerror(error));
        EXPECT_EQ(readFile(path), "earlier\r\n");
        EXPECT_EQ(filesIn(dir.path()), QStringList{"report.csv"});
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("report.csv");
    writeFile(path, "earlier\r\n");
    EXPECT_EQ(replaceWholeFile(systemFileLayer(), path, "new\r\n"), "");
    EXPECT_EQ(readFile(path), "new\r\n");
    // A named pipe stays a pipe, and nobody waits for a reader.
    const QString pipe = dir.filePath("pipe.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(replaceWholeFile(systemFileLayer(), pipe, "new\r\n"), "not a regular file");
    EXPECT_EQ(QFileInfo(pipe).isFile(), false);
}
