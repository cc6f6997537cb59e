#include "link/LogDownload.h"

#include "link/InstrumentPort.h"
#include "link/ReadLogListener.h"
#include "log/LogRecord.h"
#include "text/TextFieldHelpers.h"

namespace {

using namespace std::chrono_literals;

constexpr InstrumentLine::Duration kStreamPoll = 5ms;
constexpr int kStreamIdlePolls = 100; // empty polls in a row that end the stream
constexpr InstrumentLine::Duration kStreamStart = 1000ms; // for the instrument to start its log

// Reads the stream after "LE", line by line; the result says whether a bound stopped it.
class StreamReader {
public:
    StreamReader(InstrumentLine& line, ReadLogListener& listener, const DownloadContext& context,
                 const DownloadLimits& limits)
        : m_line(line), m_listener(listener), m_context(context), m_limits(limits),
          m_tableRows(context.tableRows) {}

    // Reads until the end byte, silence, a bound or a stop request.
    ReadLogEnd run() {
        IClock& clock = m_line.clock();
        m_lastRecordAt = clock.now();
        const auto full = [&] {
            if (m_streamBytes < m_limits.maxStreamBytes)
                return false;
            stop("Log reading stopped: more than " + std::to_string(m_limits.maxStreamBytes) +
                 " bytes of log");
            return true;
        };
        const auto onByte = [&](char byte) {
            ++m_streamBytes;
            m_raw.push_back(byte);
            handleByte(static_cast<unsigned char>(byte));
            if (!m_stop && clock.now() - m_lastRecordAt > m_limits.maxTimeWithoutRecord)
                stop("Log reading stopped: no record for " +
                     std::to_string(m_limits.maxTimeWithoutRecord.count()) + " s");
            return !m_stop;
        };
        if (m_line.poll(kStreamPoll, kStreamIdlePolls, full, onByte) ==
            InstrumentLine::PollEnd::Stopped)
            stop("Log reading stopped by the user");
        passRawBytes();
        return m_stopReason.empty() ? ReadLogEnd::Complete : ReadLogEnd::Stopped;
    }

    const std::string& stopReason() const { return m_stopReason; }
    int records() const { return m_records; }

    // The bytes read since the last call go to the listener.
    void passRawBytes() {
        if (m_raw.empty())
            return;
        m_listener.streamBytes(m_raw);
        m_raw.clear();
    }

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
        if (m_text.size() >= m_limits.maxLineBytes) {
            // A line without end is dropped, as an unfinished line at silence is.
            stop("Log reading stopped: a line longer than " +
                 std::to_string(m_limits.maxLineBytes) + " bytes");
            return;
        }
        m_text.push_back(byte == '\t' ? ',' : static_cast<char>(byte));
    }

    void handleLine() {
        passRawBytes();
        const int row = m_records + 1;
        if (row > 1 && m_tableRows >= m_limits.maxTableRows) {
            stop("Log reading stopped: the table is full at " +
                 std::to_string(m_limits.maxTableRows) + " rows");
            return;
        }
        // The rows after the records stay empty, so a line without a record leaves one behind.
        if (row > 1)
            ++m_tableRows;
        m_listener.lineEnded(row);
        const LogLine parsed = parseLogLine(m_text);
        const bool record = parsed.kind == LogLine::Record;
        if (record) {
            m_records = row;
            if (row == 1) {
                m_listener.note(m_context.identLine);
                m_listener.note(m_serialLine);
            }
            m_listener.record(row, parsed.record);
        } else if (parsed.kind == LogLine::Other) {
            const size_t at = upper(m_text).find("S/N");
            if (at != std::string::npos) {
                m_serialLine = m_text.substr(at);
                m_listener.serialLine(m_serialLine);
            }
        }
        m_text.clear();
        if (record) {
            m_linesWithoutRecord = 0;
            m_lastRecordAt = m_line.clock().now();
        } else if (++m_linesWithoutRecord >= m_limits.maxLinesWithoutRecord) {
            stop("Log reading stopped: " + std::to_string(m_limits.maxLinesWithoutRecord) +
                 " lines in a row held no record");
        }
    }

    InstrumentLine& m_line;
    ReadLogListener& m_listener;
    const DownloadContext& m_context;
    const DownloadLimits& m_limits;
    int m_tableRows;
    int m_records = 0;
    bool m_stop = false;
    std::string m_stopReason;
    std::string m_serialLine; // as the table was reset: none yet
    int m_linesWithoutRecord = 0;
    IClock::Duration m_lastRecordAt{0}; // or the start of the stream
    size_t m_streamBytes = 0;
    std::string m_text; // the line being assembled; an unfinished one is lost at the end
    std::string m_raw;  // stream bytes not yet passed on
};

} // namespace

namespace {

// The busy cursor while the log streams in, however that ends.
struct Hourglass {
    explicit Hourglass(ReadLogListener& listener) : listener(listener) { listener.busy(true); }
    ~Hourglass() { listener.busy(false); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
    ReadLogListener& listener;
};

std::string incompleteNote(int records, int announced) {
    return "Log incomplete: " + std::to_string(records) + " of " + std::to_string(announced) +
           " records read";
}

} // namespace

ReadLogEnd downloadLog(InstrumentLine& line, ReadLogListener& listener,
                       const DownloadContext& context, const DownloadLimits& limits) {
    line.discard();
    line.send("");
    const Reply wake = line.readLine();
    if (wake.cut)
        listener.note(cutReplyNote());
    if (wake.timedOut && wake.text.empty()) {
        if (!wake.stopped)
            listener.tell("No connection with RVM600");
        return ReadLogEnd::NoConnection;
    }
    listener.streamOpened();

    ReadLogEnd end = ReadLogEnd::Complete;
    StreamReader reader(line, listener, context, limits);
    {
        line.discard();
        line.send("LE");
        const Hourglass hourglass(listener);
        line.wait(kStreamStart);
        try {
            end = reader.run();
        } catch (const PortError&) {
            // A port that failed (an adapter pulled out) has its own box; the list tells how much
            // of the log was kept, as for a log cut short.
            if (reader.records() >= 1)
                listener.recordsUnsaved();
            if (context.announced > reader.records())
                listener.note(incompleteNote(reader.records(), context.announced));
            throw;
        } catch (...) {
            // Records on screen must not be dropped without a question, even after an error.
            reader.passRawBytes();
            if (reader.records() >= 1)
                listener.recordsUnsaved();
            throw;
        }
        if (end == ReadLogEnd::Stopped)
            listener.note(reader.stopReason());
        listener.streamEnded(reader.records());
    }
    // A cut-short log must not pass for the whole log: the user may clear the instrument next.
    // A bound that stopped the reading has said so already.
    if (end == ReadLogEnd::Complete && context.announced > reader.records()) {
        const std::string incomplete = incompleteNote(reader.records(), context.announced);
        listener.note(incomplete);
        listener.tell(incomplete);
        end = ReadLogEnd::Incomplete;
    }
    return end;
}
