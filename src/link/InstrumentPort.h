#pragma once

#include "link/SerialLine.h"
#include "text/AppError.h"

#include <QString>
#include <memory>

class QSerialPort;
namespace platform {
class DeviceClaim;
}

// The port operation that failed; each has its own message.
enum class PortOperation { Open, Write, Read, Purge, Settings, Status };

// Failure of the serial port: the operation's message and the platform's error number.
class PortError : public AppError {
public:
    PortError(PortOperation operation, int systemError);
    PortOperation operation;
    int systemError;
};

// The message of a failed operation, as the error box shows it.
const char* portErrorMessage(PortOperation operation);

// The device a selector name opens: $LOGDUMP_COMn when set, otherwise COMn on Windows and
// /dev/ttyS<n-1> elsewhere. Other names are taken as device names.
QString deviceForPortName(const QString& name);

// The serial port to the instrument, with the fixed line settings: 9600 8N1, XON/XOFF both ways,
// DTR and RTS inactive. Polled synchronously, without an event loop, by the thread that owns it
// (the window's, or a worker's while an exchange runs there: see setOwnerThread).
class InstrumentPort final : public ISerialLine {
public:
    InstrumentPort();
    ~InstrumentPort() override;
    InstrumentPort(const InstrumentPort&) = delete;
    InstrumentPort& operator=(const InstrumentPort&) = delete;

    void openPort() override;
    void closePort() override;
    bool connected() const override { return m_connected; }
    QString port() const override { return m_port; }
    void setPort(const QString& name) override;
    void discardBuffers(bool input, bool output) override;
    int bytesWaiting() override;
    int readBytes(char* buffer, int count) override;
    int writeText(const std::string& text) override;
    void setOwnerThread(QThread* thread) override;
    void takeOwnership() override;

    // A device path taken as it is, bypassing the COMn mapping (for the command-line tool).
    void setDevicePath(const QString& path) { m_devicePath = path; }

private:
    QString m_port = QStringLiteral("COM1");
    QString m_devicePath;
    bool m_connected = false;
    std::unique_ptr<QSerialPort> m_serial;
    std::unique_ptr<platform::DeviceClaim> m_claim; // held while the port is open
    bool m_reopen = false; // closed for a hand-over to another thread, which opens it again
};
