#include "text/UserSettings.h"

#include "text/Cp1252.h"

#include <QFileInfo>
#include <QUuid>

namespace {

bool unusable(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile();
}

} // namespace

QString unusableSettingsFile(const QString& iniFile) {
    if (!iniFile.isEmpty())
        return unusable(iniFile) ? iniFile : QString();
#ifdef Q_OS_WIN
    return QString(); // the registry
#else
    // Where QSettings keeps user settings (a test may have moved it), learnt from settings of a
    // name nobody uses: opening ours to ask would already be the open that hangs.
    const QSettings probe(QSettings::UserScope,
                          QStringLiteral("logdump-") + QUuid::createUuid().toString(QUuid::Id128),
                          QStringLiteral("probe"));
    const QString base = QFileInfo(QFileInfo(probe.fileName()).absolutePath()).absolutePath();
    // The application's file and the organisation's, which QSettings reads as well.
    for (const QString& path :
         {base + QLatin1Char('/') + kSettingsOrganisation + QLatin1Char('/') +
              kSettingsApplication + QStringLiteral(".conf"),
          base + QLatin1Char('/') + kSettingsOrganisation + QStringLiteral(".conf")})
        if (unusable(path))
            return path;
    return QString();
#endif
}

std::unique_ptr<QSettings> openUserSettings(const QString& iniFile) {
    if (!unusableSettingsFile(iniFile).isEmpty())
        return nullptr;
    if (iniFile.isEmpty())
        return std::make_unique<QSettings>(QSettings::UserScope, kSettingsOrganisation,
                                           kSettingsApplication);
    return std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
}

std::string unusableSettingsNote(const QString& file) {
    return "Settings neither read nor saved: " + toCp1252(file) + " is not a regular file";
}
