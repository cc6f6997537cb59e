#pragma once

#include <QString>
#include <memory>
#include <vector>

// One serial port as the system reports it. Texts other than the name are empty when unknown.
struct PortInfo {
    QString name;   // as the selector shows it: "COM7", "ttyUSB0"
    QString device; // what opening it opens: "/dev/ttyUSB0"; empty for the name's own mapping
    QString description;
    QString maker;
    QString serialNumber;
};

// The serial ports that exist right now. The system's list in the program; fakes in tests.
class IPortCatalogue {
public:
    virtual ~IPortCatalogue() = default;
    virtual std::vector<PortInfo> ports() = 0;
};

// The ports the system reports (QSerialPortInfo), listed anew on every call.
class SystemPortCatalogue final : public IPortCatalogue {
public:
    std::vector<PortInfo> ports() override;
};

// A fixed list read from a file, one port a line: name, description, maker, serial number,
// TAB-separated. Lets a test or a demo show ports the machine does not have.
class FilePortCatalogue final : public IPortCatalogue {
public:
    explicit FilePortCatalogue(QString path) : m_path(std::move(path)) {}
    std::vector<PortInfo> ports() override;

private:
    QString m_path;
};

// The environment variable naming a FilePortCatalogue file that stands in for the system's list.
inline constexpr const char* kPortListVariable = "LOGDUMP_PORT_LIST";

// The system's catalogue, or the file one when $LOGDUMP_PORT_LIST names a file.
std::unique_ptr<IPortCatalogue> makePortCatalogue();

// The selector's entries: COM1 to COM4 first, always, then every other reported port in the
// system's order. A reported port that one of COM1 to COM4 opens lends that entry its texts
// instead of being listed twice.
std::vector<PortInfo> selectorPorts(const std::vector<PortInfo>& reported);

// The drop-down text: the name, then what is known of the adapter ("COM7 - USB-SERIAL CH340").
QString portLabel(const PortInfo& port);

// One line of `logdump-cli ports`: name, description, maker, serial number, TAB-separated.
QString portListLine(const PortInfo& port);
