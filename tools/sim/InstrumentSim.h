#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The instrument's side of the serial protocol, for all four models, with scripted faults.
// Time is given by the caller, so the same core runs on a virtual clock in-process and on the
// real clock behind a pseudo-terminal.
namespace sim {

using Duration = std::chrono::nanoseconds;

struct Scenario {
    std::string model = "RVM600"; // RVM600, RVM600P, RVM600PK, VX40; any other text names none
    std::string serial = "4711";
    // Record lines without line end, fields separated by TAB. Empty: `count` are generated.
    std::vector<std::string> records;
    int count = 25;
    unsigned seed = 1;

    // Handshake: "normal" ("?"), "emptyFirst" (empty line, then "?"), "wrong" ("X"), "silent".
    std::string handshake = "normal";
    // Handshakes answered before the instrument falls silent for good (-1: all).
    int answeredHandshakes = -1;

    // Log status reply: "echo" (LS, then the count line), "logstatus" (LOG STATUS, then the
    // count line), "inline" (LS and the count on one line), "qddata" (QD DATA and the count),
    // "bad" (OK), "nodigits" (LS without digits), "fraction" (LS 1,5), "silent".
    std::string lsForm = "echo";
    std::optional<long long> lsCount; // announced count; default: the number of records

    int fvFailures = 0;                   // FV attempts answered with a line that is not accepted
    std::string fvLine = "FV 2.10";       // the accepted identification line
    std::optional<std::string> identText; // what follows it; default names the model

    // The whole answer to "LE"; when unset it is built from the parts below.
    std::optional<std::string> stream;
    std::vector<std::string> preamble; // lines before the records; default s/n and column titles
    std::vector<std::string> trailer;  // lines after the records
    std::string lineEnd = "\r\n";
    std::string terminator = "*"; // "*", "\0" (NUL) or "" (silence ends the stream)
    std::string garbage;          // bytes sent between records
    int starInRecord = -1;        // 1-based record that gets a "*" in its middle
    bool endless = false;         // after the stream, non-record lines without end
    // What an endless instrument repeats (numbered lines that are not records; "x" gives one
    // line that never ends), and the command after whose answer it starts ("LE", "FV", "DPS").
    std::optional<std::string> endlessText;
    std::string endlessAfter = "LE";

    std::optional<std::string> dumpReport; // answer to "DPS"; default a short report

    bool paced = true;
    double byteMicros = 1e6 / 960.0; // 9600 bit/s, 10 bits a byte
    // A slow talker: microseconds per byte from the answer to "LE" on (unset: byteMicros).
    std::optional<double> streamByteMicros;
    // Faults in the answer to "LE": nothing more after this many bytes, or the line is cut.
    long long silenceFromByte = -1;
    long long disconnectAtByte = -1;
};

// Reads a scenario from JSON; unknown keys are an error so typos do not go unnoticed.
Scenario scenarioFromJson(const QByteArray& json, QString* error);

// Record lines as the given model writes them: realistic values and status codes.
std::vector<std::string> generateRecords(const std::string& model, int count, unsigned seed);
// The column-title line of the model (with "Date").
std::string titleLine(const std::string& model);

class InstrumentSim {
public:
    explicit InstrumentSim(Scenario scenario);

    // Bytes from the program, arriving at `now`.
    void receive(const std::string& bytes, Duration now);
    // Bytes that have arrived at the program's side by `now` and not been taken.
    size_t available(Duration now);
    std::string take(size_t count, Duration now);
    // The program discarded its input: bytes that have arrived by `now` are gone.
    void discardArrived(Duration now);
    // True once the line was cut (the disconnect fault has struck by `now`).
    bool disconnected(Duration now);
    // When the next byte arrives or the line is cut: `now` when bytes wait already, nothing
    // when the instrument has nothing more to say. Lets a front-end sleep until then.
    std::optional<Duration> nextEvent(Duration now);

    struct Received {
        Duration time;
        std::string line; // a command without its CR and LF
    };
    const std::vector<Received>& received() const { return m_received; }
    const Scenario& scenario() const { return m_scenario; }
    // The answer to "LE" as built for this scenario.
    const std::string& logStream() const { return m_stream; }
    int handshakes() const { return m_handshakes; }

private:
    void command(const std::string& line, Duration now);
    void answer(const std::string& line, Duration now);
    void send(const std::string& bytes, Duration now);
    void refillEndless(Duration now);
    Duration byteTime() const;

    Scenario m_scenario;
    std::string m_stream;
    std::string m_inLine;
    std::vector<Received> m_received;
    int m_handshakes = 0;
    int m_fvAttempts = 0;

    // Bytes on their way to the program: m_out[m_outPos..], the first arriving at m_outStart.
    std::string m_out;
    size_t m_outPos = 0;
    Duration m_outStart{0};
    // The log stream's bytes in m_out, for the byte-position faults.
    size_t m_streamBegin = std::string::npos;
    long long m_cutAt = -1; // absolute position in m_out where the line is cut
    bool m_cutIsDisconnect = false;
    bool m_endlessActive = false;
    unsigned m_endlessCounter = 0;
};

} // namespace sim
