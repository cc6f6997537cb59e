// logdump-cli against a misbehaving instrument-sim on a pseudo-terminal: what a script gets on
// stdout, stderr, in the saved file and as the exit status.
#include "InstrumentSim.h"
#include "SimProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

// Runs logdump-cli with the arguments; stdout goes to outFile when one is given.
CliResult runCli(const QStringList& arguments, const QString& outFile = {}) {
    CliSetup setup;
    setup.outFile = outFile;
    setup.timeoutMs = 180000;
    return runLogdumpCli(arguments, setup);
}

// instrument-sim serving the scenario on a link in its own folder; with record, the commands
// it receives go to the file "commands.txt" there.
struct Instrument {
    explicit Instrument(const QJsonObject& scenario, bool record = false)
        : link(dir.filePath(QStringLiteral("COM1"))),
          sim(QStringList{"--link", link, "--scenario",
                          writeScenario(dir, QJsonDocument(scenario).toJson())} +
              (record ? QStringList{"--record", dir.filePath(QStringLiteral("commands.txt"))}
                      : QStringList{})) {}
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QTemporaryDir dir;
    QString link;
    SimProcess sim;
};

std::optional<std::string> fileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll().toStdString();
}

// The text log block of a printed table: CR LF line ends, the title and any statistics first.
std::string blockOf(const std::string& printed, const std::string& title = "RVM600 - s/n: 4711",
                    const std::string& statistics = "") {
    std::string block = "*Log dump from: " + title + "\r\n" + statistics;
    for (char c : printed) {
        if (c == '\n')
            block += '\r';
        block += c;
    }
    return block + "*** End ***\r\n\r\n";
}

// The printed table of a single-value log: header, then the rows.
std::string printedTable(const std::vector<std::string>& rows) {
    std::string text = "#\tDate / Time\tRl\tStat\tSeq-Id\tSeq#\t\n";
    for (const auto& row : rows)
        text += row + "\t\n";
    return text;
}

std::vector<std::string> recordRows(const std::vector<std::string>& records, size_t count) {
    std::vector<std::string> rows;
    for (size_t i = 0; i < count; ++i)
        rows.push_back(std::to_string(i + 1) + "\t" + records[i]);
    return rows;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

QJsonArray jsonLines(const std::vector<std::string>& lines) {
    QJsonArray array;
    for (const auto& line : lines)
        array.append(QString::fromLatin1(line.c_str()));
    return array;
}

const auto kRecords = sim::generateRecords("RVM600", 100, 1);

// In the middle of record 40 of the generated log of 100.
double cutInRecord40() {
    sim::Scenario s;
    s.count = 100;
    return static_cast<double>(sim::InstrumentSim(s).logStream().find(kRecords[39]) + 10);
}

// A log that ends early: printed, saved and told, with its own exit status.
Cases cutShort() {
    return {
        [] {
            SCOPED_TRACE("silent in record 40 of 100");
            Instrument i({{"count", 100}, {"silenceFromByte", cutInRecord40()}, {"paced", false}});
            const CliResult run = runCli({"read", "--port", i.link, "--save", i.path("cut.Log")});
            EXPECT_EQ(run.exitCode, 4) << run.err;
            EXPECT_EQ(run.out, printedTable(recordRows(kRecords, 39)));
            EXPECT_TRUE(contains(run.err, "\nLog incomplete: 39 of 100 records read\n")) << run.err;
            EXPECT_EQ(fileText(i.path("cut.Log")), blockOf(run.out));
        },
        [] {
            SCOPED_TRACE("a star in record 4 of 10");
            Instrument i({{"count", 10}, {"starInRecord", 4}, {"paced", false}});
            const CliResult run = runCli({"read", "--port", i.link});
            EXPECT_EQ(run.exitCode, 4) << run.err;
            EXPECT_EQ(run.out, printedTable(recordRows(sim::generateRecords("RVM600", 10, 1), 3)));
            EXPECT_TRUE(contains(run.err, "Log incomplete: 3 of 10 records read\n")) << run.err;
        },
        [] {
            SCOPED_TRACE("no record of the one announced, with --stats");
            Instrument i({{"count", 0}, {"lsCount", 1}, {"paced", false}});
            const CliResult run =
                runCli({"read", "--port", i.link, "--save", i.path("none.Log"), "--stats"});
            EXPECT_EQ(run.exitCode, 4) << run.err;
            EXPECT_EQ(run.out, printedTable({"\t\t\t\t\t"}));
            // Fewer than two records: no report, no error.
            EXPECT_FALSE(contains(run.err, "not a valid integer")) << run.err;
            EXPECT_EQ(fileText(i.path("none.Log")), blockOf(run.out));
        },
    };
}

// A record whose status is no number is kept, and the log read to its end.
Cases statusThatIsNoNumber() {
    return {[] {
        SCOPED_TRACE("status OK in record 5 of 100");
        std::vector<std::string> records = kRecords;
        std::string& fifth = records[4];
        const size_t status = fifth.find('\t', 20) + 1;
        fifth.replace(status, fifth.find('\t', status) - status, "OK");
        Instrument i({{"records", jsonLines(records)}, {"paced", false}});
        const CliResult run = runCli({"read", "--port", i.link, "--save", i.path("ok.Log")});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, printedTable(recordRows(records, 100)));
        EXPECT_TRUE(contains(run.err, "\nRecord 5: status 'OK' is not a number\n")) << run.err;
        EXPECT_FALSE(contains(run.err, "not a valid integer")) << run.err;
        EXPECT_EQ(fileText(i.path("ok.Log")), blockOf(run.out));
    }};
}

