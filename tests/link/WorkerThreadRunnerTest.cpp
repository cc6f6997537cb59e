// The hand-off from the worker to the window thread under a burst of calls.
#include "link/ThreadHandOff.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

TEST(ThreadHandOff, ABurstOfSlowCallsLeavesTheWindowTimersTheirTurn) {
    // A hundred calls of 5 ms each, as records drawn on a loaded machine arrive after the
    // instrument's start pause: the window's timers must run between them, a few calls apart,
    // not once the whole burst has been drawn.
    constexpr int kCalls = 100;
    ThreadHandOff handOff;
    int ticks = 0;
    std::vector<int> ticksAtCall;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(1);
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        for (int i = 0; i < kCalls; ++i)
            handOff.post([&] {
                ticksAtCall.push_back(ticks);
                QThread::msleep(5);
            });
        handOff.postNow([&] { loop.quit(); });
    }));
    worker->start();
    loop.exec();
    worker->wait();

    ASSERT_EQ(ticksAtCall.size(), static_cast<size_t>(kCalls));
    int longestRun = 0;
    for (size_t i = 0, start = 0; i < ticksAtCall.size(); ++i) {
        if (ticksAtCall[i] != ticksAtCall[start])
            start = i;
        longestRun = std::max(longestRun, static_cast<int>(i - start + 1));
    }
    EXPECT_LE(longestRun, 20) << "calls in a row without a timer between them";
}
