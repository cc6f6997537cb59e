#include "widgets/main/TeamDownloadsPanel.h"

#include "app/App.h"
#include "app/Downloads.h"
#include "app/HandlerGuard.h"
#include "app/TeamArchiveSetting.h"
#include "archive/ArchiveError.h"
#include "text/Cp1252.h"
#include "widgets/main/BackgroundCall.h"
#include "widgets/main/DownloadList.h"

#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>
#include <atomic>
#include <optional>

namespace {

const QStringList kColumns = {QStringLiteral("Date and time"), QStringLiteral("Model"),
                              QStringLiteral("Serial number"), QStringLiteral("Records"),
                              QStringLiteral("Ended"),         QStringLiteral("Computer"),
                              QStringLiteral("User")};

constexpr int kFilterPauseMs = 400;

// A connection of its own for each request: each runs on whichever pool thread is free.
QString connectionName() {
    static std::atomic<int> requests{0};
    return QStringLiteral("logdump-team-browse-%1").arg(++requests);
}

struct ListAnswer {
    std::vector<TeamDownloadSummary> downloads;
    std::optional<QString> failure;
};

struct LoadAnswer {
    std::optional<ArchivedDownload> download;
    std::optional<QString> failure;
};

// A date filter as typed: empty, or yyyy-MM-dd.
bool dateFilterValid(const QString& text) {
    return text.isEmpty() || QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).isValid();
}

QLineEdit* filterEdit(QWidget* parent, const char* name, const QString& placeholder) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    return edit;
}

} // namespace

TeamDownloadsPanel::TeamDownloadsPanel(App& app, QWidget* parent)
    : QWidget(parent), m_app(app),
      m_serial(filterEdit(this, "teamSerialFilter", QStringLiteral("all"))),
      m_user(filterEdit(this, "teamUserFilter", QStringLiteral("all"))),
      m_from(filterEdit(this, "teamFromFilter", QStringLiteral("yyyy-mm-dd"))),
      m_to(filterEdit(this, "teamToFilter", QStringLiteral("yyyy-mm-dd"))),
      m_list(new QTableWidget(0, static_cast<int>(kColumns.size()), this)),
      m_status(new QLabel(this)) {
    setObjectName(QStringLiteral("teamDownloadsPanel"));
    m_list->setObjectName(QStringLiteral("teamDownloadsList"));
    m_status->setObjectName(QStringLiteral("teamDownloadsStatus"));
    for (QLineEdit* date : {m_from, m_to})
        date->setMinimumWidth(date->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) +
                              40); // room for the clear button
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(QStringLiteral("Serial number:"), this));
    filterRow->addWidget(m_serial, 2);
    filterRow->addWidget(new QLabel(QStringLiteral("Technician:"), this));
    filterRow->addWidget(m_user, 2);
    filterRow->addWidget(new QLabel(QStringLiteral("From:"), this));
    filterRow->addWidget(m_from, 1);
    filterRow->addWidget(new QLabel(QStringLiteral("to:"), this));
    filterRow->addWidget(m_to, 1);
    setUpDownloadList(*m_list, kColumns);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);

    m_filterPause.setSingleShot(true);
    m_filterPause.setInterval(kFilterPauseMs);
    connect(&m_filterPause, &QTimer::timeout, this, [this] { reload(); });
    for (QLineEdit* edit : {m_serial, m_user, m_from, m_to})
        connect(edit, &QLineEdit::textChanged, &m_filterPause, qOverload<>(&QTimer::start));
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this] {
        if (onStateChanged)
            onStateChanged();
    });
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { openSelected(); });
    setAddress(QString());
}

void TeamDownloadsPanel::setAddress(const QString& uri) {
    m_uri = uri;
    m_asked = false;
    ++m_requests; // an answer from the former address is not shown
    m_busy = false;
    for (QWidget* widget : std::initializer_list<QWidget*>{m_serial, m_user, m_from, m_to, m_list})
        widget->setEnabled(!uri.isEmpty());
    if (uri.isEmpty()) {
        showDownloads({});
        say(QStringLiteral("No team archive is set. \"Options / Team archive...\" in the main "
                           "window sets its address (or the environment variable %1); then "
                           "every download of every computer that sends to it is listed here.")
                .arg(QLatin1String(kTeamArchiveVariable)));
        return;
    }
    say(QString());
}

