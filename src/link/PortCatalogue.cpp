#include "link/PortCatalogue.h"

#include "link/InstrumentPort.h"

#include <QDir>
#include <QFile>
#include <QSerialPortInfo>
#include <QStringList>

namespace {

constexpr int kFixedPorts = 4; // COM1 to COM4 are always offered

// USB descriptors are the adapter's own text: a TAB or line break in them must not break a
// listed line or the drop-down.
QString plainText(const QString& text) {
    QString plain = text;
    for (QChar& c : plain)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return plain.trimmed();
}

// The device a name opens, spelled so that two spellings of one device compare equal.
QString deviceOf(const PortInfo& port) {
    QString device = port.device.isEmpty() ? deviceForPortName(port.name) : port.device;
#ifdef Q_OS_WIN
    if (device.startsWith(QLatin1String("\\\\.\\")))
        device = device.mid(4);
    return device.toUpper();
#else
    if (!device.startsWith(QLatin1Char('/')))
        device = QStringLiteral("/dev/") + device;
    return QDir::cleanPath(device);
#endif
}

} // namespace

std::vector<PortInfo> SystemPortCatalogue::ports() {
    std::vector<PortInfo> list;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        list.push_back({plainText(info.portName()), info.systemLocation(),
                        plainText(info.description()), plainText(info.manufacturer()),
                        plainText(info.serialNumber())});
    return list;
}

std::vector<PortInfo> FilePortCatalogue::ports() {
    std::vector<PortInfo> list;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return list;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        const QString name = fields.value(0).trimmed();
        if (name.isEmpty())
            continue;
        list.push_back({name, QString(), plainText(fields.value(1)), plainText(fields.value(2)),
                        plainText(fields.value(3))});
    }
    return list;
}

std::unique_ptr<IPortCatalogue> makePortCatalogue() {
    const QString file = qEnvironmentVariable(kPortListVariable);
    if (!file.isEmpty())
        return std::make_unique<FilePortCatalogue>(file);
    return std::make_unique<SystemPortCatalogue>();
}

std::vector<PortInfo> selectorPorts(const std::vector<PortInfo>& reported) {
    std::vector<PortInfo> list;
    for (int n = 1; n <= kFixedPorts; ++n)
        list.push_back(
            {QStringLiteral("COM%1").arg(n), QString(), QString(), QString(), QString()});
    for (const PortInfo& port : reported) {
        bool fixed = false;
        for (int i = 0; i < kFixedPorts && !fixed; ++i) {
            PortInfo& entry = list[static_cast<size_t>(i)];
            if (port.name.compare(entry.name, Qt::CaseInsensitive) == 0 ||
                deviceOf(port) == deviceOf(entry)) {
                entry.description = port.description;
                entry.maker = port.maker;
                entry.serialNumber = port.serialNumber;
                fixed = true;
            }
        }
        if (fixed)
            continue;
        // The system may report one device twice (a by-id link and its target are one port).
        bool listed = false;
        for (const PortInfo& entry : list)
            listed = listed || entry.name == port.name;
        if (!listed)
            list.push_back(port);
    }
    return list;
}

QString portLabel(const PortInfo& port) {
    QStringList more;
    if (!port.maker.isEmpty() && port.maker != port.description)
        more << port.maker;
    if (!port.serialNumber.isEmpty())
        more << port.serialNumber;
    QString label = port.name;
    if (!port.description.isEmpty())
        label += QStringLiteral(" - ") + port.description;
    else if (!more.isEmpty())
        label += QStringLiteral(" -");
    if (!more.isEmpty())
        label += QStringLiteral(" (") + more.join(QStringLiteral(", ")) + QLatin1Char(')');
    return label;
}

QString portListLine(const PortInfo& port) {
    return QStringList{port.name, port.description, port.maker, port.serialNumber}.join(
        QLatin1Char('\t'));
}
