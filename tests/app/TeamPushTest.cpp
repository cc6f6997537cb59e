// When and how the window sends its downloads to the team archive: the pauses after failures on
// a virtual clock, the lines the message list is told, and the pusher's thread against a fake
// team archive.
#include "VirtualClock.h"
#include "app/TeamPushSchedule.h"
#include "app/TeamPusher.h"
#include "archive/ArchiveError.h"
#include "archive/ArchiveWriter.h"
#include "archive/TeamArchive.h"

#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

TEST(TeamPushSchedule, PausesDoubleFromHalfAMinuteUpToTenMinutes) {
    const struct {
        int failures;
        std::chrono::seconds pause;
    } cases[] = {{1, 30s},  {2, 60s},  {3, 120s},    {4, 240s},         {5, 480s},
                 {6, 600s}, {7, 600s}, {1000, 600s}, {2147483647, 600s}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failures);
        EXPECT_EQ(TeamPushSchedule::pauseAfter(c.failures), c.pause);
    }
}

TEST(TeamPushSchedule, AnOutageOnTheVirtualClock) {
    VirtualClock clock;
    TeamPushSchedule schedule;
    EXPECT_FALSE(schedule.due()); // nothing asked for yet
    schedule.request(clock.now());
    EXPECT_TRUE(schedule.isDue(clock.now()));

    // Failures at each due time: each pause longer than the one before, never over 10 min.
    const std::chrono::seconds expected[] = {30s, 60s, 120s, 240s, 480s, 600s, 600s};
    for (const auto pause : expected) {
        SCOPED_TRACE(pause.count());
        schedule.failed(clock.now());
        clock.advance(pause - 1s);
        EXPECT_FALSE(schedule.isDue(clock.now()));
        clock.advance(1s);
        EXPECT_TRUE(schedule.isDue(clock.now()));
    }
    EXPECT_EQ(schedule.failures(), 7);

    // A download that ends during a pause is tried at once, and a failure then pauses longer.
    schedule.failed(clock.now());
    clock.advance(5s);
    schedule.request(clock.now());
    EXPECT_TRUE(schedule.isDue(clock.now()));
    schedule.failed(clock.now());
    EXPECT_EQ(*schedule.due(), clock.now() + std::chrono::nanoseconds(600s));

    // Through at last: nothing is due, and the next outage starts with the short pause again.
    schedule.succeeded();
    EXPECT_FALSE(schedule.due());
    EXPECT_EQ(schedule.failures(), 0);
    schedule.request(clock.now());
    schedule.failed(clock.now());
    EXPECT_EQ(*schedule.due(), clock.now() + std::chrono::nanoseconds(30s));
}