void TeamDownloadsPanel::ensureLoaded() {
    if (!m_asked)
        reload();
}

void TeamDownloadsPanel::say(const QString& text) {
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

void TeamDownloadsPanel::setBusy(bool busy) {
    m_busy = busy;
    if (onStateChanged)
        onStateChanged();
}

void TeamDownloadsPanel::reload() {
    m_filterPause.stop();
    if (m_uri.isEmpty())
        return;
    m_asked = true;
    const QString from = m_from->text().trimmed();
    const QString to = m_to->text().trimmed();
    if (!dateFilterValid(from) || !dateFilterValid(to)) {
        say(QStringLiteral("Dates as yyyy-mm-dd, for example %1.")
                .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
        return;
    }
    TeamFilter filter;
    filter.serial = toCp1252(m_serial->text().trimmed());
    filter.user = m_user->text().trimmed();
    filter.from = from;
    filter.to = to;
    const int request = ++m_requests;
    setBusy(true);
    say(QStringLiteral("Asking the team archive..."));
    runInBackground<TeamDownloadsPanel, ListAnswer>(
        this,
        [uri = m_uri, filter] {
            ListAnswer answer;
            try {
                TeamArchive team(uri, connectionName());
                answer.downloads = team.list(filter);
            } catch (const std::exception& e) {
                answer.failure = fromCp1252(e.what());
            }
            return answer;
        },
        [this, request](ListAnswer answer) {
            if (request != m_requests)
                return;
            showDownloads(std::move(answer.downloads));
            say(answer.failure ? *answer.failure
                               : QStringLiteral("%1 downloads in the team archive%2.")
                                     .arg(m_downloads.size())
                                     .arg(m_serial->text().isEmpty() && m_user->text().isEmpty() &&
                                                  m_from->text().isEmpty() && m_to->text().isEmpty()
                                              ? QString()
                                              : QStringLiteral(" match the filter")));
            setBusy(false);
        });
}

void TeamDownloadsPanel::showDownloads(std::vector<TeamDownloadSummary> downloads) {
    m_downloads = std::move(downloads);
    std::vector<QStringList> lines;
    for (const TeamDownloadSummary& team : m_downloads)
        lines.push_back(downloadColumns(team.download) << team.computer << team.user);
    fillDownloadList(*m_list, lines);
    if (onStateChanged)
        onStateChanged();
}

const TeamDownloadSummary* TeamDownloadsPanel::selected() const {
    const int row = selectedDownload(*m_list, m_downloads.size());
    return row < 0 ? nullptr : &m_downloads[static_cast<size_t>(row)];
}

void TeamDownloadsPanel::openSelected() {
    const TeamDownloadSummary* chosen = selected();
    if (!chosen || m_busy)
        return;
    const DownloadSummary summary = chosen->download;
    bool replace = false;
    runGuarded(m_app.dialogs(), [&] { replace = mayReplaceTable(m_app); });
    if (!replace)
        return;
    const int request = ++m_requests;
    setBusy(true);
    say(QStringLiteral("Fetching the download from the team archive..."));
    runInBackground<TeamDownloadsPanel, LoadAnswer>(
        this,
        [uri = m_uri, id = summary.id] {
            LoadAnswer answer;
            try {
                TeamArchive team(uri, connectionName());
                answer.download = team.load(id);
                if (!answer.download)
                    answer.failure =
                        QStringLiteral("Team archive: the download is no longer there");
            } catch (const std::exception& e) {
                answer.failure = fromCp1252(e.what());
            }
            return answer;
        },
        [this, request, summary](LoadAnswer answer) {
            if (request != m_requests)
                return;
            setBusy(false);
            if (answer.failure) {
                say(*answer.failure);
                return;
            }
            say(QString());
            runGuarded(m_app.dialogs(), [&] { showTeamDownload(m_app, *answer.download); });
            if (onOpened)
                onOpened(summary);
        });
}
