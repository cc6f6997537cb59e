#pragma once

#include <QString>
#include <optional>

struct ArchivedDownload;
class App;

// The environment variable that names the team archive for this run, over the stored address.
inline constexpr const char* kTeamArchiveVariable = "LOGDUMP_TEAM_ARCHIVE";

// Where the program keeps the team archive's address (never a password: those stay in the
// PostgreSQL password file).
class ITeamArchiveSetting {
public:
    virtual ~ITeamArchiveSetting() = default;
    // The address kept; empty when none is kept or it cannot be read.
    virtual QString stored() const = 0;
    // Keeps the address; empty removes it.
    virtual void store(const QString& uri) = 0;
};

// The user's own settings, beside the port that last answered.
class SettingsTeamArchiveSetting final : public ITeamArchiveSetting {
public:
    SettingsTeamArchiveSetting() = default;
    // An INI file of the caller's choice (tests use a temporary one).
    explicit SettingsTeamArchiveSetting(QString iniFile) : m_iniFile(std::move(iniFile)) {}
    QString stored() const override;
    void store(const QString& uri) override;

private:
    QString m_iniFile; // empty: the user's settings
};

// The address LOGDUMP_TEAM_ARCHIVE gives, empty when it is not set or empty.
QString teamArchiveVariable();
// The address in use: LOGDUMP_TEAM_ARCHIVE when it is set and not empty, else the stored one;
// empty for no team archive.
QString teamArchiveAddress(const ITeamArchiveSetting& setting);
// Keeps the address (trimmed) unless it cannot be used as given: then the reason, and nothing is
// kept. An empty address removes the team archive.
std::optional<QString> storeTeamArchiveAddress(ITeamArchiveSetting& setting, const QString& uri);

// "Open" on the Team tab, after the team archive gave the download: into the table as a download
// of this computer's archive shows, but saves of it are not recorded in this computer's archive,
// which holds no such entry.
void showTeamDownload(App& app, const ArchivedDownload& download);
// The question about unsaved data before the table is replaced; true when it may be.
bool mayReplaceTable(App& app);