// An error after the download began: what was read is printed and saved, the status is 1.
Cases errorAfterTheWakeUp() {
    const std::string gone = "ClearCommError function failed (win error code: 5)\n";
    return {
        [=] {
            SCOPED_TRACE("pulled adapter in record 40");
            Instrument i({{"count", 100}, {"disconnectAtByte", cutInRecord40()}, {"paced", false}});
            const CliResult run = runCli({"read", "--port", i.link, "--save", i.path("gone.xls")});
            EXPECT_EQ(run.exitCode, 1) << run.err;
            EXPECT_EQ(run.out, printedTable(recordRows(kRecords, 39)));
            EXPECT_TRUE(contains(run.err, gone)) << run.err;
            EXPECT_TRUE(contains(run.err, "\nLog incomplete: 39 of 100 records read\n")) << run.err;
            const auto workbook = fileText(i.path("gone.xls"));
            ASSERT_TRUE(workbook.has_value());
            EXPECT_EQ(workbook->substr(0, 2), "PK");
        },
        [=] {
            SCOPED_TRACE("pulled adapter in record 40, text log");
            Instrument i({{"count", 100}, {"disconnectAtByte", cutInRecord40()}, {"paced", false}});
            const CliResult run = runCli({"read", "--port", i.link, "--save", i.path("gone.Log")});
            EXPECT_EQ(run.exitCode, 1) << run.err;
            EXPECT_EQ(run.out, printedTable(recordRows(kRecords, 39)));
            EXPECT_EQ(fileText(i.path("gone.Log")), blockOf(run.out));
        },
        [=] {
            SCOPED_TRACE("no answer to the handshake: nothing read, nothing printed or saved");
            Instrument i({{"handshake", "silent"}});
            const CliResult run = runCli({"read", "--port", i.link, "--save", i.path("no.Log")});
            EXPECT_EQ(run.exitCode, 1) << run.err;
            EXPECT_TRUE(run.out.empty());
            EXPECT_FALSE(fileText(i.path("no.Log")).has_value());
        },
    };
}

// One byte every 0.4 s after "LE": stopped 60 s after the last record; takes about 67 s.
Cases slowTalker() {
    return {[] {
        SCOPED_TRACE("slow talker");
        Instrument i({{"stream", "1 2\t3\t0\t4\t5\r\n"},
                      {"endless", true},
                      {"streamByteMicros", 400000},
                      {"lsCount", 1}});
        const CliResult run = runCli({"read", "--port", i.link, "--save", i.path("slow.Log")});
        EXPECT_EQ(run.exitCode, 3) << run.err;
        EXPECT_EQ(run.out.rfind(printedTable({"1\t1 2\t3\t0\t4\t5"}), 0), 0u) << run.out;
        EXPECT_TRUE(contains(run.err, "\nLog reading stopped: no record for 60 s\n")) << run.err;
        // The stream holds no serial number line.
        EXPECT_EQ(fileText(i.path("slow.Log")), blockOf(run.out, "RVM600 - "));
    }};
}

