#include "app/TeamPushSchedule.h"

#include <algorithm>

namespace {

constexpr const char* kTeamPrefix = "Team archive: ";

std::string downloads(int count) {
    return std::to_string(count) + (count == 1 ? " download" : " downloads");
}

} // namespace

TeamPushSchedule::Duration TeamPushSchedule::pauseAfter(int failures) {
    Duration pause = kFirstPause;
    // Doubling stops at the longest pause, long before the count could overflow anything.
    for (int i = 1; i < failures && pause < kLongestPause; ++i)
        pause *= 2;
    return std::min<Duration>(pause, kLongestPause);
}

void TeamPushSchedule::request(Duration now) {
    m_due = now;
}

void TeamPushSchedule::succeeded() {
    m_failures = 0;
    m_due.reset();
}

void TeamPushSchedule::failed(Duration now) {
    ++m_failures;
    m_due = now + pauseAfter(m_failures);
}

std::optional<std::string> TeamPushNotices::failed(int waiting, const std::string& reason) {
    if (m_waitingTold)
        return std::nullopt;
    m_waitingTold = true;
    // Below 0: the local archive could not tell how many.
    return kTeamPrefix + (waiting >= 0 ? downloads(waiting) : std::string("downloads")) +
           " waiting (" + reason + ")";
}

std::optional<std::string> TeamPushNotices::succeeded(int sent) {
    m_waitingTold = false;
    if (sent <= 0)
        return std::nullopt;
    return kTeamPrefix + downloads(sent) + " sent";
}

std::string teamFailureReason(const std::string& failure) {
    const std::string prefix = kTeamPrefix;
    return failure.compare(0, prefix.size(), prefix) == 0 ? failure.substr(prefix.size()) : failure;
}
