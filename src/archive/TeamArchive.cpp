#include "archive/TeamArchive.h"

#include "archive/Archive.h"
#include "archive/ArchiveError.h"

std::optional<QString> teamAddressProblem(const QString& uri) {
    if (!uri.startsWith(QLatin1String("postgresql://")) &&
        !uri.startsWith(QLatin1String("postgres://")))
        return QStringLiteral("Team archive: the address is no postgresql:// URI");
    return std::nullopt;
}

TeamArchive::TeamArchive(const QString& uri, const QString& connectionName)
    : m_connection(connectionName) {
    if (const auto problem = teamAddressProblem(uri))
        throw ArchiveError(problem->toStdString());
    throw ArchiveError("Team archive: not available yet");
}

TeamArchive::~TeamArchive() = default;

PushOutcome TeamArchive::push(Archive&, const QString&, const QString&, qint64) {
    return {};
}

std::vector<TeamDownloadSummary> TeamArchive::list(const TeamFilter&) {
    return {};
}

std::optional<ArchivedDownload> TeamArchive::load(qint64) {
    return std::nullopt;
}

int waitingForTeam(Archive&, qint64) {
    return 0;
}

QString downloadHash(const ArchivedDownload&) {
    return QString();
}
