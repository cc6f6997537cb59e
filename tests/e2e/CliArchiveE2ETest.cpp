// logdump-cli and the archive: every download kept as it was printed and saved, a killed reading
// left interrupted with what it had, and an archive that cannot be used told once without
// changing anything else of the run.
#include "SimProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::string fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "(missing)";
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> result;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        result.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    result.push_back(line.substr(start));
    return result;
}

// The stderr of a run without the lines the archive told.
std::string withoutArchiveLines(const std::string& err, int& told) {
    std::string rest;
    told = 0;
    for (const std::string& line : lines(err)) {
        if (line.rfind("Archive: ", 0) == 0)
            ++told;
        else
            rest += line + '\n';
    }
    return rest;
}

// How a run meets its archive besides the file itself.
struct Constraint {
    rlim_t fileSizeLimit = 0; // bytes; 0: none
    bool readOnly = false;    // the archive file may not be written by the run
};

// logdump-cli under the constraint. A read-only file does not stop root, so a run as root reads
// as the unprivileged user, with the link and the folder opened to it.
CliResult runConstrained(const QStringList& arguments, const Constraint& constraint,
                         const QString& archive, const QString& link) {
    QProcess cli;
    const bool asNobody = constraint.readOnly && ::geteuid() == 0;
    if (constraint.readOnly) {
        QFile::setPermissions(archive, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ReadOther);
        if (asNobody) {
            const QString folder = QFileInfo(archive).absolutePath();
            QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::ExeOther |
                                              QFileDevice::ReadOther);
            QFile::setPermissions(QFileInfo(link).canonicalFilePath(),
                                  QFileDevice::ReadOther | QFileDevice::WriteOther |
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }
    const rlim_t limitBytes = constraint.fileSizeLimit;
    cli.setChildProcessModifier([limitBytes, asNobody] {
        if (limitBytes > 0) {
            const rlimit limit{limitBytes, limitBytes};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
    });
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH), arguments);
    CliResult run;
    if (!cli.waitForFinished(60000))
        return run;
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = cli.readAllStandardOutput().toStdString();
    run.err = cli.readAllStandardError().toStdString();
    return run;
}

} // namespace

TEST(CliArchive, EveryDownloadRoundTripsThroughTheArchive) {
    struct Case {
        const char* model;
        int count;
    };
    Cases cases;
    for (const Case c :
         {Case{"RVM600", 25}, Case{"RVM600P", 20}, Case{"RVM600PK", 20}, Case{"VX40", 15}}) {
        cases.push_back([c] {
            SCOPED_TRACE(c.model);
            QTemporaryDir dir;
            const QString archive = dir.filePath(QStringLiteral("archive.sqlite"));
            const QString link = dir.filePath(QStringLiteral("COM1"));
            SimProcess sim(
                {"--link", link, "--model", c.model, "--count", QString::number(c.count)});
            const QString readLog = dir.filePath(QStringLiteral("read.Log"));
            const CliResult read =
                runLogdumpCli({"read", "--port", link, "--archive", archive, "--save", readLog});
            ASSERT_EQ(read.exitCode, 0) << read.err;
            EXPECT_EQ(read.err.find("Archive:"), std::string::npos) << read.err;

            const CliResult list = runLogdumpCli({"archive", "list", "--archive", archive});
            ASSERT_EQ(list.exitCode, 0) << list.err;
            const std::vector<std::string> listed = lines(list.out);
            ASSERT_EQ(listed.size(), 2u) << list.out;
            EXPECT_EQ(listed[0],
                      "id\tstarted\tport\tmodel\tserial\trecords\tannounced\tended\tsaved");
            const std::vector<std::string> entry = fields(listed[1]);
            ASSERT_EQ(entry.size(), 9u) << listed[1];
            EXPECT_TRUE(
                QRegularExpression(
                    QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"))
                    .match(QString::fromStdString(entry[1]))
                    .hasMatch())
                << entry[1];
            EXPECT_EQ(entry[2], link.toStdString());
            EXPECT_EQ(entry[3], c.model);
            EXPECT_EQ(entry[4], "4711");
            EXPECT_EQ(entry[5], std::to_string(c.count));
            EXPECT_EQ(entry[6], std::to_string(c.count));
            EXPECT_EQ(entry[7], "complete");
            EXPECT_EQ(entry[8], readLog.toStdString());

            const QString shownLog = dir.filePath(QStringLiteral("shown.Log"));
            const CliResult shown =
                runLogdumpCli({"archive", "show", QString::fromStdString(entry[0]), "--archive",
                               archive, "--save", shownLog, "--stats"});
            EXPECT_EQ(shown.exitCode, 0) << shown.err;
            EXPECT_EQ(shown.out, read.out);
            const CliResult plainShow =
                runLogdumpCli({"archive", "show", QString::fromStdString(entry[0]), "--archive",
                               archive, "--save", dir.filePath(QStringLiteral("plain.Log"))});
            EXPECT_EQ(plainShow.out, read.out);
            EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("plain.Log"))), fileBytes(readLog));

            const CliResult opened = runLogdumpCli({"open", readLog});
            EXPECT_EQ(opened.exitCode, 0) << opened.err;
            EXPECT_EQ(opened.out, read.out);

            // The saves made from the archived download are kept with it, the last one listed.
            const CliResult relisted = runLogdumpCli({"archive", "list", "--archive", archive});
            EXPECT_NE(relisted.out.find(
                          "\t" + dir.filePath(QStringLiteral("plain.Log")).toStdString() + "\n"),
                      std::string::npos)
                << relisted.out;
        });
    }
    sideBySide(cases);
}

