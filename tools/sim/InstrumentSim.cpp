#include "InstrumentSim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>

namespace sim {

namespace {

constexpr Duration kAnswerLatency = std::chrono::milliseconds(2);
constexpr size_t kMaxCommandBytes = 4096;
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
constexpr size_t kCompactAbove = 1 << 20;

bool isCombined(const std::string& model) {
    return model == "RVM600PK";
}

std::string defaultIdent(const std::string& model) {
    if (model == "RVM600PK")
        return "Virelon RVM600PK reflectometer\r\nRl and Qd\r\n";
    if (model == "VX40")
        return "Virelon VX40 Qd meter\r\n";
    if (model == "RVM600P")
        return "Virelon RVM600P reflectometer\r\n";
    if (model == "RVM600")
        return "Virelon RVM600 reflectometer\r\n";
    return "Virelon " + model + "\r\n";
}

std::string defaultReport(const std::string& model, size_t records) {
    return "Virelon " + model + " status\r\nBattery: 6.1 V\r\nLamp hours: 1234\r\nLog entries: " +
           std::to_string(records) + "\r\nSelf test: passed\r\n";
}

std::string dateTime(int index) {
    // A measuring day starting 12.03.2005 08:00:00, one record every 37 seconds.
    long seconds = 8L * 3600 + 37L * index;
    const long day = 12 + seconds / 86400;
    seconds %= 86400;
    char text[32];
    std::snprintf(text, sizeof text, "%02ld.03.2005 %02ld:%02ld:%02ld", std::min(day, 31L),
                  seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return text;
}

int status(std::mt19937& rng, int index, int count) {
    // Low battery towards the end of a long log, otherwise mostly clean.
    if (count >= 20 && index >= count - count / 20)
        return 16;
    const int roll = static_cast<int>(rng() % 100);
    if (roll < 85)
        return 0;
    if (roll < 91)
        return 2;
    if (roll < 94)
        return 1;
    if (roll < 97)
        return 4;
    return 18;
}

std::string toBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text)
        bytes.push_back(static_cast<char>(c.unicode() & 0xFF));
    return bytes;
}

} // namespace

std::string titleLine(const std::string& model) {
    if (isCombined(model))
        return "Date Time\tRl\tQd\tRStat\tQStat\tSeq-Id\tSeq#";
    return std::string("Date Time\t") + (model == "VX40" ? "Qd" : "Rl") + "\tStat\tSeq-Id\tSeq#";
}

std::vector<std::string> generateRecords(const std::string& model, int count, unsigned seed) {
    std::mt19937 rng(seed);
    const bool combined = isCombined(model);
    const bool qdOnly = model == "VX40";
    const int rlBase = 120 + static_cast<int>(rng() % 260);
    const int qdBase = 60 + static_cast<int>(rng() % 130);
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const int rl = rlBase + static_cast<int>(rng() % 7) - 3;
        const int qd = qdBase + static_cast<int>(rng() % 5) - 2;
        const std::string seqId = "S" + std::to_string(i / 10 + 1);
        const std::string seqNo = std::to_string(i % 10 + 1);
        std::string line = dateTime(i) + "\t";
        if (combined) {
            line += std::to_string(rl) + "\t" + std::to_string(qd) + "\t" +
                    std::to_string(status(rng, i, count)) + "\t" +
                    std::to_string(status(rng, i, count));
        } else {
            line += std::to_string(qdOnly ? qd : rl) + "\t" + std::to_string(status(rng, i, count));
        }
        lines.push_back(line + "\t" + seqId + "\t" + seqNo);
    }
    return lines;
}

