// The hand-off from the worker to the window thread under a burst of calls, and what an
// exchange on the worker tells its listener.
#include "link/WorkerThreadRunner.h"

#include "FakePorts.h"
#include "link/ReadLogListener.h"
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

namespace {
// Hears events on the thread they reach, in order.
struct HeardEvents final : ReadLogListener {
    void tell(const std::string& message) override { hear("tell " + message); }
    void busy(bool on) override { hear(on ? "busy on" : "busy off"); }
    void note(const std::string& line) override { hear("note " + line); }
    void portTried(int index, int count, const QString& port) override {
        hear("port " + std::to_string(index) + "/" + std::to_string(count) + " " +
             port.toStdString());
    }
    void hear(const std::string& event) {
        events.push_back(event);
        threads.push_back(QThread::currentThread());
    }
    std::vector<std::string> events;
    std::vector<QThread*> threads;
};
} // namespace

TEST(WorkerThreadRunner, EventsReachTheCallingThreadInOrderAndABoxIsWaitedFor) {
    FakePortLine port;
    WorkerThreadRunner runner(port);
    HeardEvents heard;
    std::vector<size_t> heardWhenBack; // events heard when each waited event returned
    QThread* exchangeThread = nullptr;
    runner.run(&heard, [&](ReadLogListener* listener) {
        exchangeThread = QThread::currentThread();
        listener->note("a");
        listener->tell("box");
        heardWhenBack.push_back(heard.events.size());
        listener->busy(true);
        heardWhenBack.push_back(heard.events.size());
        listener->portTried(0, 2, QStringLiteral("COM3"));
        listener->busy(false);
        heardWhenBack.push_back(heard.events.size());
    });
    EXPECT_NE(exchangeThread, QThread::currentThread());
    EXPECT_EQ(heard.events, (std::vector<std::string>{"note a", "tell box", "busy on",
                                                      "port 0/2 COM3", "busy off"}));
    // The events posted before a box or the cursor are heard before it, and the exchange goes on
    // only once it was heard.
    EXPECT_EQ(heardWhenBack, (std::vector<size_t>{2, 3, 5}));
    for (QThread* thread : heard.threads)
        EXPECT_EQ(thread, QThread::currentThread());
    EXPECT_FALSE(runner.running());
}

TEST(WorkerThreadRunner, AnExchangeWithoutListenerGetsNoneAndItsErrorPassesOn) {
    FakePortLine port;
    WorkerThreadRunner runner(port);
    bool none = false;
    EXPECT_THROW(runner.run(nullptr,
                            [&](ReadLogListener* listener) {
                                none = listener == nullptr;
                                throw PortError(PortOperation::Read, EIO);
                            }),
                 PortError);
    EXPECT_TRUE(none);
}
