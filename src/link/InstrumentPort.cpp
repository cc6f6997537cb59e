#include "link/InstrumentPort.h"

#include "platform/Platform.h"

#include <QFile>
#include <QSerialPort>
#include <QtGlobal>
#include <chrono>

namespace {

// Receive queue: beyond it the bytes wait in the device, whose XON/XOFF flow control then holds
// the instrument back. The library has no limit for the transmit side.
constexpr qint64 kInputQueueBytes = 2048;
// Write time limit: 1000 ms plus 100 ms per byte.
constexpr int kWriteLimitFixedMs = 1000;
constexpr int kWriteLimitPerByteMs = 100;
// Error number reported for an operation on a closed port (the platform's "bad handle").
const int kClosedPortError = platform::badHandleError();

// The platform's number for the failure just seen, or the library's own code.
int systemErrorOf(const QSerialPort& serial, int savedError) {
    auto failure = platform::PortFailure::Other;
    if (serial.error() == QSerialPort::PermissionError)
        failure = platform::PortFailure::Refused;
    else if (serial.error() == QSerialPort::DeviceNotFoundError)
        failure = platform::PortFailure::Missing;
    if (const int code = platform::portErrorNumber(failure, savedError))
        return code;
    return static_cast<int>(serial.error());
}

// The operation failed on the device: its error is cleared for the next operation and thrown.
[[noreturn]] void failed(QSerialPort& serial, PortOperation operation) {
    const int code = systemErrorOf(serial, platform::lastError());
    serial.clearError();
    throw PortError(operation, code);
}

// A failure of the device itself, as opposed to a wait that found nothing to do.
bool isDeviceFailure(QSerialPort::SerialPortError error) {
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

// Sending goes on as if XON had come. Discarding the output starts a new exchange: an XOFF
// that noise or an earlier answer left as the last byte on the line must not hold back every
// later command for good.
void resumeOutput(QSerialPort& serial) {
    platform::resumeOutput(serial.handle());
}

} // namespace

const char* portErrorMessage(PortOperation operation) {
    switch (operation) {
    case PortOperation::Open:
        return "Unable to open com port";
    case PortOperation::Write:
        return "WriteFile function failed";
    case PortOperation::Read:
        return "ReadFile function failed";
    case PortOperation::Purge:
        return "PurgeComm function failed";
    case PortOperation::Settings:
        return "SetCommState function failed";
    case PortOperation::Status:
        return "ClearCommError function failed";
    }
    return "Serial port error";
}

PortError::PortError(PortOperation operation, int systemError)
    : AppError(platform::portErrorText(portErrorMessage(operation), systemError)),
      operation(operation), systemError(systemError) {}

namespace {

// Where the serial library finds a port name: a path as it is, a bare name under /dev.
QString systemLocation(const QString& device) {
#ifdef Q_OS_WIN
    return device;
#else
    const bool path = device.startsWith(QLatin1Char('/')) ||
                      device.startsWith(QLatin1String("./")) ||
                      device.startsWith(QLatin1String("../"));
    return path ? device : QStringLiteral("/dev/") + device;
#endif
}

} // namespace

QString deviceForPortName(const QString& name) {
    const QByteArray variable = "LOGDUMP_" + name.toUpper().toLatin1();
    QString mapped = qEnvironmentVariable(variable.constData());
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return name;
#else
    if (name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        bool ok = false;
        const int n = name.mid(3).toInt(&ok);
        if (ok && n >= 1)
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    }
    return name;
#endif
}

InstrumentPort::InstrumentPort() = default;

InstrumentPort::~InstrumentPort() {
    if (m_serial)
        m_serial->close();
}

void InstrumentPort::openPort() {
    if (m_connected)
        return;
    const QString device = m_devicePath.isEmpty() ? deviceForPortName(m_port) : m_devicePath;
    // The device for this program alone before the library sets its line up: the settings of
    // another program that holds it must stay as they are.
    m_claim.reset();
    auto claim = std::make_unique<platform::DeviceClaim>();
    const QByteArray location = QFile::encodeName(systemLocation(device));
    const int busy = platform::portErrorNumber(platform::PortFailure::Refused, 0);
    const int claimed = claim->claim(location.constData());
    if (claimed == busy)
        throw PortError(PortOperation::Open, busy);
    auto serial = std::make_unique<QSerialPort>();
    serial->setPortName(device);
    serial->setReadBufferSize(kInputQueueBytes);
    platform::clearLastError();
    if (!serial->open(QIODevice::ReadWrite))
        throw PortError(PortOperation::Open, systemErrorOf(*serial, platform::lastError()));
    platform::clearLastError();
    const bool applied =
        serial->setBaudRate(QSerialPort::Baud9600) && serial->setDataBits(QSerialPort::Data8) &&
        serial->setParity(QSerialPort::NoParity) && serial->setStopBits(QSerialPort::OneStop) &&
        serial->setFlowControl(QSerialPort::SoftwareControl);
    if (!applied) {
        const int code = systemErrorOf(*serial, platform::lastError());
        serial->close();
        throw PortError(PortOperation::Settings, code);
    }
    // A program that takes no lock must not open the device behind our back either.
    claim->makeExclusive();
    // Modem lines held inactive. A pseudo-terminal has none and refuses: not a failure.
    serial->setDataTerminalReady(false);
    serial->setRequestToSend(false);
    serial->clearError();
    m_serial = std::move(serial);
    m_claim = std::move(claim);
    m_connected = true;
}

void InstrumentPort::closePort() {
    m_reopen = false;
    if (!m_connected)
        return;
    if (m_serial) {
        m_serial->clear(QSerialPort::AllDirections);
        m_serial->close();
        m_serial.reset();
    }
    m_claim.reset();
    m_connected = false;
}

void InstrumentPort::setPort(const QString& name) {
    if (name == m_port)
        return;
    m_port = name;
    if (m_connected) {
        closePort();
        openPort();
    }
}

void InstrumentPort::discardBuffers(bool input, bool output) {
    if (!m_connected)
        throw PortError(PortOperation::Purge, kClosedPortError);
    QSerialPort::Directions directions;
    if (input)
        directions |= QSerialPort::Input;
    if (output)
        directions |= QSerialPort::Output;
    platform::clearLastError();
    if (directions && !m_serial->clear(directions))
        failed(*m_serial, PortOperation::Purge);
    if (output)
        resumeOutput(*m_serial);
}

int InstrumentPort::bytesWaiting() {
    if (!m_connected)
        throw PortError(PortOperation::Status, kClosedPortError);
    // Line errors (framing, parity, break) never surface here: the library drops them, as
    // the device's latch would be cleared.
    platform::clearLastError();
    // Moves what the device has received into the port's buffer without waiting.
    m_serial->waitForReadyRead(0);
    const auto error = m_serial->error();
    // An empty wait reports a timeout, which only means nothing came.
    const int code = systemErrorOf(*m_serial, platform::lastError());
    m_serial->clearError();
    const auto received = m_serial->bytesAvailable();
    // Bytes that came before the device failed (a pulled adapter) are the user's data: they
    // are handed out first, and the failure shows on the poll that finds none left.
    if (isDeviceFailure(error) && received <= 0)
        throw PortError(PortOperation::Status, code);
    return static_cast<int>(received);
}

int InstrumentPort::readBytes(char* buffer, int count) {
    if (!m_connected)
        throw PortError(PortOperation::Read, kClosedPortError);
    if (count <= 0)
        return 0;
    platform::clearLastError();
    const qint64 n = m_serial->read(buffer, count);
    if (n < 0)
        failed(*m_serial, PortOperation::Read);
    return static_cast<int>(n);
}

int InstrumentPort::writeText(const std::string& text) {
    if (text.empty())
        return 0;
    if (!m_connected)
        throw PortError(PortOperation::Write, kClosedPortError);
    platform::clearLastError();
    const qint64 queued = m_serial->write(text.data(), static_cast<qint64>(text.size()));
    if (queued < 0)
        failed(*m_serial, PortOperation::Write);
    // Without an event loop, write() only queues: push the bytes out within the time limit.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(
                                             kWriteLimitFixedMs +
                                             kWriteLimitPerByteMs * static_cast<int>(text.size()));
    while (m_serial->bytesToWrite() > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        if (!m_serial->waitForBytesWritten(static_cast<int>(left))) {
            const auto error = m_serial->error();
            if (error == QSerialPort::TimeoutError) {
                m_serial->clearError();
                break;
            }
            if (error != QSerialPort::NoError)
                failed(*m_serial, PortOperation::Write);
        }
    }
    return static_cast<int>(queued - m_serial->bytesToWrite());
}

void InstrumentPort::setOwnerThread(QThread* thread) {
    if (!m_serial)
        return;
#ifdef Q_OS_WIN
    // Reads complete on the thread that started them, whatever thread the port object moves
    // to: the thread that takes the port over opens it anew.
    (void)thread;
    m_serial->close();
    m_serial.reset();
    m_reopen = true;
#else
    // The serial port's notifiers must belong to the thread that polls it, or the other
    // thread's event loop would read from the device at the same time.
    m_serial->moveToThread(thread);
#endif
}

void InstrumentPort::takeOwnership() {
    if (!m_reopen)
        return;
    m_reopen = false;
    m_connected = false;
    openPort();
}
