#pragma once

#include <functional>

class ReadLogListener;

// Where a command's exchange with the instrument runs. The exchange gets the listener it must
// tell (none when it tells nothing); the runner returns when the exchange has ended and passes
// on what it threw.
class IExchangeRunner {
public:
    using Exchange = std::function<void(ReadLogListener* listener)>;
    virtual ~IExchangeRunner() = default;
    virtual void run(ReadLogListener* listener, const Exchange& exchange) = 0;
};
