#pragma once

#include "link/InstrumentPort.h"
#include "link/PortCatalogue.h"
#include "link/PortMemory.h"
#include "link/SerialLine.h"

#include <QString>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

// The ports a test machine "has": what the system reports, changed at will between listings.
struct FakePortCatalogue final : IPortCatalogue {
    std::vector<PortInfo> ports() override {
        ++scans;
        return reported;
    }
    std::vector<PortInfo> reported;
    int scans = 0;
};

// A remembered port kept in memory.
struct FakePortMemory final : IPortMemory {
    QString lastAnswered() const override { return port; }
    void remember(const QString& name) override {
        port = name;
        stored.push_back(name);
    }
    QString port;
    std::vector<QString> stored;
};

// Serial ports by name: one answers like an instrument, others are held by another program or
// silent; a name not listed has vanished (no such device). Records opens and bytes per port.
class FakePortLine final : public ISerialLine {
public:
    enum class Kind { Answers, Busy, Silent };

    void openPort() override {
        if (m_connected)
            return;
        const auto it = kinds.find(m_port);
        if (it == kinds.end())
            throw PortError(PortOperation::Open, ENOENT);
        if (it->second == Kind::Busy)
            throw PortError(PortOperation::Open, EBUSY);
        m_connected = true;
        opened.push_back(m_port);
    }
    void closePort() override {
        m_connected = false;
        m_pending.clear();
    }
    bool connected() const override { return m_connected; }
    QString port() const override { return m_port; }
    void setPort(const QString& name) override {
        if (name == m_port)
            return;
        const bool reopen = m_connected;
        closePort();
        m_port = name;
        if (reopen)
            openPort();
    }
    void discardBuffers(bool input, bool) override {
        check(PortOperation::Purge);
        if (input)
            m_pending.clear();
    }
    int bytesWaiting() override {
        check(PortOperation::Status);
        return static_cast<int>(m_pending.size());
    }
    int readBytes(char* buffer, int count) override {
        check(PortOperation::Read);
        const int n = std::min(count, static_cast<int>(m_pending.size()));
        m_pending.copy(buffer, static_cast<size_t>(n));
        m_pending.erase(0, static_cast<size_t>(n));
        return n;
    }
    int writeText(const std::string& text) override {
        check(PortOperation::Write);
        written[m_port] += text;
        if (kinds[m_port] == Kind::Answers)
            m_pending += text == "\r\n" ? "?\r\n" : "ERR\r\n";
        return static_cast<int>(text.size());
    }

    std::map<QString, Kind> kinds;
    std::vector<QString> opened;
    std::map<QString, std::string> written;

private:
    void check(PortOperation operation) const {
        if (!m_connected)
            throw PortError(operation, EBADF);
    }

    QString m_port = QStringLiteral("COM1");
    bool m_connected = false;
    std::string m_pending;
};

// A reported port with the texts of a USB adapter.
inline PortInfo usbAdapter(const QString& name, const QString& description,
                           const QString& maker = QString(), const QString& serial = QString()) {
    return {name, QString(), description, maker, serial};
}
