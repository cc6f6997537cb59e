// "Read log" against any replies: it always ends with its buttons back, a known model and a
// table laid out for it, and shows only the program's own messages.
#include "Fakes.h"
#include "FuzzSupport.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "app/Commands.h"
#include "link/InstrumentLine.h"
#include "link/ReadLog.h"
#include "text/AppError.h"

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Answers each command with the next reply of a script, at once.
class ScriptedLine final : public ISerialLine {
public:
    explicit ScriptedLine(std::vector<std::string> replies) : m_replies(std::move(replies)) {}
    void openPort() override { m_open = true; }
    void closePort() override { m_open = false; }
    bool connected() const override { return m_open; }
    QString port() const override { return QStringLiteral("COM1"); }
    void setPort(const QString&) override {}
    void discardBuffers(bool input, bool) override {
        if (input)
            m_input.clear();
    }
    int bytesWaiting() override { return static_cast<int>(m_input.size()); }
    int readBytes(char* buffer, int count) override {
        const size_t n = std::min(m_input.size(), static_cast<size_t>(std::max(count, 0)));
        std::memcpy(buffer, m_input.data(), n);
        m_input.erase(0, n);
        return static_cast<int>(n);
    }
    int writeText(const std::string& text) override {
        if (m_next < m_replies.size())
            m_input += m_replies[m_next++];
        return static_cast<int>(text.size());
    }

private:
    std::vector<std::string> m_replies;
    size_t m_next = 0;
    std::string m_input;
    bool m_open = false;
};

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string upper(const std::string& text) {
    return QByteArray::fromStdString(text).toUpper().toStdString();
}

bool knownEvent(const std::string& e) {
    static const char* const known[] = {"message: No connection with instrument",
                                        "message: No data in log",
                                        "message: Incorrect data recieved from \"Log Status\"",
                                        "message: No connection with RVM600"};
    for (const char* k : known)
        if (e == k)
            return true;
    // A number too large for the log status is told in the error box, as every command's error.
    if (e.rfind("error: ", 0) == 0)
        return contains(e, "' is not a valid integer value");
    return e.rfind("message: Log incomplete: ", 0) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Replies to the commands in order, separated by byte 0xFE.
    std::vector<std::string> replies;
    std::string reply;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFE) {
            replies.push_back(reply);
            reply.clear();
        } else {
            reply.push_back(static_cast<char>(data[i]));
        }
    }
    replies.push_back(reply);

    VirtualClock clock;
    ScriptedLine line(replies);
    FakeDialogs dialogs;
    FakeView view;
    App app(line, clock, dialogs, view);
    line.openPort();
    resetLog(app); // as the main window's activation does
    std::string conversionError;
    try {
        readLog(app);
    } catch (const ConversionError& e) {
        conversionError = e.what();
    }

    const Session& s = app.session();
    CHECK(view.readLogEnabled);
    CHECK(dialogs.busyDepth == 0);
    CHECK(s.logCount >= -1);
    for (const auto& e : dialogs.events)
        CHECK(knownEvent(e));
    if (!conversionError.empty())
        CHECK(contains(conversionError, "' is not a valid integer value"));

    // The model follows from the identification text alone, in its fixed order.
    const std::string& ident = s.identLine;
    std::string model = "?";
    if (contains(ident, "RVM600PK"))
        model = "RVM600PK";
    else if (contains(upper(ident), "QD"))
        model = "VX40";
    else if (contains(upper(ident), "RVM600P"))
        model = "RVM600P";
    else if (contains(upper(ident), "RVM600"))
        model = "RVM600";
    CHECK(s.model->name == model);
    CHECK(s.model->valueName == std::string(model == "VX40" ? "Qd" : "Rl"));
    CHECK(app.table().rows() >= 2);
    CHECK(app.table().cols() == 6 || app.table().cols() == 8);
    if (model == "RVM600PK")
        CHECK(app.table().cols() == 8);
    else if (model != "?")
        CHECK(app.table().cols() == 6);
    return 0;
}
