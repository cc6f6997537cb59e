#pragma once

#include <QLatin1String>
#include <QSettings>
#include <QString>
#include <memory>
#include <string>

// The one store of what the program remembers for the user (the port that last answered, the
// required classes): HKEY_CURRENT_USER\Software\Virelon\Log Dump on Windows,
// ~/.config/Virelon/Log Dump.conf on Linux.
inline constexpr QLatin1String kSettingsOrganisation("Virelon");
inline constexpr QLatin1String kSettingsApplication("Log Dump");

// A file the user's settings would be read from or written to that exists but is no regular
// file (a named pipe would hold the program in open() for ever, a device or a folder is not
// ours to write); empty when there is none. iniFile: an INI file in place of the user's store.
QString unusableSettingsFile(const QString& iniFile = QString());

// The user's settings, or nullptr when unusableSettingsFile names a file: then they are neither
// read nor written.
std::unique_ptr<QSettings> openUserSettings(const QString& iniFile = QString());

// The line the message list shows for such a file.
std::string unusableSettingsNote(const QString& file);
