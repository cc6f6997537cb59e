// logdump-cli's command line: what it takes, what it refuses before any port is opened, and
// where it says so.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const std::string kUsage =
    "usage: logdump-cli read [--port COM1|PATH|auto] [--repeat N]\n"
    "                        [--save FILE.Log|FILE.xls|FILE.xlsx [--stats]]\n"
    "                        [--sections FILE.csv [--class R2,Q2]]\n"
    "                        [--report FILE.pdf [--class R2,Q2] [--project TEXT]\n"
    "                         [--road TEXT] [--direction TEXT] [--operator TEXT]\n"
    "                         [--notes TEXT]]\n"
    "       logdump-cli open FILE [--block N] [--save ...] [--stats]\n"
    "                        [--sections ...] [--report ...] [--class ...]\n"
    "       logdump-cli open FILE.Log --list\n"
    "       logdump-cli archive list [--archive PATH | --team [URI]]\n"
    "       logdump-cli archive show ID [--archive PATH | --team [URI]] [--save ...]\n"
    "                        [--stats] [--sections ...] [--report ...] [--class ...]\n"
    "       logdump-cli archive push [--archive PATH] [--team URI]\n"
    "       (read takes --archive PATH or --no-archive too; --team alone, or push\n"
    "        without it, takes the team archive LOGDUMP_TEAM_ARCHIVE names)\n"
    "       logdump-cli ports\n"
    "       logdump-cli --help\n";

} // namespace

TEST(CliUsage, HelpAndWrongUsageAreToldBeforeAnyPortOpens) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QStringList arguments;
        int exitCode;
        std::string out;
        std::string err;
    } const cases[] = {
        {"--help alone", {"--help"}, 0, kUsage, ""},
        {"--help after read", {"read", "--port", "COM9", "--help"}, 0, kUsage, ""},
        {"no command", {}, 2, "", kUsage},
        {"an empty sections name",
         {"read", "--sections", ""},
         2,
         "",
         "--sections needs a file name\n" + kUsage},
        {"--class without a report",
         {"read", "--class", "R3"},
         2,
         "",
         "--class requires --sections or --report\n" + kUsage},
        {"--class without a report of an opened log",
         {"open", "x.Log", "--class", "R3"},
         2,
         "",
         "--class requires --sections or --report\n" + kUsage},
        {"an empty sections name for an opened log",
         {"open", "x.Log", "--sections", ""},
         2,
         "",
         "--sections needs a file name\n" + kUsage},
        {"an unknown class",
         {"read", "--sections", "x.csv", "--class", "R9"},
         2,
         "",
         "Unknown class in R9; the classes are R0, R1, R2, R3, R4, R5, Q0, Q1, Q2, Q3, Q4\n" +
             kUsage},
        {"a save name of another kind",
         {"read", "--save", "log.txt"},
         2,
         "",
         "Save file must end in .Log, .xls or .xlsx: log.txt\n" + kUsage},
        {"an unknown option", {"read", "--verbose"}, 2, "", kUsage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess cli;
        cli.setWorkingDirectory(dir.path());
        cli.start(QStringLiteral(LOGDUMP_CLI_PATH), c.arguments);
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), c.exitCode);
        EXPECT_EQ(cli.readAllStandardOutput().toStdString(), c.out);
        EXPECT_EQ(cli.readAllStandardError().toStdString(), c.err);
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "nothing written";
}