Scenario scenarioFromJson(const QByteArray& json, QString* error) {
    Scenario s;
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = parseError.errorString();
        return s;
    }
    const QJsonObject o = doc.object();
    // Every key with the JSON type it must have.
    static const std::map<QString, QJsonValue::Type> known = {
        {"model", QJsonValue::String},
        {"serial", QJsonValue::String},
        {"records", QJsonValue::Array},
        {"count", QJsonValue::Double},
        {"seed", QJsonValue::Double},
        {"handshake", QJsonValue::String},
        {"answeredHandshakes", QJsonValue::Double},
        {"lsForm", QJsonValue::String},
        {"lsCount", QJsonValue::Double},
        {"fvFailures", QJsonValue::Double},
        {"fvLine", QJsonValue::String},
        {"identText", QJsonValue::String},
        {"stream", QJsonValue::String},
        {"preamble", QJsonValue::Array},
        {"trailer", QJsonValue::Array},
        {"lineEnd", QJsonValue::String},
        {"terminator", QJsonValue::String},
        {"garbage", QJsonValue::String},
        {"starInRecord", QJsonValue::Double},
        {"endless", QJsonValue::Bool},
        {"endlessText", QJsonValue::String},
        {"endlessAfter", QJsonValue::String},
        {"dumpReport", QJsonValue::String},
        {"paced", QJsonValue::Bool},
        {"byteMicros", QJsonValue::Double},
        {"streamByteMicros", QJsonValue::Double},
        {"silenceFromByte", QJsonValue::Double},
        {"disconnectAtByte", QJsonValue::Double},
    };
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return s;
    };
    for (auto it = o.begin(); it != o.end(); ++it) {
        const auto found = known.find(it.key());
        if (found == known.end())
            return fail(QStringLiteral("unknown key: ") + it.key());
        if (it.value().type() != found->second)
            return fail(QStringLiteral("wrong type for key: ") + it.key());
    }
    static const std::set<QString> handshakes = {"normal", "emptyFirst", "wrong", "silent"};
    static const std::set<QString> lsForms = {"echo", "logstatus", "inline",   "qddata",
                                              "bad",  "nodigits",  "fraction", "silent"};
    if (o.contains("handshake") && !handshakes.count(o.value("handshake").toString()))
        return fail(QStringLiteral("unknown handshake: ") + o.value("handshake").toString());
    if (o.contains("lsForm") && !lsForms.count(o.value("lsForm").toString()))
        return fail(QStringLiteral("unknown lsForm: ") + o.value("lsForm").toString());
    auto text = [&](const char* key, std::string& target) {
        if (o.contains(QLatin1String(key)))
            target = toBytes(o.value(QLatin1String(key)).toString());
    };
    auto lines = [&](const char* key, std::vector<std::string>& target) {
        if (!o.contains(QLatin1String(key)))
            return;
        target.clear();
        for (const auto& v : o.value(QLatin1String(key)).toArray())
            target.push_back(toBytes(v.toString()));
    };
    text("model", s.model);
    text("serial", s.serial);
    lines("records", s.records);
    s.count = o.value("count").toInt(s.count);
    s.seed = static_cast<unsigned>(o.value("seed").toInt(static_cast<int>(s.seed)));
    text("handshake", s.handshake);
    s.answeredHandshakes = o.value("answeredHandshakes").toInt(s.answeredHandshakes);
    text("lsForm", s.lsForm);
    if (o.contains("lsCount"))
        s.lsCount = static_cast<long long>(o.value("lsCount").toDouble());
    s.fvFailures = o.value("fvFailures").toInt(s.fvFailures);
    text("fvLine", s.fvLine);
    if (o.contains("identText"))
        s.identText = toBytes(o.value("identText").toString());
    if (o.contains("stream"))
        s.stream = toBytes(o.value("stream").toString());
    lines("preamble", s.preamble);
    lines("trailer", s.trailer);
    text("lineEnd", s.lineEnd);
    text("terminator", s.terminator);
    text("garbage", s.garbage);
    s.starInRecord = o.value("starInRecord").toInt(s.starInRecord);
    s.endless = o.value("endless").toBool(s.endless);
    if (o.contains("endlessText"))
        s.endlessText = toBytes(o.value("endlessText").toString());
    text("endlessAfter", s.endlessAfter);
    if (o.contains("dumpReport"))
        s.dumpReport = toBytes(o.value("dumpReport").toString());
    s.paced = o.value("paced").toBool(s.paced);
    s.byteMicros = o.value("byteMicros").toDouble(s.byteMicros);
    if (o.contains("streamByteMicros"))
        s.streamByteMicros = o.value("streamByteMicros").toDouble();
    s.silenceFromByte = static_cast<long long>(o.value("silenceFromByte").toDouble(-1));
    s.disconnectAtByte = static_cast<long long>(o.value("disconnectAtByte").toDouble(-1));
    if (error)
        error->clear();
    return s;
}

