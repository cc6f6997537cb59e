#pragma once

#include <QLatin1String>

// The one store of what the program remembers for the user (the port that last answered, the
// required classes): HKEY_CURRENT_USER\Software\Virelon\Log Dump on Windows,
// ~/.config/Virelon/Log Dump.conf on Linux.
inline constexpr QLatin1String kSettingsOrganisation("Virelon");
inline constexpr QLatin1String kSettingsApplication("Log Dump");
