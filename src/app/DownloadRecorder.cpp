#include "app/DownloadRecorder.h"

#include "app/App.h"
#include "app/MemoTap.h"
#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"
#include "log/InstrumentModel.h"

#include <QDateTime>

namespace {

using namespace std::chrono_literals;

// The stream's bytes are for support: a piece each quarter second is enough.
constexpr auto kStreamPiece = 250ms;
constexpr size_t kStreamPieceBytes = 64 * 1024;
// At the end the archive's thread gets this long to write what is left; a locked archive makes
// it wait its busy time once, then it gives up.
constexpr auto kFinishWait = 10s;

std::vector<std::string> rowCells(const LogTable& table, int row) {
    std::vector<std::string> cells;
    for (int col = 0; col < table.cols(); ++col)
        cells.push_back(table.cell(col, row));
    return cells;
}

} // namespace

DownloadRecorder::DownloadRecorder(App& app, ArchiveWriter& writer, ReadLogListener& session,
                                   MemoTap& memo)
    : m_app(app), m_writer(writer), m_session(session), m_memo(memo) {}

void DownloadRecorder::relay(Event event, bool) {
    event(m_session);
    afterCall();
}

void DownloadRecorder::streamOpened() {
    m_session.streamOpened();
    const Session& session = m_app.session();
    const QDateTime now = QDateTime::currentDateTime();
    DownloadStart start;
    start.started = isoLocalTime(now);
    start.startedMs = now.toMSecsSinceEpoch();
    start.port = m_app.port().port();
    start.model = session.model->name;
    start.identLine = session.identLine;
    start.serialLine = session.serialLine;
    start.announced = session.logCount;
    m_entry = std::make_shared<ArchiveEntry>();
    m_app.setArchived(m_entry);
    m_writer.restart();
    m_writer.post(
        [entry = m_entry, start](Archive& archive) { entry->id = archive.addDownload(start); });
    m_streamPassedAt = std::chrono::steady_clock::now();
    afterCall();
}

void DownloadRecorder::streamBytes(const std::string& bytes) {
    m_session.streamBytes(bytes);
    if (!m_entry)
        return;
    m_stream += bytes;
    if (m_stream.size() >= kStreamPieceBytes ||
        std::chrono::steady_clock::now() - m_streamPassedAt >= kStreamPiece)
        passStream();
}

void DownloadRecorder::serialLine(const std::string& line) {
    m_session.serialLine(line);
    if (m_entry)
        m_writer.post([entry = m_entry, line](Archive& archive) {
            if (entry->id)
                archive.setSerialLine(entry->id, line);
        });
    afterCall();
}

void DownloadRecorder::record(int row, const LogRecord& record) {
    m_session.record(row, record);
    if (m_entry) {
        m_records = row;
        if (row == 1)
            passRow(0); // the column titles of the model identified
        passRow(row);
        passCounts();
    }
    afterCall();
}

void DownloadRecorder::streamEnded(int records) {
    m_session.streamEnded(records);
    if (m_entry) {
        passRow(0);
        passCounts();
    }
    afterCall();
}

void DownloadRecorder::finish(DownloadEnding ending) {
    if (!m_entry)
        return; // the instrument never answered the wake-up: no download to keep
    afterCall();
    passStream();
    passCounts();
    m_writer.post([entry = m_entry, ending](Archive& archive) {
        if (entry->id)
            archive.endDownload(entry->id, ending);
    });
    m_writer.flush(kFinishWait);
    tellFailure();
}

void DownloadRecorder::afterCall() {
    if (m_entry && m_memoPassed < m_memo.lines().size()) {
        const std::vector<std::string> lines(m_memo.lines().begin() +
                                                 static_cast<std::ptrdiff_t>(m_memoPassed),
                                             m_memo.lines().end());
        const int first = static_cast<int>(m_memoPassed);
        m_writer.post([entry = m_entry, first, lines](Archive& archive) {
            if (entry->id)
                archive.addMemoLines(entry->id, first, lines);
        });
        m_memoPassed = m_memo.lines().size();
    }
    tellFailure();
}

void DownloadRecorder::passRow(int row) {
    std::vector<std::vector<std::string>> rows{rowCells(m_app.table(), row)};
    m_writer.post([entry = m_entry, row, rows = std::move(rows)](Archive& archive) {
        if (entry->id)
            archive.putRows(entry->id, row, rows);
    });
}

void DownloadRecorder::passCounts() {
    const int records = m_records;
    const int tableRows = m_app.table().rows();
    m_writer.post([entry = m_entry, records, tableRows](Archive& archive) {
        if (entry->id)
            archive.setCounts(entry->id, records, tableRows);
    });
}

void DownloadRecorder::passStream() {
    m_streamPassedAt = std::chrono::steady_clock::now();
    if (m_stream.empty())
        return;
    const int chunk = m_streamChunks++;
    m_writer.post([entry = m_entry, chunk, bytes = std::move(m_stream)](Archive& archive) {
        if (entry->id)
            archive.addStreamBytes(entry->id, chunk, bytes);
    });
    m_stream.clear();
}

void DownloadRecorder::tellFailure() {
    // Past the memo the archive keeps: the line is about the archive, not the download.
    if (const std::optional<std::string> failure = m_writer.takeFailure())
        m_memo.view().addMessage(*failure);
}
