#include "app/SaveSignals.h"

#ifndef _WIN32
#include <signal.h>

namespace {

// The stop signal that came during the save, 0 for none.
volatile sig_atomic_t g_heldSignal = 0;

extern "C" void holdSignal(int signalNumber) {
    g_heldSignal = signalNumber;
}

// A handler rather than a blocked mask: a signal sent to the process would otherwise go to any
// other thread that does not block it.
void setHandler(int signalNumber, void (*handler)(int), struct sigaction* old) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, old);
}

} // namespace

SaveSignalGuard::SaveSignalGuard() {
    g_heldSignal = 0;
    setHandler(SIGINT, holdSignal, &m_oldInterrupt);
    setHandler(SIGTERM, holdSignal, &m_oldTerminate);
    setHandler(SIGXFSZ, SIG_IGN, &m_oldFileSize);
}

SaveSignalGuard::~SaveSignalGuard() {
    sigaction(SIGXFSZ, &m_oldFileSize, nullptr);
    sigaction(SIGTERM, &m_oldTerminate, nullptr);
    sigaction(SIGINT, &m_oldInterrupt, nullptr);
    // What the signal would have done during the save, it does now.
    if (const int held = g_heldSignal) {
        g_heldSignal = 0;
        raise(held);
    }
}
#else
// The Windows console stops a program through its own handler, not by these signals.
SaveSignalGuard::SaveSignalGuard() = default;
SaveSignalGuard::~SaveSignalGuard() = default;
#endif