TEST(CliArchive, AMissingDownloadOrArchiveIsRefused) {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("archive.sqlite"));
    const CliResult empty = runLogdumpCli({"archive", "list", "--archive", archive});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "id\tstarted\tport\tmodel\tserial\trecords\tannounced\tended\tsaved\n");
    EXPECT_FALSE(QFile::exists(archive)) << "listing made an archive";
    const CliResult missing = runLogdumpCli({"archive", "show", "7", "--archive", archive});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("No download 7"), std::string::npos) << missing.err;
    for (const char* id : {"0", "x", "-1"})
        EXPECT_EQ(runLogdumpCli({"archive", "show", id, "--archive", archive}).exitCode, 2) << id;
}

TEST(CliArchive, AnArchiveThatCannotBeUsedIsToldOnceAndChangesNothingElse) {
    struct Case {
        const char* name;
        std::function<void(const QString& path)> prepare;
        const char* told; // part of the one line
        bool keptAsItWas;
        Constraint constraint;
    };
    const auto newer = [](const QString& path) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
            db.setDatabaseName(path);
            ASSERT_TRUE(db.open());
            QSqlQuery(db).exec(QStringLiteral("CREATE TABLE later (x)"));
            QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = 9"));
        }
        QSqlDatabase::removeDatabase(path);
    };
    const auto damaged = [](const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
    };
    const auto folder = [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); };
    // An archive with a download in it already.
    const auto used = [](const QString& path) {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("COM1"));
        SimProcess sim({"--link", link, "--count", "5", "--no-pacing"});
        ASSERT_EQ(runLogdumpCli({"read", "--port", link, "--archive", path}).exitCode, 0);
    };
    Constraint full;
    full.fileSizeLimit = 8192; // the archive cannot grow
    Constraint readOnly;
    readOnly.readOnly = true;
    const std::vector<Case> table = {
        {"newer schema", newer, "newer version", true, {}},
        {"damaged", damaged, "not a database", true, {}},
        {"not a file", folder, "not a regular file", true, {}},
        {"full", used, "Archive: cannot", false, full},
        {"read-only", used, "readonly", true, readOnly},
    };
    Cases cases;
    for (const Case& c : table) {
        cases.push_back([c] {
            SCOPED_TRACE(c.name);
            QTemporaryDir dir;
            const QString archive = dir.filePath(QStringLiteral("archive.sqlite"));
            c.prepare(archive);
            const std::string before = fileBytes(archive);
            const QString link = dir.filePath(QStringLiteral("COM1"));
            CliResult with;
            CliResult without;
            {
                SimProcess sim({"--link", link, "--count", "30"});
                with = runConstrained({"read", "--port", link, "--archive", archive}, c.constraint,
                                      archive, link);
            }
            {
                SimProcess sim({"--link", link, "--count", "30"});
                without = runLogdumpCli({"read", "--port", link, "--no-archive"});
            }
            EXPECT_EQ(with.exitCode, without.exitCode);
            EXPECT_EQ(with.out, without.out);
            int told = 0;
            EXPECT_EQ(withoutArchiveLines(with.err, told), without.err);
            EXPECT_EQ(told, 1) << with.err;
            EXPECT_NE(with.err.find(c.told), std::string::npos) << with.err;
            if (c.keptAsItWas) {
                EXPECT_EQ(fileBytes(archive), before);
            }
        });
    }
    cases.push_back([] {
        SCOPED_TRACE("locked by another writer");
        QTemporaryDir dir;
        const QString archive = dir.filePath(QStringLiteral("archive.sqlite"));
        const QString link = dir.filePath(QStringLiteral("COM1"));
        {
            SimProcess sim({"--link", link, "--count", "5"});
            ASSERT_EQ(runLogdumpCli({"read", "--port", link, "--archive", archive}).exitCode, 0);
        }
        const QString connection = QStringLiteral("locker");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(archive);
            ASSERT_TRUE(db.open());
            QSqlQuery lock(db);
            ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            CliResult with;
            CliResult without;
            {
                SimProcess sim({"--link", link, "--count", "30"});
                with = runLogdumpCli({"read", "--port", link, "--archive", archive});
            }
            {
                SimProcess sim({"--link", link, "--count", "30"});
                without = runLogdumpCli({"read", "--port", link, "--no-archive"});
            }
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            EXPECT_EQ(with.exitCode, without.exitCode);
            EXPECT_EQ(with.out, without.out);
            int told = 0;
            EXPECT_EQ(withoutArchiveLines(with.err, told), without.err);
            EXPECT_EQ(told, 1) << with.err;
            EXPECT_NE(with.err.find("locked"), std::string::npos) << with.err;
        }
        QSqlDatabase::removeDatabase(connection);
    });
    sideBySide(cases);
}

