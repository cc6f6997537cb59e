#pragma once

#include <csignal>

// Held while the command line saves: SIGINT and SIGTERM are held back until the save has
// finished or been cut back (they take effect when this goes), and a file-size limit makes the
// write fail instead of killing the process (SIGXFSZ ignored), so the save can cut back.
class SaveSignalGuard {
public:
    SaveSignalGuard();
    ~SaveSignalGuard();
    SaveSignalGuard(const SaveSignalGuard&) = delete;
    SaveSignalGuard& operator=(const SaveSignalGuard&) = delete;

private:
#ifndef _WIN32
    struct sigaction m_oldInterrupt {};
    struct sigaction m_oldTerminate {};
    struct sigaction m_oldFileSize {};
#endif
};