// Failures of the command line itself are never reported as success.
Cases commandLineFailures() {
    return {
        [] {
            SCOPED_TRACE("stdout on a full device");
            Instrument i({{"count", 5}, {"paced", false}});
            const CliResult run =
                runCli({"read", "--port", i.link, "--save", i.path("full.Log")}, "/dev/full");
            EXPECT_EQ(run.exitCode, 1) << run.err;
            EXPECT_TRUE(contains(
                run.err, "Cannot write the table to standard output: No space left on device\n"))
                << run.err;
            // The save came first and holds the log.
            const auto saved = fileText(i.path("full.Log"));
            ASSERT_TRUE(saved.has_value());
            EXPECT_EQ(saved->rfind("*Log dump from: RVM600 - s/n: 4711\r\n", 0), 0u);
        },
        [] {
            SCOPED_TRACE("stdout closed");
            Instrument i({{"count", 5}, {"paced", false}});
            QProcess shell;
            shell.start(QStringLiteral("/bin/sh"),
                        {"-c", "exec \"$0\" \"$@\" >&-", QStringLiteral(LOGDUMP_CLI_PATH), "read",
                         "--port", i.link});
            ASSERT_TRUE(shell.waitForFinished(60000));
            EXPECT_EQ(shell.exitCode(), 1);
            const std::string err = shell.readAllStandardError().toStdString();
            EXPECT_TRUE(
                contains(err, "Cannot write the table to standard output: Bad file descriptor\n"))
                << err;
        },
        [] {
            SCOPED_TRACE("a save name without .Log or .xls: refused before the port opens");
            Instrument i({{"count", 5}}, true);
            const CliResult run = runCli({"read", "--port", i.link, "--save", i.path("log.txt")});
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_TRUE(run.out.empty());
            EXPECT_EQ(run.err.rfind("Save file must end in .Log, .xls or .xlsx: ", 0), 0u)
                << run.err;
            EXPECT_TRUE(contains(run.err, "usage: logdump-cli read")) << run.err;
            EXPECT_EQ(i.sim.stop(), 0);
            EXPECT_EQ(fileText(i.path("commands.txt")), std::string());
        },
        [] {
            SCOPED_TRACE("--stats that fail: saved without them, status 1");
            // A first value that is no whole number leaves nothing to measure the spread against.
            Instrument i({{"records", jsonLines({"12.03.2005 08:00:00\tx\t0\tS1\t1",
                                                 "12.03.2005 08:00:37\t0\t0\tS1\t2"})},
                          {"paced", false}});
            const CliResult run =
                runCli({"read", "--port", i.link, "--save", i.path("stats.Log"), "--stats"});
            EXPECT_EQ(run.exitCode, 1) << run.err;
            EXPECT_TRUE(contains(run.err, "'x' is not a valid integer value.\n")) << run.err;
            EXPECT_EQ(run.out, printedTable({"1\t12.03.2005 08:00:00\tx\t0\tS1\t1",
                                             "2\t12.03.2005 08:00:37\t0\t0\tS1\t2"}));
            EXPECT_EQ(fileText(i.path("stats.Log")),
                      blockOf(run.out, "RVM600 - s/n: 4711", "Rl statistics:\r\n\r\n"));
        },
        [] {
            SCOPED_TRACE("--stats with one record: nothing added");
            Instrument i(
                {{"count", 1}, {"trailer", QJsonArray{"end of log", "bye"}}, {"paced", false}});
            const CliResult run =
                runCli({"read", "--port", i.link, "--save", i.path("one.Log"), "--stats"});
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(fileText(i.path("one.Log")), blockOf(run.out));
            EXPECT_FALSE(contains(run.err, "statistics")) << run.err;
        },
    };
}

} // namespace

TEST(CliOutcomes, WhatWasReadIsPrintedSavedAndToldWithItsExitStatus) {
    Cases cases = slowTalker();
    for (const Cases& more :
         {cutShort(), statusThatIsNoNumber(), errorAfterTheWakeUp(), commandLineFailures()})
        cases.insert(cases.end(), more.begin(), more.end());
    sideBySide(cases);
}
