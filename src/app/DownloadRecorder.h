#pragma once

#include "archive/ArchivedDownload.h"
#include "link/ReadLogListener.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class App;
class ArchiveWriter;
class MemoTap;
struct ArchiveEntry;

// Hears a "Read log" run as the session does and records the download in the archive from the
// instrument's answer to its wake-up on: the entry, the rows and memo lines as they come, the
// stream's bytes and at last how it ended. Everything goes to the archive's own thread; a
// failure there is told once as a memo line and the download goes on as without an archive.
class DownloadRecorder final : public ListenerRelay {
public:
    // session: the listener that keeps the session and the table (it runs first); memo: the view
    // it reports to, which keeps the memo lines.
    DownloadRecorder(App& app, ArchiveWriter& writer, ReadLogListener& session, MemoTap& memo);

    void streamOpened() override;
    void streamBytes(const std::string& bytes) override;
    void serialLine(const std::string& line) override;
    void record(int row, const LogRecord& record) override;
    void streamEnded(int records) override;

    // The run is over: how the download ended goes into the archive, which is given a while to
    // write it all, and a failure is told.
    void finish(DownloadEnding ending);

private:
    // The other events: the session hears them, then what they left in the memo is recorded.
    void relay(Event event, bool waits) override;
    void afterCall();
    void passRow(int row);
    void passCounts();
    void passStream();
    void tellFailure();

    App& m_app;
    ArchiveWriter& m_writer;
    ReadLogListener& m_session;
    MemoTap& m_memo;
    std::shared_ptr<ArchiveEntry> m_entry; // from the wake-up's answer on
    size_t m_memoPassed = 0;
    int m_records = 0;
    std::string m_stream; // not yet passed on
    int m_streamChunks = 0;
    std::chrono::steady_clock::time_point m_streamPassedAt;
};
