#pragma once

#include <functional>

class IDialogs;
class ReadLogListener;

// Where a command's exchange with the instrument runs. The exchange gets the boxes and the
// listener it must use (the listener may be none); the runner returns when the exchange has
// ended and passes on what it threw.
class IExchangeRunner {
public:
    using Exchange = std::function<void(IDialogs& dialogs, ReadLogListener* listener)>;
    virtual ~IExchangeRunner() = default;
    virtual void run(IDialogs& dialogs, ReadLogListener* listener, const Exchange& exchange) = 0;
};
