// The archive file: what goes in comes out byte for byte, newest first, and a file it cannot
// use is refused as it is.
#include "archive/Archive.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveSchema.h"
#include "archive/ArchiveWriter.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>
#include <thread>

namespace {

DownloadStart startAt(qint64 ms, const std::string& serialLine) {
    DownloadStart start;
    start.started = QStringLiteral("2026-12-10T06:00:00+01:00");
    start.startedMs = ms;
    start.port = QStringLiteral("COM1");
    start.model = "RVM600";
    start.identLine = std::string("Virelon \x1b[2J RVM600\xe9", 20);
    start.serialLine = serialLine;
    start.announced = 3;
    return start;
}

} // namespace

TEST(Archive, KeepsEveryByteOfADownload) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/archive.sqlite"));
    Archive archive(path, QStringLiteral("test"));
    EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                          QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    archive.begin();
    const qint64 id = archive.addDownload(startAt(1000, ""));
    archive.setSerialLine(id, "s/n: 47\xff"
                              "11");
    const std::vector<std::vector<std::string>> rows = {
        {"#", "Date / Time", "Rl", "Stat", "Seq-Id", "Seq#"},
        {"1", "10.12.26 06:00:01",
         "2\x80"
         "5",
         "", "A,B", "1"},
    };
    archive.putRows(id, 0, rows);
    archive.putRows(id, 3, {{"2", "10.12.26 06:00:02", "", "0", "A", "2"}});
    archive.setCounts(id, 2, 5);
    archive.addMemoLines(id, 0, {"Virelon", std::string("\0x", 2)});
    archive.addStreamBytes(id, 0, std::string("1\t10.12\r\0", 9));
    archive.addStreamBytes(id, 1, "*");
    archive.endDownload(id, DownloadEnding::Bound);
    archive.addSave(id, {QStringLiteral("/a/b.Log"), QStringLiteral("text log"),
                         QStringLiteral("2026-12-10T06:01:00+01:00")});
    archive.commit();

    const std::optional<ArchivedDownload> back = archive.load(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->identLine, startAt(0, "").identLine);
    EXPECT_EQ(back->serialLine, "s/n: 47\xff"
                                "11");
    EXPECT_EQ(back->summary.serialNo, "47\xff"
                                      "11");
    EXPECT_EQ(back->summary.ended, QStringLiteral("bound"));
    EXPECT_EQ(back->summary.records, 2);
    EXPECT_EQ(back->summary.savedPath, QStringLiteral("/a/b.Log"));
    ASSERT_EQ(back->rows.size(), 5u); // rows 2 and 4 left empty
    EXPECT_EQ(back->rows[0], rows[0]);
    EXPECT_EQ(back->rows[1], rows[1]);
    EXPECT_TRUE(back->rows[2].empty());
    EXPECT_EQ(back->rows[3][0], "2");
    EXPECT_TRUE(back->rows[4].empty());
    EXPECT_EQ(back->memo, (std::vector<std::string>{"Virelon", std::string("\0x", 2)}));
    EXPECT_EQ(back->stream, std::string("1\t10.12\r\0*", 10));
    EXPECT_FALSE(archive.load(id + 1));
}

TEST(Archive, ListsNewestFirstFiltersBySerialAndDeletesForGood) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("archive.sqlite")), QStringLiteral("test"));
    archive.begin();
    const qint64 old = archive.addDownload(startAt(1000, "s/n: 4711"));
    const qint64 mid = archive.addDownload(startAt(2000, "s/n: 815"));
    const qint64 late = archive.addDownload(startAt(3000, "s/n: 47110"));
    archive.putRows(late, 1, {{"1", "x"}});
    archive.addSave(late,
                    {QStringLiteral("/1.Log"), QStringLiteral("text log"), QStringLiteral("t")});
    archive.addSave(late,
                    {QStringLiteral("/2.xls"), QStringLiteral("workbook"), QStringLiteral("t")});
    archive.commit();
    struct Case {
        const char* filter;
        std::vector<qint64> ids;
    };
    for (const Case& c : {Case{"", {late, mid, old}}, Case{"4711", {late, old}}, Case{"815", {mid}},
                          Case{"9", {}}}) {
        SCOPED_TRACE(c.filter);
        std::vector<qint64> ids;
        for (const DownloadSummary& d : archive.list(c.filter))
            ids.push_back(d.id);
        EXPECT_EQ(ids, c.ids);
    }
    EXPECT_EQ(archive.list().front().savedPath, QStringLiteral("/2.xls"));
    EXPECT_EQ(archive.list().front().ended, QStringLiteral("interrupted"));

    // Offered once each: the newest never saved first, the saved one never.
    const auto offered = archive.takeUnsavedInterrupted();
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->id, mid);
    EXPECT_EQ(archive.takeUnsavedInterrupted()->id, old);
    EXPECT_FALSE(archive.takeUnsavedInterrupted());

    EXPECT_TRUE(archive.remove(late));
    EXPECT_FALSE(archive.remove(late));
    // A save of the deleted download, still in a table, is not kept and fails nothing.
    archive.addSave(late,
                    {QStringLiteral("/3.Log"), QStringLiteral("text log"), QStringLiteral("t")});
    EXPECT_FALSE(archive.load(late));
    QSqlQuery rows(QSqlDatabase::database(QStringLiteral("test")));
    ASSERT_TRUE(rows.exec(QStringLiteral("SELECT (SELECT count(*) FROM table_rows) +"
                                         " (SELECT count(*) FROM saves)")));
    ASSERT_TRUE(rows.next());
    EXPECT_EQ(rows.value(0).toInt(), 0);
}