// The program killed in the middle of a paced download: the entry says "interrupted" and holds
// every record the progress had shown a second before the kill.
TEST(CliArchive, AKilledReadingLeavesAnInterruptedDownloadWithItsRecords) {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("archive.sqlite"));
    const QString link = dir.filePath(QStringLiteral("COM1"));
    SimProcess sim({"--link", link, "--count", "500"});
    QProcess cli;
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH), {"read", "--port", link, "--archive", archive});
    cli.setReadChannel(QProcess::StandardError);
    QElapsedTimer clock;
    clock.start();
    struct Seen {
        qint64 at;
        int records;
    };
    std::vector<Seen> progress;
    QByteArray pending;
    const QRegularExpression shown(QStringLiteral("\\((\\d+) of 500\\)"));
    while ((progress.empty() || progress.back().records < 200) && cli.waitForReadyRead(30000)) {
        pending += cli.readAll();
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QRegularExpressionMatch m = shown.match(QString::fromLatin1(pending.left(end)));
            if (m.hasMatch())
                progress.push_back({clock.elapsed(), m.captured(1).toInt()});
            pending.remove(0, end + 1);
        }
    }
    ASSERT_FALSE(progress.empty());
    ASSERT_GE(progress.back().records, 200);
    QThread::msleep(1500);
    const qint64 killedAt = clock.elapsed();
    ::kill(static_cast<pid_t>(cli.processId()), SIGKILL);
    ASSERT_TRUE(cli.waitForFinished(10000));
    int shownBefore = 0; // records the progress showed at least a second before the kill
    for (const Seen& s : progress)
        if (s.at <= killedAt - 1000)
            shownBefore = std::max(shownBefore, s.records);
    ASSERT_GE(shownBefore, 200);

    const CliResult list = runLogdumpCli({"archive", "list", "--archive", archive});
    const std::vector<std::string> listed = lines(list.out);
    ASSERT_EQ(listed.size(), 2u) << list.out << list.err;
    const std::vector<std::string> entry = fields(listed[1]);
    ASSERT_EQ(entry.size(), 9u);
    EXPECT_EQ(entry[7], "interrupted");
    EXPECT_GE(std::stoi(entry[5]), shownBefore);
    EXPECT_EQ(entry[6], "500");
    // Every record it counts is there, row after row, as the table had it.
    const CliResult shownTable = runLogdumpCli({"archive", "show", "1", "--archive", archive});
    EXPECT_EQ(shownTable.exitCode, 0) << shownTable.err;
    const std::vector<std::string> rows = lines(shownTable.out);
    ASSERT_GE(rows.size(), static_cast<size_t>(shownBefore) + 1);
    for (int row = 1; row <= shownBefore; ++row)
        ASSERT_EQ(rows[static_cast<size_t>(row)].rfind(std::to_string(row) + "\t", 0), 0u)
            << rows[static_cast<size_t>(row)];
}

