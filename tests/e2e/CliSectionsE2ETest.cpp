#include "SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Two runs of an RVM600PK: "W" with an Rl error, "E" ending in three low-battery records.
const QByteArray kScenario = R"({"model": "RVM600PK", "paced": false, "records": [
    "12.03.2005 08:00:00\t250\t120\t0\t0\tW\t1",
    "12.03.2005 08:00:37\t140\t90\t1\t0\tW\t2",
    "12.03.2005 08:01:14\t160\t135\t0\t0\tE\t1",
    "12.03.2005 08:01:51\t170\t140\t16\t16\tE\t2",
    "12.03.2005 08:02:28\t180\t150\t16\t16\tE\t3",
    "12.03.2005 08:03:05\t190\t160\t16\t16\tE\t4"]})";

const std::string kHeader =
    "series,section,used,left_out,mean,sd,min,max,below,below_pct,class,required,pass\r\n";

} // namespace

TEST(CliSections, WritesTheReportAsCsvWithTheRequiredClasses) {
    struct Case {
        const char* name;
        QStringList extra;
        std::string csv;
    } const cases[] = {
        {"defaults R2, Q2",
         {},
         kHeader + "Rl,W,1,1,250.0,,250,250,0,0.0,R4,R2,yes\r\n"
                   "Rl,E,3,1,170.0,10.0,160,180,0,0.0,R3,R2,yes\r\n"
                   "Rl,ALL,4,2,190.0,40.8,160,250,0,0.0,R3,R2,yes\r\n"
                   "Qd,W,2,0,105.0,21.2,90,120,1,50.0,Q2,Q2,yes\r\n"
                   "Qd,E,3,1,141.7,7.6,135,150,0,0.0,Q3,Q2,yes\r\n"
                   "Qd,ALL,5,1,127.0,23.3,90,150,1,20.0,Q2,Q2,yes\r\n"},
        {"R3, Q3",
         {"--class", "R3,Q3"},
         kHeader + "Rl,W,1,1,250.0,,250,250,0,0.0,R4,R3,yes\r\n"
                   "Rl,E,3,1,170.0,10.0,160,180,0,0.0,R3,R3,yes\r\n"
                   "Rl,ALL,4,2,190.0,40.8,160,250,0,0.0,R3,R3,yes\r\n"
                   "Qd,W,2,0,105.0,21.2,90,120,2,100.0,Q2,Q3,no\r\n"
                   "Qd,E,3,1,141.7,7.6,135,150,0,0.0,Q3,Q3,yes\r\n"
                   "Qd,ALL,5,1,127.0,23.3,90,150,2,40.0,Q2,Q3,no\r\n"},
    };
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--scenario", writeScenario(dir, kScenario)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString csv = dir.filePath("sections.csv");
        QProcess cli;
        cli.start(QStringLiteral(LOGDUMP_CLI_PATH),
                  QStringList{"read", "--port", link, "--sections", csv} + c.extra);
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), c.csv);
    }
}

TEST(CliSections, WrongClassIsAUsageErrorAndAnUnwritableFileFailsAfterPrinting) {
    QProcess usage;
    usage.start(QStringLiteral(LOGDUMP_CLI_PATH), {"read", "--sections", "x.csv", "--class", "R9"});
    ASSERT_TRUE(usage.waitForFinished(60000));
    EXPECT_EQ(usage.exitCode(), 2);

    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--scenario", writeScenario(dir, kScenario)});
    QProcess cli;
    cli.start(QStringLiteral(LOGDUMP_CLI_PATH),
              {"read", "--port", link, "--sections", dir.filePath("missing/sections.csv")});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 1);
    // The log read is printed all the same.
    EXPECT_EQ(cli.readAllStandardOutput().count('\n'), 7);
}
