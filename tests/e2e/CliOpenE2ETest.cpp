#include "SimProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::string fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

std::string withoutCr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

} // namespace

// For a model of each kind: what `read` printed, `open` prints again from the text log and from the
// workbook, and a text log saved from the opened log is the block `read --save` wrote.
TEST(CliOpen, ASavedLogPrintsAndSavesAsTheDownloadDid) {
    for (const char* model : {"RVM600", "RVM600PK"}) { // one value, and Rl and Qd
        SCOPED_TRACE(model);
        QTemporaryDir dir;
        const QString link = dir.filePath("COM1");
        SimProcess sim({"--link", link, "--model", model, "--count", "30", "--no-pacing"});
        const QString log = dir.filePath("read.Log");
        const QString book = dir.filePath("read.xls");
        const CliResult read = runLogdumpCli({"read", "--port", link, "--save", log, "--stats"});
        ASSERT_EQ(read.exitCode, 0) << read.err;
        ASSERT_EQ(runLogdumpCli({"read", "--port", link, "--save", book}).exitCode, 0);

        const CliResult fromLog = runLogdumpCli({"open", log});
        EXPECT_EQ(fromLog.exitCode, 0) << fromLog.err;
        EXPECT_EQ(fromLog.out, read.out);
        EXPECT_EQ(fromLog.err, "");
        const CliResult fromBook = runLogdumpCli({"open", book});
        EXPECT_EQ(fromBook.exitCode, 0) << fromBook.err;
        EXPECT_EQ(fromBook.out, withoutCr(read.out));

        const QString again = dir.filePath("again.Log");
        ASSERT_EQ(runLogdumpCli({"open", log, "--save", again}).exitCode, 0);
        EXPECT_EQ(fileBytes(again), fileBytes(log));
    }
}

// --list names every block; --block picks one; a refused file or a block that is not there
// fails with the reason on stderr and nothing on stdout.
TEST(CliOpen, ListsBlocksAndRefusesWithTheReason) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    const QString log = dir.filePath("two.Log");
    {
        SimProcess first({"--link", link, "--model", "RVM600", "--count", "3", "--no-pacing"});
        ASSERT_EQ(runLogdumpCli({"read", "--port", link, "--save", log}).exitCode, 0);
    }
    SimProcess second({"--link", link, "--model", "VX40", "--count", "5", "--no-pacing"});
    const CliResult last = runLogdumpCli({"read", "--port", link, "--save", log});
    ASSERT_EQ(last.exitCode, 0);

    const CliResult list = runLogdumpCli({"open", log, "--list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, "block\trecords\ttitle\n"
                        "1\t3\t*Log dump from: RVM600 - s/n: 4711\n"
                        "2\t5\t*Log dump from: VX40 - s/n: 4711\n");
    EXPECT_EQ(runLogdumpCli({"open", log}).out, last.out);
    EXPECT_NE(runLogdumpCli({"open", log, "--block", "1"}).out, last.out);

    QFile junk(dir.filePath("junk.Log"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("Hello\r\n");
    junk.close();
    const struct {
        QStringList arguments;
        int exitCode;
        std::string err;
    } cases[] = {
        {{"open", junk.fileName()},
         1,
         junk.fileName().toStdString() +
             ": line 1: expected a log's title \"*Log dump from: ...\"\n"},
        {{"open", log, "--block", "3"}, 1, log.toStdString() + ": no block 3 (the file holds 2)\n"},
        {{"open", log, "--block", "0"}, 2, ""},
        {{"open", log, "--save", dir.filePath("x.txt")}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CliResult run = runLogdumpCli(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, "");
        if (c.exitCode == 1) {
            EXPECT_EQ(run.err, c.err);
        }
    }
}
