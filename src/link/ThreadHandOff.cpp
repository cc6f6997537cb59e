#include "link/ThreadHandOff.h"

#include <QElapsedTimer>
#include <utility>

ThreadHandOff::ThreadHandOff() {
    // A timer, not a queued call: Qt runs queued calls before timers that are due.
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, &ThreadHandOff::runPosted);
}

void ThreadHandOff::post(std::function<void()> call) {
    enqueue(std::move(call), false);
}

void ThreadHandOff::postNow(std::function<void()> call) {
    enqueue(std::move(call), true);
}

void ThreadHandOff::enqueue(std::function<void()> call, bool now) {
    bool notify = false;
    bool arm = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(std::move(call));
        ++m_posted;
        if (now)
            notify = !std::exchange(m_notified, true);
        else if (!m_notified && !m_gathering)
            arm = m_gathering = true;
    }
    if (notify)
        QMetaObject::invokeMethod(this, &ThreadHandOff::runPosted, Qt::QueuedConnection);
    if (arm)
        QMetaObject::invokeMethod(this, &ThreadHandOff::gather, Qt::QueuedConnection);
}

void ThreadHandOff::gather() {
    QTimer::singleShot(kGatherMs, this, &ThreadHandOff::runGathered);
}

void ThreadHandOff::runGathered() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_gathering = false;
    }
    runPosted();
}

void ThreadHandOff::call(const std::function<void()>& call) {
    std::exception_ptr error;
    unsigned long long ticket = 0;
    bool notify = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back([&] {
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        });
        ticket = ++m_posted;
        notify = !std::exchange(m_notified, true);
    }
    if (notify)
        QMetaObject::invokeMethod(this, &ThreadHandOff::runPosted, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ran.wait(lock, [&] { return m_done >= ticket; });
    lock.unlock();
    if (error)
        std::rethrow_exception(error);
}

std::exception_ptr ThreadHandOff::takeFailure() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_failure, nullptr);
}

void ThreadHandOff::runPosted() {
    // The calls in order, for a slice of time; the rest go on from a timer. A queued
    // continuation would come before the window's timers and a burst of records would starve
    // them; a timer lets input, painting and other timers have their turn first. A call that
    // shows a box runs the window's events inside it, but the worker waits for that call's answer,
    // so nothing can overtake it.
    QElapsedTimer slice;
    slice.start();
    do {
        std::function<void()> next;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_calls.empty()) {
                m_notified = false;
                return;
            }
            next = std::move(m_calls.front());
            m_calls.pop_front();
        }
        std::exception_ptr failure;
        try {
            next();
        } catch (...) {
            failure = std::current_exception(); // nothing may cross the event loop
        }
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            ++m_done;
            if (failure && !m_failure)
                m_failure = failure;
        }
        m_ran.notify_all();
    } while (slice.elapsed() < kSliceMs);
    m_nextSlice.start();
}
