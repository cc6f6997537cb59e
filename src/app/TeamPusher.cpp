#include "app/TeamPusher.h"

#include "archive/Archive.h"
#include "archive/ArchiveError.h"
#include "archive/ArchiveWriter.h"
#include "archive/TeamArchive.h"

#include <atomic>

namespace {

// Connections of a name no other target uses: two windows' pushers may run at once.
QString connectionName(const char* what) {
    static std::atomic<int> targets{0};
    return QStringLiteral("logdump-team-push-%1-%2").arg(QLatin1String(what)).arg(++targets);
}

class ArchiveTeamPushTarget final : public ITeamPushTarget {
public:
    ArchiveTeamPushTarget(QString localPath, QString uri)
        : m_localPath(std::move(localPath)), m_uri(std::move(uri)) {}

    int waiting(qint64 inProgress) override { return waitingForTeam(local(), inProgress); }

    PushOutcome push(qint64 inProgress) override {
        TeamArchive team(m_uri, connectionName("team"));
        return team.push(local(), teamComputerName(), teamUserName(), inProgress);
    }

private:
    Archive& local() {
        if (!m_local)
            m_local = std::make_unique<Archive>(m_localPath, connectionName("local"));
        return *m_local;
    }

    const QString m_localPath;
    const QString m_uri;
    std::unique_ptr<Archive> m_local;
};

} // namespace

std::unique_ptr<ITeamPushTarget> makeTeamPushTarget(const QString& localPath, const QString& uri) {
    return std::make_unique<ArchiveTeamPushTarget>(localPath, uri);
}

TeamPusher::TeamPusher(TargetFactory makeTarget, std::function<void(const std::string&)> tell,
                       std::function<bool()> writerIdle)
    : m_makeTarget(std::move(makeTarget)), m_tell(std::move(tell)),
      m_writerIdle(std::move(writerIdle)), m_thread([this] { run(); }) {}

TeamPusher::~TeamPusher() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

TeamPushSchedule::Duration TeamPusher::now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void TeamPusher::setAddress(const QString& uri) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (uri != m_uri) {
            m_uri = uri;
            m_schedule.succeeded(); // the pauses were for the old address
            m_notices.reset();
        }
        ++m_requests;
        m_schedule.request(now());
    }
    m_wake.notify_all();
}

void TeamPusher::pushSoon() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_requests;
        m_schedule.request(now());
    }
    m_wake.notify_all();
}

void TeamPusher::downloadStarting() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_reading = true;
}

void TeamPusher::downloadEnded(std::shared_ptr<const ArchiveEntry> entry) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_reading = false;
        m_lastEntry = std::move(entry);
        ++m_requests;
        m_schedule.request(now());
    }
    m_wake.notify_all();
}

int TeamPusher::attempts() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_attempts;
}

void TeamPusher::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        const bool ready = !m_reading && !m_uri.isEmpty();
        if (ready && m_schedule.isDue(now())) {
            attempt(lock);
            continue;
        }
        if (ready && m_schedule.due())
            m_wake.wait_until(lock,
                              std::chrono::steady_clock::time_point(
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      *m_schedule.due())));
        else
            m_wake.wait(lock);
    }
}

void TeamPusher::attempt(std::unique_lock<std::mutex>& lock) {
    const QString uri = m_uri;
    // The last download while its writer still has some of it to write is in progress for the
    // team archive: sent now it would arrive cut, and never again.
    const std::shared_ptr<const ArchiveEntry> last = m_lastEntry;
    const unsigned long long requests = m_requests;
    lock.unlock();
    const qint64 inProgress = last && m_writerIdle && !m_writerIdle() ? last->id.load() : 0;
    std::optional<std::string> line;
    bool sent = false;
    int waiting = -1;
    PushOutcome outcome;
    std::string failure;
    try {
        const std::unique_ptr<ITeamPushTarget> target = m_makeTarget(uri);
        waiting = target->waiting(inProgress);
        if (waiting > 0)
            outcome = target->push(inProgress);
        sent = true;
    } catch (const ArchiveError& e) {
        failure = e.what();
    } catch (const std::exception& e) {
        failure = std::string("Team archive: ") + e.what();
    }
    lock.lock();
    ++m_attempts;
    if (uri != m_uri)
        return; // the address changed meanwhile: its own attempt is due
    if (sent) {
        m_schedule.succeeded();
        if (m_requests != requests)
            m_schedule.request(now()); // asked for during the attempt: another one
        line = m_notices.succeeded(outcome.sent);
    } else {
        m_schedule.failed(now());
        line = m_notices.failed(waiting, teamFailureReason(failure));
    }
    if (line) {
        lock.unlock();
        m_tell(*line);
        lock.lock();
    }
}