InstrumentSim::InstrumentSim(Scenario scenario) : m_scenario(std::move(scenario)) {
    Scenario& s = m_scenario;
    if (s.records.empty() && s.count > 0)
        s.records = generateRecords(s.model, s.count, s.seed);
    if (!s.dumpReport)
        s.dumpReport = defaultReport(s.model, s.records.size());
    if (s.stream) {
        m_stream = *s.stream;
        return;
    }
    std::vector<std::string> preamble = s.preamble;
    if (preamble.empty())
        preamble = {"s/n: " + s.serial, titleLine(s.model)};
    for (const auto& line : preamble)
        m_stream += line + s.lineEnd;
    for (size_t i = 0; i < s.records.size(); ++i) {
        std::string line = s.records[i];
        if (static_cast<int>(i) + 1 == s.starInRecord)
            line.insert(line.size() / 2, "*");
        m_stream += line + s.lineEnd + s.garbage;
    }
    for (const auto& line : s.trailer)
        m_stream += line + s.lineEnd;
    // An instrument that talks without end after its log never finishes the log.
    if (!s.endless || s.endlessAfter != "LE")
        m_stream += s.terminator;
}

Duration InstrumentSim::byteTime() const {
    // Everything sent from the log stream on goes at the stream's pace, noise after it too.
    const bool inStream = m_streamBegin != std::string::npos && m_outPos >= m_streamBegin;
    const double micros = inStream && m_scenario.streamByteMicros ? *m_scenario.streamByteMicros
                                                                  : m_scenario.byteMicros;
    return std::chrono::nanoseconds(static_cast<long long>(micros * 1000.0));
}

void InstrumentSim::receive(const std::string& bytes, Duration now) {
    for (char c : bytes) {
        if (c == '\r') {
            command(m_inLine, now);
            m_inLine.clear();
        } else if (c == kXon || c == kXoff) {
            // The program's flow control, not part of a command.
        } else if (c != '\n' && m_inLine.size() < kMaxCommandBytes) {
            m_inLine.push_back(c);
        }
    }
}

void InstrumentSim::command(const std::string& line, Duration now) {
    m_received.push_back({now, line});
    answer(line, now);
    if (m_scenario.endless && line == m_scenario.endlessAfter)
        m_endlessActive = true;
}

void InstrumentSim::answer(const std::string& line, Duration now) {
    const Scenario& s = m_scenario;
    if (line.empty()) {
        ++m_handshakes;
        if (s.answeredHandshakes >= 0 && m_handshakes > s.answeredHandshakes)
            return;
        if (s.handshake == "normal")
            send("?\r\n", now);
        else if (s.handshake == "emptyFirst")
            send("\r\n?\r\n", now);
        else if (s.handshake == "wrong")
            send("X\r\n", now);
        return;
    }
    if (line == "LS") {
        const std::string n =
            std::to_string(s.lsCount ? *s.lsCount : static_cast<long long>(s.records.size()));
        if (s.lsForm == "echo")
            send("LS\r\n" + n + " records\r\n", now);
        else if (s.lsForm == "logstatus")
            send("LOG STATUS\r\n" + n + " records in log\r\n", now);
        else if (s.lsForm == "inline")
            send("LS " + n + "\r\n", now);
        else if (s.lsForm == "qddata")
            send("QD DATA " + n + "\r\n", now);
        else if (s.lsForm == "bad")
            send("OK\r\n", now);
        else if (s.lsForm == "nodigits")
            send("LS none\r\n", now);
        else if (s.lsForm == "fraction")
            send("LS 1,5\r\n", now);
        return;
    }
    if (line == "FV") {
        ++m_fvAttempts;
        if (m_fvAttempts <= s.fvFailures)
            send("ERR\r\n", now);
        else
            send(s.fvLine + "\r\n" + (s.identText ? *s.identText : defaultIdent(s.model)), now);
        return;
    }
    if (line == "LE") {
        const size_t begin = m_out.size();
        m_streamBegin = begin;
        if (s.silenceFromByte >= 0) {
            m_cutAt = static_cast<long long>(begin) + s.silenceFromByte;
            m_cutIsDisconnect = false;
        }
        if (s.disconnectAtByte >= 0) {
            m_cutAt = static_cast<long long>(begin) + s.disconnectAtByte;
            m_cutIsDisconnect = true;
        }
        send(m_stream, now);
        return;
    }
    if (line == "DPS") {
        send(*s.dumpReport, now);
        return;
    }
    send("ERR\r\n", now);
}

