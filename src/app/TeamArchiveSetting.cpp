#include "app/TeamArchiveSetting.h"

#include "app/App.h"
#include "app/Downloads.h"
#include "archive/TeamArchive.h"
#include "text/UserSettings.h"

#include <QSettings>

namespace {

constexpr const char* kTeamArchiveKey = "TeamArchive";

} // namespace

QString SettingsTeamArchiveSetting::stored() const {
    const auto settings = openUserSettings(m_iniFile);
    if (!settings || settings->status() != QSettings::NoError)
        return QString();
    const QVariant value = settings->value(QLatin1String(kTeamArchiveKey));
    return value.typeId() == QMetaType::QString ? value.toString().trimmed() : QString();
}

void SettingsTeamArchiveSetting::store(const QString& uri) {
    const auto settings = openUserSettings(m_iniFile);
    // Never overwrite a file that could not be read: it may hold what another version keeps.
    if (!settings || settings->status() != QSettings::NoError)
        return;
    if (uri.isEmpty())
        settings->remove(QLatin1String(kTeamArchiveKey));
    else
        settings->setValue(QLatin1String(kTeamArchiveKey), uri);
    settings->sync();
}

QString teamArchiveVariable() {
    return qEnvironmentVariable(kTeamArchiveVariable).trimmed();
}

QString teamArchiveAddress(const ITeamArchiveSetting& setting) {
    const QString variable = teamArchiveVariable();
    return variable.isEmpty() ? setting.stored() : variable;
}

std::optional<QString> storeTeamArchiveAddress(ITeamArchiveSetting& setting, const QString& uri) {
    const QString address = uri.trimmed();
    if (!address.isEmpty())
        if (std::optional<QString> problem = teamAddressProblem(address))
            return problem;
    setting.store(address);
    return std::nullopt;
}

void showTeamDownload(App& app, const ArchivedDownload& download) {
    showArchivedDownload(app, download);
    // Its id is the team archive's: a save recorded under it would land on another download.
    app.setArchived(nullptr);
}

bool mayReplaceTable(App& app) {
    return app.session().dataSaved || app.dialogs().confirmYesNo("Data not saved - continue?");
}
