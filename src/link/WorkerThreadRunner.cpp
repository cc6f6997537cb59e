#include "link/WorkerThreadRunner.h"

#include "link/ReadLogListener.h"
#include "link/SerialLine.h"
#include "link/ThreadHandOff.h"

#include <QEventLoop>
#include <QThread>
#include <memory>
#include <utility>

namespace {

// What a run reports, carried to the window thread as copies, in order; an event the exchange
// waits on is waited for.
class HandedOffListener final : public ListenerRelay {
public:
    HandedOffListener(ReadLogListener& listener, ThreadHandOff& handOff)
        : m_listener(listener), m_handOff(handOff) {}

private:
    void relay(Event event, bool waits) override {
        if (waits)
            m_handOff.call([&] { event(m_listener); });
        else
            m_handOff.post([this, event = std::move(event)] { event(m_listener); });
    }
    ReadLogListener& m_listener;
    ThreadHandOff& m_handOff;
};

} // namespace

void WorkerThreadRunner::run(ReadLogListener* listener, const Exchange& exchange) {
    ThreadHandOff handOff;
    std::unique_ptr<HandedOffListener> workerListener;
    if (listener)
        workerListener = std::make_unique<HandedOffListener>(*listener, handOff);
    QThread* const caller = QThread::currentThread();
    QEventLoop loop;
    std::exception_ptr error;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            m_port.takeOwnership();
            exchange(workerListener.get());
        } catch (...) {
            error = std::current_exception();
        }
        m_port.setOwnerThread(caller);
        // After every call of the exchange, so the loop ends when they all ran.
        handOff.postNow([&loop] { loop.quit(); });
    }));
    m_running = true;
    if (onRunning)
        onRunning(true);
    m_port.setOwnerThread(worker.get());
    worker->start();
    loop.exec();
    // A quitting application ends the loop early: the worker's calls still get their answers.
    while (!worker->wait(10))
        handOff.runPosted();
    m_running = false;
    if (onRunning)
        onRunning(false);
    try {
        m_port.takeOwnership();
    } catch (...) {
        if (!error)
            error = std::current_exception();
    }
    if (!error)
        error = handOff.takeFailure();
    if (error)
        std::rethrow_exception(error);
}