TEST(TeamPushNotices, WaitingIsToldOncePerOutageAndSentWhenAnyWent) {
    // An event: a failure with its waiting count, or a success with its sent count.
    struct Event {
        bool failed;
        int count;
        const char* line; // nullptr: nothing told
    };
    const struct {
        const char* name;
        std::vector<Event> events;
    } cases[] = {
        {"an outage and its end",
         {{true, 3, "Team archive: 3 downloads waiting (could not connect to server)"},
          {true, 4, nullptr},
          {true, 4, nullptr},
          {false, 4, "Team archive: 4 downloads sent"}}},
        {"one download",
         {{true, 1, "Team archive: 1 download waiting (could not connect to server)"},
          {false, 1, "Team archive: 1 download sent"}}},
        {"nothing to send is not told", {{false, 0, nullptr}, {false, 0, nullptr}}},
        {"a second outage is told again",
         {{true, 2, "Team archive: 2 downloads waiting (could not connect to server)"},
          {false, 0, nullptr},
          {true, 5, "Team archive: 5 downloads waiting (could not connect to server)"}}},
        {"a local archive that cannot count",
         {{true, -1, "Team archive: downloads waiting (could not connect to server)"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TeamPushNotices notices;
        for (const Event& e : c.events) {
            const std::optional<std::string> line =
                e.failed ? notices.failed(e.count, "could not connect to server")
                         : notices.succeeded(e.count);
            EXPECT_EQ(line.value_or("(none)"), e.line ? e.line : "(none)");
        }
    }
}

TEST(TeamPushNotices, TheReasonLosesOnlyTheLeadingPrefix) {
    EXPECT_EQ(teamFailureReason("Team archive: server closed the connection"),
              "server closed the connection");
    EXPECT_EQ(teamFailureReason("Archive: the file is damaged"), "Archive: the file is damaged");
    EXPECT_EQ(teamFailureReason("role \"Team archive: x\""), "role \"Team archive: x\"");
}

namespace {

// The archives as a test wants them: downloads waiting, and a server that is up or down.
struct FakeTeam {
    std::mutex mutex;
    int waiting = 0;
    bool reachable = true;
    std::vector<qint64> inProgressSeen;
    std::vector<std::string> told;
    std::atomic<int> pushes{0};

    std::vector<std::string> lines() {
        const std::lock_guard<std::mutex> lock(mutex);
        return told;
    }
    void set(int waitingNow, bool reachableNow) {
        const std::lock_guard<std::mutex> lock(mutex);
        waiting = waitingNow;
        reachable = reachableNow;
    }
};

class FakeTarget final : public ITeamPushTarget {
public:
    explicit FakeTarget(FakeTeam& team) : m_team(team) {}
    int waiting(qint64) override {
        const std::lock_guard<std::mutex> lock(m_team.mutex);
        return m_team.waiting;
    }
    PushOutcome push(qint64 inProgress) override {
        const std::lock_guard<std::mutex> lock(m_team.mutex);
        ++m_team.pushes;
        m_team.inProgressSeen.push_back(inProgress);
        if (!m_team.reachable)
            throw ArchiveError("Team archive: could not connect to server: Connection refused");
        PushOutcome outcome;
        outcome.sent = m_team.waiting;
        m_team.waiting = 0;
        return outcome;
    }

private:
    FakeTeam& m_team;
};

struct PusherRig {
    FakeTeam team;
    std::atomic<bool> writerIdle{true};
    TeamPusher pusher{[this](const QString& uri) -> std::unique_ptr<ITeamPushTarget> {
                          EXPECT_EQ(uri, QStringLiteral("postgresql://tech@office/survey"));
                          return std::make_unique<FakeTarget>(team);
                      },
                      [this](const std::string& line) {
                          const std::lock_guard<std::mutex> lock(team.mutex);
                          team.told.push_back(line);
                      },
                      [this] { return writerIdle.load(); }};

    // Waits (a few seconds at most) until the pusher has made this many attempts.
    bool attempted(int attempts) {
        QElapsedTimer timer;
        timer.start();
        while (pusher.attempts() < attempts && timer.elapsed() < 5000)
            std::this_thread::sleep_for(2ms);
        return pusher.attempts() >= attempts;
    }
};

const QString kAddress = QStringLiteral("postgresql://tech@office/survey");

} // namespace

TEST(TeamPusher, SendsAtStartAndAfterEachDownloadNeverDuringOne) {
    PusherRig rig;
    rig.team.set(2, true);
    rig.pusher.setAddress(kAddress);
    ASSERT_TRUE(rig.attempted(1));
    EXPECT_EQ(rig.team.lines(), std::vector<std::string>{"Team archive: 2 downloads sent"});

    // While a download is read nothing is pushed, even when asked for.
    rig.pusher.downloadStarting();
    rig.pusher.pushSoon();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rig.pusher.attempts(), 1);

    // It ended, but its writer has not written all of it yet: it stays out of this push.
    auto entry = std::make_shared<ArchiveEntry>();
    entry->id = 17;
    rig.team.set(1, true);
    rig.writerIdle = false;
    rig.pusher.downloadEnded(entry);
    ASSERT_TRUE(rig.attempted(2));
    rig.team.set(1, true);
    rig.writerIdle = true;
    rig.pusher.pushSoon();
    ASSERT_TRUE(rig.attempted(3));
    {
        const std::lock_guard<std::mutex> lock(rig.team.mutex);
        EXPECT_EQ(rig.team.inProgressSeen, (std::vector<qint64>{0, 17, 0}));
    }
}

TEST(TeamPusher, AnUnreachableServerIsToldOnceAndNothingIsAskedWithoutAnAddress) {
    PusherRig rig;
    rig.team.set(3, false);
    rig.pusher.pushSoon(); // no address yet: nothing happens
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rig.pusher.attempts(), 0);

    rig.pusher.setAddress(kAddress);
    ASSERT_TRUE(rig.attempted(1));
    // A download's end tries again at once; the outage was told already.
    rig.pusher.downloadStarting();
    rig.pusher.downloadEnded(nullptr);
    ASSERT_TRUE(rig.attempted(2));
    EXPECT_EQ(rig.team.lines(),
              std::vector<std::string>{"Team archive: 3 downloads waiting (could not connect to "
                                       "server: Connection refused)"});
    rig.team.set(3, true);
    rig.pusher.pushSoon();
    ASSERT_TRUE(rig.attempted(3));
    EXPECT_EQ(rig.team.lines().back(), "Team archive: 3 downloads sent");

    // Nothing waiting: the server is not asked at all.
    const int pushes = rig.team.pushes.load();
    rig.pusher.pushSoon();
    ASSERT_TRUE(rig.attempted(4));
    EXPECT_EQ(rig.team.pushes.load(), pushes);
    EXPECT_EQ(rig.team.lines().size(), 2u);
}
