#include "../report/ReportTestSupport.h"
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

// The rows of a section CSV as patterns of a report line, the verdict in words.
QStringList csvRowPatterns(const QByteArray& csv) {
    QStringList patterns;
    const QList<QByteArray> lines = csv.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        QStringList fields;
        const QList<QByteArray> cells = lines[i].trimmed().split(',');
        if (cells.size() < 2)
            continue;
        for (int c = 0; c < cells.size(); ++c) {
            QString field = QString::fromUtf8(cells[c]);
            if (c == cells.size() - 1)
                field = field == "yes" ? "pass" : "fail";
            if (!field.isEmpty())
                fields << QRegularExpression::escape(field);
        }
        patterns << fields.join(QStringLiteral("\\s+"));
    }
    return patterns;
}

} // namespace

TEST(CliReport, WritesTheReportWithTheDetailsAndTheFiguresOfTheSectionCsv) {
    struct Case {
        const char* name;
        QStringList extra;
        QStringList shown; // patterns of the report's text
    } const cases[] = {
        {"no details, default classes",
         {},
         {"Required: Rl R2 \\(>= 100 mcd/m\\^2/lx\\), Qd Q2", "Records read\\s+6\\n"}},
        {"details and R3, Q3",
         {"--class", "R3,Q3", "--project", "Ring road", "--road", "B 27", "--direction", "south",
          "--operator", "Kim Lee", "--notes", "wet <b>night</b>"},
         {"Project\\s+Ring road", "Road\\s+B 27", "Direction\\s+south", "Operator\\s+Kim Lee",
          "Notes\\s+wet <b>night</b>", "Required: Rl R3 \\(>= 150 mcd/m\\^2/lx\\), Qd Q3",
          "Qd\\s+W\\s+2\\s+0\\s+105.0.*fail"}},
    };
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--scenario", writeScenario(dir, kScenario)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString csv = dir.filePath("sections.csv");
        const QString pdf = dir.filePath("report.pdf");
        QProcess cli;
        cli.start(QStringLiteral(LOGDUMP_CLI_PATH),
                  QStringList{"read", "--port", link, "--sections", csv, "--report", pdf} +
                      c.extra);
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        EXPECT_EQ(cli.readAllStandardOutput().count('\n'), 7);

        const QString text = reportfix::pageTexts(pdf).join(QLatin1Char('\f'));
        EXPECT_TRUE(text.contains("Road marking survey report"));
        EXPECT_TRUE(text.contains(QRegularExpression("Model\\s+RVM600PK\\n")));
        EXPECT_TRUE(text.contains(QRegularExpression("Log\\s+Download complete")));
        for (const QString& pattern : c.shown)
            EXPECT_TRUE(text.contains(QRegularExpression(pattern))) << pattern.toStdString();
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList rows = csvRowPatterns(file.readAll());
        EXPECT_EQ(rows.size(), 6);
        for (const QString& row : rows)
            EXPECT_TRUE(text.contains(QRegularExpression(row))) << row.toStdString();
        if (c.extra.isEmpty()) {
            EXPECT_FALSE(text.contains("Project"));
        }
    }
}

TEST(CliReport, AReportThatCannotBeWrittenFailsAfterPrinting) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    SimProcess sim({"--link", link, "--scenario", writeScenario(dir, kScenario)});
    struct Case {
        const char* name;
        QString path;
    } const cases[] = {
        {"missing folder", dir.filePath("missing/report.pdf")},
        {"a folder in its place", dir.path()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess cli;
        cli.start(QStringLiteral(LOGDUMP_CLI_PATH), {"read", "--port", link, "--report", c.path});
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 1);
        // The log read is printed all the same, and the failure told.
        EXPECT_EQ(cli.readAllStandardOutput().count('\n'), 7);
        EXPECT_TRUE(cli.readAllStandardError().contains("Cannot write"));
    }

    QProcess usage;
    usage.start(QStringLiteral(LOGDUMP_CLI_PATH), {"read", "--report", "r.pdf", "--project"});
    ASSERT_TRUE(usage.waitForFinished(60000));
    EXPECT_EQ(usage.exitCode(), 2);
}
