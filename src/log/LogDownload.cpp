#include "log/LogDownload.h"

#include "app/App.h"
#include "link/InstrumentLink.h"
#include "log/LogLayout.h"
#include "log/LogRecord.h"
#include "text/TextFieldHelpers.h"

#include <algorithm>

namespace {

constexpr int kIdlePolls = 100;       // empty polls in a row that end the stream
constexpr int kIdlePollMs = 5;        // ms
constexpr int kStreamStartMs = 1000;  // ms the instrument gets to start its log after "LE"
constexpr uint8_t kReplySilence = 10; // polls of 50 ms

size_t findNoCase(const std::string& text, const std::string& upperNeedle) {
    for (size_t i = 0; i + upperNeedle.size() <= text.size(); ++i) {
        bool match = true;
        for (size_t k = 0; k < upperNeedle.size() && match; ++k) {
            char c = text[i + k];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            match = c == upperNeedle[k];
        }
        if (match)
            return i;
    }
    return std::string::npos;
}

// Reads the stream after "LE" into the table; the result says whether a bound stopped it.
class StreamReader {
public:
    StreamReader(App& app, const DownloadLimits& limits) : m_app(app), m_limits(limits) {}

    // Reads until the end byte, silence or a bound.
    DownloadEnd run() {
        ISerialLine& port = m_app.port;
        int idle = kIdlePolls;
        m_lastRecordAt = m_app.clock.now();
        while (!m_stop) {
            if (port.bytesWaiting() <= 0) {
                Delay(m_app.clock, kIdlePollMs);
                if (--idle == 0)
                    break;
                continue;
            }
            if (m_streamBytes >= m_limits.maxStreamBytes) {
                stop("Log reading stopped: more than " + std::to_string(m_limits.maxStreamBytes) +
                     " bytes of log");
                break;
            }
            char byte = 0;
            port.readBytes(&byte, 1);
            ++m_streamBytes;
            idle = kIdlePolls;
            handleByte(static_cast<unsigned char>(byte));
            if (!m_stop && m_app.clock.now() - m_lastRecordAt > m_limits.maxTimeWithoutRecord)
                stop("Log reading stopped: no record for " +
                     std::to_string(m_limits.maxTimeWithoutRecord.count()) + " s");
        }
        return m_stopReason.empty() ? DownloadEnd::Complete : DownloadEnd::Stopped;
    }

    const std::string& stopReason() const { return m_stopReason; }

private:
    void stop(std::string reason) {
        m_stop = true;
        m_stopReason = std::move(reason);
    }

    void handleByte(unsigned char byte) {
        if (byte == 0 || byte == '*') {
            m_stop = true; // the end of the log; an unfinished line is lost
            return;
        }
        if (byte == '\r') {
            handleLine();
            return;
        }
        // TAB is a field separator like the comma; the grave accent and control bytes are noise.
        if (byte != '\t' && (byte < 32 || byte == '`'))
            return;
        if (m_line.size() >= m_limits.maxLineBytes) {
            // A line without end is dropped, as an unfinished line at silence is.
            stop("Log reading stopped: a line longer than " +
                 std::to_string(m_limits.maxLineBytes) + " bytes");
            return;
        }
        m_line.push_back(byte == '\t' ? ',' : static_cast<char>(byte));
    }

    void handleLine() {
        Session& s = m_app.session;
        LogTable& t = m_app.table;
        if (s.rowNo + 1 > 1 && t.rows() >= m_limits.maxTableRows) {
            stop("Log reading stopped: the table is full at " +
                 std::to_string(m_limits.maxTableRows) + " rows");
            return;
        }
        ++s.rowNo;
        if (s.rowNo > 1) {
            // The rows from RowNo on are all empty (records fill 1..RowNo-1), so adding the row at
            // the end gives the same table without moving the empty rows a noisy stream leaves.
            t.insertEmptyRows(t.rows(), 1);
        }
        m_app.controls.setDataReadCaption(std::to_string(s.rowNo) + " of " +
                                          std::to_string(s.logCount));
        const LogLine parsed = parseLogLine(m_line);
        const bool record = parsed.kind == LogLine::Record;
        if (record) {
            writeRecord(parsed.record);
        } else {
            if (parsed.kind == LogLine::Other) {
                const size_t at = findNoCase(m_line, "S/N");
                if (at != std::string::npos) {
                    s.serialLine = m_line.substr(at);
                    s.serialNo = s.serialLine.size() > 5 ? s.serialLine.substr(5) : std::string();
                }
            }
            --s.rowNo;
        }
        m_line.clear();
        if (record) {
            m_linesWithoutRecord = 0;
            m_lastRecordAt = m_app.clock.now();
        } else if (++m_linesWithoutRecord >= m_limits.maxLinesWithoutRecord) {
            stop("Log reading stopped: " + std::to_string(m_limits.maxLinesWithoutRecord) +
                 " lines in a row held no record");
        }
    }

    void writeRecord(const LogRecord& record) {
        const Session& s = m_app.session;
        if (s.rowNo == 1) {
            m_app.controls.memErrAddLine(s.identLine);
            m_app.controls.memErrAddLine(s.serialLine);
        }
        m_app.controls.setGaugePosition(s.rowNo);
        if (s.rowNo % 10 == 0)
            m_app.controls.repaintDataRead();
        WriteRecordRow(m_app, s.rowNo, record);
    }

    App& m_app;
    const DownloadLimits& m_limits;
    bool m_stop = false;
    std::string m_stopReason;
    int m_linesWithoutRecord = 0;
    IClock::Duration m_lastRecordAt{0}; // or the start of the stream
    size_t m_streamBytes = 0;
    std::string m_line; // the line being assembled; an unfinished one is lost at the end
};

} // namespace

DownloadEnd DownloadLog(App& app, const DownloadLimits& limits) {
    Session& s = app.session;
    s.rowNo = 0;

    app.port.discardBuffers(true, true);
    SendLine(app.port, "");
    ReadLine(app, kReplySilence, s.lastReply);
    if (s.lastReply == kTimeoutMark) {
        app.dialogs.message("No connection with RVM600");
        return DownloadEnd::NoConnection;
    }
    app.controls.setSaveAsEnabled(true);

    DownloadEnd end = DownloadEnd::Complete;
    {
        app.port.discardBuffers(true, true);
        SendLine(app.port, "LE");
        BusyCursor hourglass(app.dialogs);
        Delay(app.clock, kStreamStartMs);
        StreamReader reader(app, limits);
        try {
            end = reader.run();
        } catch (...) {
            // Records on screen must not be dropped without a question, even after an error.
            if (s.rowNo >= 1)
                s.dataSaved = false;
            throw;
        }
        if (end == DownloadEnd::Stopped)
            app.controls.memErrAddLine(reader.stopReason());
        app.controls.setTableClientWidth(app.table.widthSum());
        app.table.setEnabled(true);
        app.controls.repaintNow();
        s.dataSaved = false;
    }
    // A cut-short log must not pass for the whole log: the user may clear the instrument next.
    // A bound that stopped the reading has said so already.
    if (end == DownloadEnd::Complete && s.logCount > s.rowNo) {
        const std::string incomplete = "Log incomplete: " + std::to_string(s.rowNo) + " of " +
                                       std::to_string(s.logCount) + " records read";
        app.controls.memErrAddLine(incomplete);
        app.dialogs.message(incomplete);
        end = DownloadEnd::Incomplete;
    }
    app.controls.setReadLogEnabled(true);
    return end;
}
