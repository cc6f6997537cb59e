#pragma once

#include <QObject>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

// Calls from a worker thread to the thread this object lives on, run there in the order they
// were made. The calls and their answers pass under one mutex, so the hand-off is one a race
// checker can follow.
class ThreadHandOff final : public QObject {
    Q_OBJECT
public:
    ThreadHandOff();
    // Runs the call on this object's thread, in order, within kGather: the calls of that time
    // run together, so the window draws a batch of records at once, not each on its own.
    void post(std::function<void()> call);
    // As post, without the wait.
    void postNow(std::function<void()> call);
    // Runs the call on this object's thread and waits for it to have run.
    void call(const std::function<void()>& call);
    // What a posted call threw, once; the first of them.
    std::exception_ptr takeFailure();
    // Runs the calls waiting, for a slice of time; a timer goes on with the rest.
    void runPosted();

private:
    void gather();
    void runGathered();
    void enqueue(std::function<void()> call, bool now);

    std::mutex m_mutex;
    std::condition_variable m_ran;
    std::deque<std::function<void()>> m_calls;
    unsigned long long m_posted = 0;
    unsigned long long m_done = 0;
    std::exception_ptr m_failure;
    bool m_notified = false;  // a notification is on its way to runPosted
    bool m_gathering = false; // a timer gathers posted calls
    QTimer m_nextSlice;       // goes on with the calls after a slice
    static constexpr qint64 kSliceMs = 15;
    static constexpr int kGatherMs = 100;
};
