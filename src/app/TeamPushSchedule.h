#pragma once

#include "text/Clock.h"

#include <chrono>
#include <optional>
#include <string>

// When the window sends its downloads to the team archive next: at once when asked (the window
// started, a download ended), and after a failure again with a pause that doubles from 30 s up
// to 10 min, so a laptop offline for days neither floods the network nor waits for ever.
class TeamPushSchedule {
public:
    using Duration = IClock::Duration;
    static constexpr std::chrono::seconds kFirstPause{30};
    static constexpr std::chrono::minutes kLongestPause{10};

    // The pause after this many failures in a row (at least one).
    static Duration pauseAfter(int failures);

    // A push is wanted now.
    void request(Duration now);
    // The push went through: nothing is due until the next request.
    void succeeded();
    // The push failed: the next one is due after the pause for the failures so far.
    void failed(Duration now);

    // When the next push is due; none when nothing is wanted.
    std::optional<Duration> due() const { return m_due; }
    bool isDue(Duration now) const { return m_due && *m_due <= now; }
    int failures() const { return m_failures; }

private:
    std::optional<Duration> m_due;
    int m_failures = 0;
};

// What the message list is told about pushes: the downloads left waiting once per outage, and
// the downloads sent when a push sent any.
class TeamPushNotices {
public:
    // After a failed push; waiting below 0 when the local archive could not count them; reason:
    // why, without the "Team archive: " the line starts with.
    std::optional<std::string> failed(int waiting, const std::string& reason);
    std::optional<std::string> succeeded(int sent);
    // A new address: what was told of the old one no longer holds.
    void reset() { m_waitingTold = false; }

private:
    bool m_waitingTold = false;
};

// The team archive's failure text without the prefix every such text starts with.
std::string teamFailureReason(const std::string& failure);
