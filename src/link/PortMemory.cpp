#include "link/PortMemory.h"

#include "text/UserSettings.h"

#include <QSettings>
#include <memory>

namespace {

constexpr const char* kPortKey = "LastAnsweredPort";

} // namespace

SettingsPortMemory::SettingsPortMemory() = default;

QString SettingsPortMemory::lastAnswered() const {
    const auto settings = openUserSettings(m_iniFile);
    // A settings file that cannot be read counts as none: the program starts on COM1.
    if (!settings || settings->status() != QSettings::NoError)
        return QString();
    const QVariant value = settings->value(QLatin1String(kPortKey));
    if (value.typeId() != QMetaType::QString)
        return QString();
    return value.toString().trimmed();
}

void SettingsPortMemory::remember(const QString& port) {
    const auto settings = openUserSettings(m_iniFile);
    // Never overwrite a file that could not be read: it may hold what another version keeps.
    if (!settings || settings->status() != QSettings::NoError ||
        settings->value(QLatin1String(kPortKey)).toString() == port)
        return;
    settings->setValue(QLatin1String(kPortKey), port);
    settings->sync();
}

QString startPort(const QString& remembered, const std::vector<PortInfo>& selectorPorts) {
    if (!remembered.isEmpty())
        for (const PortInfo& port : selectorPorts)
            if (port.name == remembered)
                return port.name;
    return QStringLiteral("COM1");
}