void InstrumentSim::send(const std::string& bytes, Duration now) {
    if (m_outPos == m_out.size()) {
        m_outStart = std::max(m_outStart, now + kAnswerLatency);
        if (m_outPos > kCompactAbove && m_cutAt < 0) {
            m_out.clear();
            m_outPos = 0;
            if (m_streamBegin != std::string::npos)
                m_streamBegin = 0;
        }
    }
    m_out += bytes;
}

void InstrumentSim::refillEndless(Duration now) {
    if (!m_endlessActive)
        return;
    size_t wanted = 4096;
    if (m_scenario.paced && now > m_outStart)
        wanted = static_cast<size_t>((now - m_outStart) / byteTime()) + 64;
    const std::string* text = m_scenario.endlessText && !m_scenario.endlessText->empty()
                                  ? &*m_scenario.endlessText
                                  : nullptr;
    while (m_out.size() - m_outPos < wanted)
        m_out +=
            text ? *text : "NOISE " + std::to_string(++m_endlessCounter) + " no record here\r\n";
    if (m_outPos > kCompactAbove && m_cutAt < 0) {
        m_out.erase(0, m_outPos);
        if (m_streamBegin != std::string::npos)
            m_streamBegin -= std::min(m_streamBegin, m_outPos);
        m_outPos = 0;
    }
}

size_t InstrumentSim::available(Duration now) {
    refillEndless(now);
    size_t limit = m_out.size() - m_outPos;
    if (m_cutAt >= 0)
        limit = std::min(limit, static_cast<size_t>(std::max<long long>(
                                    0, m_cutAt - static_cast<long long>(m_outPos))));
    if (!m_scenario.paced || limit == 0)
        return limit;
    if (now < m_outStart)
        return 0;
    const auto arrived = static_cast<size_t>((now - m_outStart) / byteTime()) + 1;
    return std::min(limit, arrived);
}

std::string InstrumentSim::take(size_t count, Duration now) {
    count = std::min(count, available(now));
    std::string bytes = m_out.substr(m_outPos, count);
    m_outPos += count;
    if (m_scenario.paced)
        m_outStart += byteTime() * static_cast<long long>(count);
    return bytes;
}

void InstrumentSim::discardArrived(Duration now) {
    take(available(now), now);
}

bool InstrumentSim::disconnected(Duration now) {
    if (!m_cutIsDisconnect || m_cutAt < 0 || static_cast<long long>(m_outPos) < m_cutAt)
        return false;
    return !m_scenario.paced || now >= m_outStart;
}

std::optional<Duration> InstrumentSim::nextEvent(Duration now) {
    if (available(now) > 0)
        return now;
    const bool cutPending = m_cutIsDisconnect && m_cutAt >= 0 &&
                            static_cast<long long>(m_outPos) >= m_cutAt && !disconnected(now);
    const bool bytesPending =
        m_outPos < m_out.size() && (m_cutAt < 0 || static_cast<long long>(m_outPos) < m_cutAt);
    if (!cutPending && !bytesPending)
        return std::nullopt;
    return std::max(now, m_outStart);
}

} // namespace sim
