#include "app/App.h"

#include "link/InstrumentPort.h"

void App::runExchange(ReadLogListener* listener, const IExchangeRunner::Exchange& exchange) {
    struct ClearStop {
        std::atomic<bool>& stop;
        ~ClearStop() { stop = false; }
    } clearStop{m_stopRequested};
    try {
        if (m_runner)
            m_runner->run(listener, exchange);
        else
            exchange(listener);
    } catch (const PortError&) {
        m_portFailed = true;
        throw;
    }
}
