#include "SimSerialLine.h"

#include "link/InstrumentPort.h"
#include "text/Clock.h"

#include <cerrno>
#include <cstring>

namespace {
// The platform numbers the real port reports for these cases.
constexpr int kAccessDenied = 5;
constexpr int kBadHandle = 6;
constexpr int kDeviceGone = EIO;
} // namespace

SimSerialLine::SimSerialLine(sim::InstrumentSim& instrument, IClock& clock)
    : m_instrument(instrument), m_clock(clock) {}

void SimSerialLine::openPort() {
    if (m_connected)
        return;
    if (busyPorts.contains(m_port))
        throw PortError(PortOperation::Open, kAccessDenied);
    m_connected = true;
}

void SimSerialLine::closePort() {
    m_connected = false;
}

void SimSerialLine::setPort(const QString& name) {
    if (name == m_port)
        return;
    m_port = name;
    if (m_connected) {
        closePort();
        openPort();
    }
}

void SimSerialLine::checkLine(PortOperation operation) {
    if (!m_connected)
        throw PortError(operation, kBadHandle);
    if (m_instrument.disconnected(m_clock.now()))
        throw PortError(operation, kDeviceGone);
}

void SimSerialLine::discardBuffers(bool input, bool) {
    checkLine(PortOperation::Purge);
    if (input)
        m_instrument.discardArrived(m_clock.now());
}

int SimSerialLine::bytesWaiting() {
    checkLine(PortOperation::Status);
    return static_cast<int>(m_instrument.available(m_clock.now()));
}

int SimSerialLine::readBytes(char* buffer, int count) {
    checkLine(PortOperation::Read);
    if (count <= 0)
        return 0;
    const std::string bytes = m_instrument.take(static_cast<size_t>(count), m_clock.now());
    std::memcpy(buffer, bytes.data(), bytes.size());
    bytesRead += bytes.size();
    return static_cast<int>(bytes.size());
}

int SimSerialLine::writeText(const std::string& text) {
    if (text.empty())
        return 0;
    checkLine(PortOperation::Write);
    written += text;
    m_instrument.receive(text, m_clock.now());
    return static_cast<int>(text.size());
}
