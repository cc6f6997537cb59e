#pragma once

#include "InstrumentSim.h"
#include "link/SerialLine.h"

#include <QSet>

class IClock;
enum class PortOperation;

// The simulated instrument behind the serial-line interface, on the caller's clock: the real
// line I/O and procedures run against it in-process.
class SimSerialLine final : public ISerialLine {
public:
    SimSerialLine(sim::InstrumentSim& instrument, IClock& clock);

    void openPort() override;
    void closePort() override;
    bool connected() const override { return m_connected; }
    QString port() const override { return m_port; }
    void setPort(const QString& name) override;
    void discardBuffers(bool input, bool output) override;
    int bytesWaiting() override;
    int readBytes(char* buffer, int count) override;
    int writeText(const std::string& text) override;

    // Ports that another program holds: opening them fails.
    QSet<QString> busyPorts;
    // Every byte the program wrote, in order.
    std::string written;
    // How many bytes the program has read.
    size_t bytesRead = 0;

private:
    void checkLine(PortOperation operation);

    sim::InstrumentSim& m_instrument;
    IClock& m_clock;
    QString m_port = QStringLiteral("COM1");
    bool m_connected = false;
};
