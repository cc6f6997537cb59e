#pragma once

#include "app/TeamPushSchedule.h"

#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct ArchiveEntry;
struct PushOutcome;

// One attempt's way to the archives, made on the pusher's thread: the local archive on a
// connection of that thread, the team archive on another. Failures throw ArchiveError.
class ITeamPushTarget {
public:
    virtual ~ITeamPushTarget() = default;
    // The local downloads not sent yet, except the one in progress.
    virtual int waiting(qint64 inProgress) = 0;
    virtual PushOutcome push(qint64 inProgress) = 0;
};

// The real archives: the local one at localPath, the team one at the address, with this
// computer's and this user's name.
std::unique_ptr<ITeamPushTarget> makeTeamPushTarget(const QString& localPath, const QString& uri);

// Sends the local archive's downloads to the team archive on a thread of its own, so the window
// never waits for the network: when asked (at start, after a download) and, while the server
// cannot be reached, again on TeamPushSchedule's pauses. The download being read is left alone.
class TeamPusher {
public:
    using TargetFactory = std::function<std::unique_ptr<ITeamPushTarget>(const QString& uri)>;
    // tell: a line for the message list, called on the pusher's thread. writerIdle: true when
    // the local archive's writer has written everything posted to it.
    TeamPusher(TargetFactory makeTarget, std::function<void(const std::string&)> tell,
               std::function<bool()> writerIdle);
    // Waits for an attempt that runs to end.
    ~TeamPusher();
    TeamPusher(const TeamPusher&) = delete;
    TeamPusher& operator=(const TeamPusher&) = delete;

    // The team archive's address, empty for none; a push is asked for at once.
    void setAddress(const QString& uri);
    // A push is wanted now (the window started, a download ended).
    void pushSoon();
    // A download begins: no push starts until it has ended.
    void downloadStarting();
    // The download has ended; entry: its local entry, left alone until its writer is idle.
    void downloadEnded(std::shared_ptr<const ArchiveEntry> entry);

    // The attempts made so far (tests wait on it).
    int attempts() const;

private:
    void run();
    void attempt(std::unique_lock<std::mutex>& lock);
    static TeamPushSchedule::Duration now();

    const TargetFactory m_makeTarget;
    const std::function<void(const std::string&)> m_tell;
    const std::function<bool()> m_writerIdle;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QString m_uri;
    TeamPushSchedule m_schedule;
    TeamPushNotices m_notices;
    std::shared_ptr<const ArchiveEntry> m_lastEntry;
    bool m_reading = false;
    bool m_stop = false;
    int m_attempts = 0;
    unsigned long long m_requests = 0; // pushes asked for so far
    std::thread m_thread;              // last: starts when everything above is there
};
