#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The printed table as the text log holds it: CR LF line ends.
std::string withCrLf(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

} // namespace

TEST(CliSave, AppendsOneTextLogBlockPerReadAndWritesAWorkbook) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--model", "RVM600", "--count", "12", "--no-pacing"});
    const QString log = dir.filePath("RVM4711.Log");

    const CliResult first = runLogdumpCli({"read", "--port", link, "--save", log});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const std::string block =
        "*Log dump from: RVM600 - s/n: 4711\r\n" + withCrLf(first.out) + "*** End ***\r\n\r\n";
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), block);
    file.close();

    const CliResult second = runLogdumpCli({"read", "--port", link, "--save", log});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), block + block);
    file.close();

    const QString workbook = dir.filePath("RVM4711.xls");
    const CliResult third = runLogdumpCli({"read", "--port", link, "--save", workbook});
    ASSERT_EQ(third.exitCode, 0) << third.err;
    QFile xls(workbook);
    ASSERT_TRUE(xls.open(QIODevice::ReadOnly));
    EXPECT_EQ(xls.read(2), QByteArray("PK")); // a zipped workbook, as spreadsheets save today
}

TEST(CliSave, AFailedSaveIsReportedWithANonZeroStatus) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--model", "VX40", "--count", "3", "--no-pacing"});
    // A folder stands where the log file should go.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.Log"));
    const CliResult run =
        runLogdumpCli({"read", "--port", link, "--save", dir.filePath("taken.Log")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Error opening file: "), std::string::npos) << run.err;
}

TEST(CliSave, StatsWriteTheGraphWindowsReportIntoTheBlock) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--model", "RVM600PK", "--count", "30", "--no-pacing"});
    const QString log = dir.filePath("stats.Log");
    const CliResult run = runLogdumpCli({"read", "--port", link, "--save", log, "--stats"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string text = file.readAll().toStdString();
    const std::string title = "*Log dump from: RVM600PK - s/n: 4711\r\n";
    EXPECT_EQ(text.rfind(title + "Rl statistics:\r\n", 0), 0u) << text;
    // Both blocks of the combined model, then one empty line before the headers.
    EXPECT_NE(text.find("\r\n\r\nQd statistics:\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Qd V alarm: "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n\r\n#\tDate / Time\tRl\tQd\tRStat\tQStat\tSeq-Id\tSeq#\t\r\n"),
              std::string::npos)
        << text;
}
