#pragma once

#include "link/ExchangeRunner.h"

#include <functional>

class ISerialLine;

// Runs each exchange on a worker thread that owns the port meanwhile, while the calling thread
// (the window's) goes on handling its events. What the listener hears reaches the calling thread
// in order; a box or the cursor it is told of is shown there while the exchange waits for it.
class WorkerThreadRunner final : public IExchangeRunner {
public:
    explicit WorkerThreadRunner(ISerialLine& port) : m_port(port) {}
    void run(ReadLogListener* listener, const Exchange& exchange) override;

    // Told true when an exchange starts and false when it has ended, on the calling thread.
    std::function<void(bool running)> onRunning;
    bool running() const { return m_running; }

private:
    ISerialLine& m_port;
    bool m_running = false;
};
