#pragma once

#include "text/Clock.h"

// A clock that moves only when someone sleeps on it.
class VirtualClock final : public IClock {
public:
    Duration now() const final { return m_now; }
    void sleepUntil(Duration deadline) final {
        if (deadline > m_now)
            m_now = deadline;
    }
    void advance(Duration by) { m_now += by; }

private:
    Duration m_now{0};
};
