#include "archive/ArchiveWriter.h"

#include "archive/Archive.h"

#include <exception>

ArchiveWriter::ArchiveWriter(QString path)
    : m_path(std::move(path)),
      m_connection(
          QStringLiteral("logdump-archive-writer-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)),
      m_thread([this] { run(); }) {}

ArchiveWriter::~ArchiveWriter() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ArchiveWriter::post(Job job) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back({std::move(job)});
        ++m_posted;
    }
    m_wake.notify_all();
}

void ArchiveWriter::restart() {
    post(Job());
}

bool ArchiveWriter::flush(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const unsigned long long target = m_posted;
    ++m_flushing;
    m_wake.notify_all();
    const bool done = m_done.wait_for(lock, timeout, [&] { return m_ran >= target; });
    --m_flushing;
    return done;
}

std::optional<std::string> ArchiveWriter::takeFailure() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::optional<std::string> failure;
    failure.swap(m_failure);
    return failure;
}

void ArchiveWriter::failed(const std::string& message) {
    m_broken = true;
    m_archive.reset(); // opened afresh after a restart
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_failure)
        m_failure = message;
}

void ArchiveWriter::run() {
    for (;;) {
        std::deque<Item> batch;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
            if (m_queue.empty()) {
                lock.unlock();
                m_archive.reset(); // its connection belongs to this thread
                return;            // stopped with nothing left
            }
            // The calls of a short while go into one transaction: a commit per record would
            // cost a disk flush each.
            if (!m_stop && !m_flushing)
                m_wake.wait_for(lock, kGather, [&] { return m_stop || m_flushing > 0; });
            batch.swap(m_queue);
        }
        const size_t count = batch.size();
        process(batch);
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_ran += count;
        }
        m_done.notify_all();
    }
}

void ArchiveWriter::process(std::deque<Item>& batch) {
    bool open = false; // a transaction
    const auto attempt = [&](const std::function<void()>& step) {
        try {
            step();
        } catch (const std::exception& e) {
            if (m_archive)
                m_archive->rollback();
            open = false;
            const std::string message = e.what();
            failed(message.rfind("Archive: ", 0) == 0 ? message : "Archive: " + message);
        }
    };
    for (Item& item : batch) {
        if (!item.job) {
            if (open)
                attempt([&] { m_archive->commit(); });
            open = false;
            m_broken = false;
            continue;
        }
        if (m_broken)
            continue; // the download whose archiving failed goes on without it
        attempt([&] {
            if (!m_archive)
                m_archive = std::make_unique<Archive>(m_path, m_connection);
            if (!open) {
                m_archive->begin();
                open = true;
            }
            item.job(*m_archive);
        });
    }
    if (open)
        attempt([&] { m_archive->commit(); });
}