TEST(Archive, ANewFileGetsTheSchemaAndTheWriteAheadLog) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    { Archive archive(path, QStringLiteral("test")); }
    {
        Archive again(path, QStringLiteral("test")); // opening again changes nothing
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("test")));
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version")) && query.next());
        EXPECT_EQ(query.value(0).toInt(), ArchiveSchema::kVersion);
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA journal_mode")) && query.next());
        EXPECT_EQ(query.value(0).toString(), QStringLiteral("wal"));
    }
}

TEST(ArchiveWriter, AFailureIsToldOnceAndTheNextDownloadTriesAgain) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    ArchiveWriter writer(path);
    int ran = 0;
    writer.restart();
    for (int i = 0; i < 3; ++i)
        writer.post([&ran](Archive&) { ++ran; });
    ASSERT_TRUE(writer.flush(std::chrono::seconds(10)));
    const std::optional<std::string> failure = writer.takeFailure();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->rfind("Archive: ", 0), 0u) << *failure;
    EXPECT_FALSE(writer.takeFailure());
    EXPECT_EQ(ran, 0);
    // The file mended (here: replaced by the user), the next download is archived.
    ASSERT_TRUE(QFile::remove(path));
    writer.restart();
    writer.post([&ran](Archive& archive) {
        archive.addDownload(startAt(1, ""));
        ++ran;
    });
    ASSERT_TRUE(writer.flush(std::chrono::seconds(10)));
    EXPECT_FALSE(writer.takeFailure());
    EXPECT_EQ(ran, 1);
}

// Programs that start on a new archive at the same moment each find it made once, not twice.
TEST(Archive, ManyMakingANewArchiveAtOnceShareIt) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        std::vector<std::string> failures(6);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < failures.size(); ++i)
            threads.emplace_back([&, i] {
                try {
                    Archive archive(path, QStringLiteral("maker-%1").arg(i));
                    archive.begin();
                    archive.addDownload(startAt(static_cast<qint64>(i), ""));
                    archive.commit();
                } catch (const ArchiveError& e) {
                    failures[i] = e.what();
                }
            });
        for (std::thread& t : threads)
            t.join();
        for (const std::string& failure : failures)
            EXPECT_EQ(failure, "");
        EXPECT_EQ(Archive(path, QStringLiteral("check")).list().size(), failures.size());
    }
}

// An archive of the first version (no record of what went to a team archive) is brought up to
// date in place: its downloads stay, and each waits to be sent.
TEST(Archive, AnArchiveOfTheFirstVersionIsUpgradedInPlace) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    qint64 first = 0;
    {
        Archive archive(path, QStringLiteral("test"));
        first = archive.addDownload(startAt(1000, "SN = 1"));
        archive.endDownload(first, DownloadEnding::Complete);
        archive.addDownload(startAt(2000, "SN = 2")); // left interrupted
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("test")));
        ASSERT_TRUE(query.exec(QStringLiteral("DROP TABLE team_sent")));
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version = 1")));
    }
    Archive archive(path, QStringLiteral("test"));
    QSqlQuery query(QSqlDatabase::database(QStringLiteral("test")));
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version")) && query.next());
    EXPECT_EQ(query.value(0).toInt(), ArchiveSchema::kVersion);
    EXPECT_EQ(archive.list().size(), 2u);
    EXPECT_EQ(archive.waitingForTeam().size(), 2u);
    archive.markSentToTeam(first, QStringLiteral("hash"), QStringLiteral("complete"));
    EXPECT_EQ(archive.waitingForTeam(), std::vector<qint64>{first + 1});
    EXPECT_TRUE(archive.waitingForTeam(first + 1).empty()); // the one being written now
    // A deleted download takes its mark with it.
    EXPECT_TRUE(archive.remove(first));
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT count(*) FROM team_sent")) && query.next());
    EXPECT_EQ(query.value(0).toInt(), 0);
}