// Ctrl+C in the middle: the download is kept as "stopped" with exactly the rows printed.
TEST(CliArchive, AStoppedReadingIsKeptAsStopped) {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("archive.sqlite"));
    const QString link = dir.filePath(QStringLiteral("COM1"));
    SimProcess sim({"--link", link, "--count", "500"});
    QProcess cli;
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH), {"read", "--port", link, "--archive", archive});
    cli.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains("10 % (") && cli.waitForReadyRead(30000))
        err += cli.readAll();
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 130);
    const std::string printed = cli.readAllStandardOutput().toStdString();
    const CliResult list = runLogdumpCli({"archive", "list", "--archive", archive});
    const std::vector<std::string> listed = lines(list.out);
    ASSERT_EQ(listed.size(), 2u) << list.out << list.err;
    const std::vector<std::string> entry = fields(listed[1]);
    ASSERT_EQ(entry.size(), 9u);
    EXPECT_EQ(entry[7], "stopped");
    EXPECT_EQ(entry[5], std::to_string(lines(printed).size() - 1));
    EXPECT_EQ(
        runLogdumpCli({"archive", "show", QString::fromStdString(entry[0]), "--archive", archive})
            .out,
        printed);
}

// Two programs reading at the same time into one archive: both downloads kept whole, nothing
// told.
TEST(CliArchive, TwoReadingsShareOneArchive) {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("archive.sqlite"));
    std::vector<CliResult> runs(2);
    Cases cases;
    for (size_t i = 0; i < runs.size(); ++i) {
        cases.push_back([&, i] {
            const QString link = dir.filePath(QStringLiteral("COM%1").arg(i + 1));
            SimProcess sim({"--link", link, "--count", "60", "--serial", QString::number(100 + i)});
            runs[i] = runLogdumpCli({"read", "--port", link, "--archive", archive});
        });
    }
    sideBySide(cases);
    for (const CliResult& run : runs) {
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err.find("Archive:"), std::string::npos) << run.err;
    }
    const std::vector<std::string> listed =
        lines(runLogdumpCli({"archive", "list", "--archive", archive}).out);
    ASSERT_EQ(listed.size(), 3u);
    for (size_t i = 1; i < listed.size(); ++i) {
        const std::vector<std::string> entry = fields(listed[i]);
        ASSERT_EQ(entry.size(), 9u);
        EXPECT_EQ(entry[5], "60");
        EXPECT_EQ(entry[7], "complete");
        const size_t which = entry[4] == "100" ? 0 : 1;
        EXPECT_EQ(runLogdumpCli(
                      {"archive", "show", QString::fromStdString(entry[0]), "--archive", archive})
                      .out,
                  runs[which].out);
    }
}
