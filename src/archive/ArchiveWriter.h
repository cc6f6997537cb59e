#pragma once

#include "platform/Platform.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class Archive;

// The archive's id of a download, known on the writer's thread once the download is entered;
// 0 until then, and for good when entering it failed. The team archive's pusher reads it from its
// own thread, to leave the download being written alone.
struct ArchiveEntry {
    std::atomic<qint64> id{0};
};

// Writes into the archive on a thread of its own, so the thread that reads the port and the
// window never wait for the disk. Calls run in the order posted, in one transaction per batch;
// a batch is committed at most kGather after its first call. The first failure is kept to be
// told once, and the calls after it are dropped until the next download starts afresh.
class ArchiveWriter {
public:
    using Job = std::function<void(Archive&)>;
    static constexpr std::chrono::milliseconds kGather{250};

    explicit ArchiveWriter(QString path);
    // Runs what was posted, then ends the thread.
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    const QString& path() const { return m_path; }

    void post(Job job);
    // A new download: a writer that failed opens the archive again for it.
    void restart();
    // Waits until everything posted so far has run (or was dropped), at most timeout; false when
    // the time ran out.
    bool flush(std::chrono::milliseconds timeout);
    // The failure not yet told ("Archive: ..."), once.
    std::optional<std::string> takeFailure();

private:
    struct Item {
        Job job; // none: restart
    };
    void run();
    void process(std::deque<Item>& batch);
    void failed(const std::string& message);

    const QString m_path;
    const QString m_connection;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Item> m_queue;
    unsigned long long m_posted = 0;
    unsigned long long m_ran = 0;
    int m_flushing = 0;
    bool m_stop = false;
    std::optional<std::string> m_failure;
    const platform::FileSizeLimitGuard m_fileSizeLimit;
    // The writer's thread only.
    std::unique_ptr<Archive> m_archive;
    bool m_broken = false;
    std::thread m_thread; // last: starts when everything above is there
};
