#pragma once

#include <chrono>

// Monotonic time source; tests hand in a virtual clock so waits cost nothing.
class IClock {
public:
    using Duration = std::chrono::nanoseconds;
    virtual ~IClock() = default;
    virtual Duration now() const = 0;
    // Returns at the deadline at the earliest; never spins.
    virtual void sleepUntil(Duration deadline) = 0;
};

// The real monotonic clock.
class SystemClock final : public IClock {
public:
    Duration now() const final;
    void sleepUntil(Duration deadline) final;
};
