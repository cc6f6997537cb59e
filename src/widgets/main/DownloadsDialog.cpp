#include "widgets/main/DownloadsDialog.h"

#include "app/App.h"
#include "app/Downloads.h"
#include "app/HandlerGuard.h"
#include "archive/Archive.h"
#include "archive/ArchiveError.h"
#include "text/Cp1252.h"
#include "widgets/main/DownloadList.h"
#include "widgets/main/TeamDownloadsPanel.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QStringList kColumns = {QStringLiteral("Date and time"), QStringLiteral("Model"),
                              QStringLiteral("Serial number"), QStringLiteral("Records"),
                              QStringLiteral("Ended"),         QStringLiteral("Last saved to")};
}

DownloadsDialog::DownloadsDialog(App& app, const QString& archivePath, QWidget* parent)
    : QDialog(parent), m_app(app), m_filter(new QLineEdit(this)),
      m_list(new QTableWidget(0, static_cast<int>(kColumns.size()), this)),
      m_problem(new QLabel(this)), m_openButton(new QPushButton(QStringLiteral("&Open"), this)),
      m_deleteButton(new QPushButton(QStringLiteral("&Delete"), this)),
      m_tabs(new QTabWidget(this)), m_team(new TeamDownloadsPanel(app, this)) {
    setWindowTitle(QStringLiteral("Downloads"));
    resize(760, 420);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(QStringLiteral("Serial number:"), this));
    m_filter->setPlaceholderText(QStringLiteral("all"));
    m_filter->setClearButtonEnabled(true);
    filterRow->addWidget(m_filter, 1);
    setUpDownloadList(*m_list, kColumns);
    m_problem->setWordWrap(true);
    m_problem->setVisible(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_openButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_deleteButton, QDialogButtonBox::ActionRole);
    auto* local = new QWidget(this);
    auto* localLayout = new QVBoxLayout(local);
    localLayout->addLayout(filterRow);
    localLayout->addWidget(m_list, 1);
    localLayout->addWidget(m_problem);
    m_tabs->setObjectName(QStringLiteral("downloadsTabs"));
    m_tabs->addTab(local, QStringLiteral("This computer"));
    m_tabs->addTab(m_team, QStringLiteral("Team"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(buttons);
    m_team->onStateChanged = [this] { selectionChanged(); };
    m_team->onOpened = [this](const DownloadSummary& download) {
        m_opened = download;
        accept();
    };
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (m_tabs->currentWidget() == m_team)
            m_team->ensureLoaded();
        selectionChanged();
    });

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { reload(); });
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { openSelected(); });
    connect(m_openButton, &QPushButton::clicked, this, [this] { openSelected(); });
    connect(m_deleteButton, &QPushButton::clicked, this, [this] { deleteSelected(); });

    try {
        // A connection of this window's own: another window's going must not close it.
        m_archive = std::make_unique<Archive>(archivePath,
                                              QStringLiteral("logdump-archive-window-%1")
                                                  .arg(reinterpret_cast<quintptr>(this), 0, 16));
    } catch (const ArchiveError& e) {
        m_problem->setText(fromCp1252(e.what()));
        m_problem->setVisible(true);
    }
    reload();
}

DownloadsDialog::~DownloadsDialog() = default;

void DownloadsDialog::useTeamArchive(const QString& uri) {
    m_team->setAddress(uri);
    if (m_tabs->currentWidget() == m_team)
        m_team->ensureLoaded();
}

void DownloadsDialog::reload() {
    m_downloads.clear();
    if (m_archive) {
        try {
            m_downloads = m_archive->list(toCp1252(m_filter->text().trimmed()));
        } catch (const ArchiveError& e) {
            m_problem->setText(fromCp1252(e.what()));
            m_problem->setVisible(true);
        }
    }
    std::vector<QStringList> lines;
    for (const DownloadSummary& download : m_downloads)
        lines.push_back(downloadColumns(download) << download.savedPath);
    fillDownloadList(*m_list, lines);
    selectionChanged();
}

const DownloadSummary* DownloadsDialog::selected() const {
    const int row = selectedDownload(*m_list, m_downloads.size());
    return row < 0 ? nullptr : &m_downloads[static_cast<size_t>(row)];
}

void DownloadsDialog::selectionChanged() {
    if (m_tabs->currentWidget() == m_team) {
        m_openButton->setEnabled(m_team->hasSelection() && !m_team->busy());
        m_deleteButton->setEnabled(false); // the team archive keeps every download
        return;
    }
    const bool any = selected() != nullptr;
    m_openButton->setEnabled(any);
    m_deleteButton->setEnabled(any);
}

void DownloadsDialog::openSelected() {
    if (m_tabs->currentWidget() == m_team) {
        m_team->openSelected();
        return;
    }
    const DownloadSummary* download = selected();
    if (!download || !m_archive)
        return;
    const DownloadSummary chosen = *download;
    bool opened = false;
    runGuarded(m_app.dialogs(),
               [&] { opened = openArchivedDownload(m_app, *m_archive, chosen.id); });
    if (!opened)
        return;
    m_opened = chosen;
    accept();
}

void DownloadsDialog::deleteSelected() {
    const DownloadSummary* download = selected();
    if (!download || !m_archive)
        return;
    const DownloadSummary chosen = *download;
    if (!m_app.dialogs().confirmYesNo("Delete the log read on " +
                                      downloadTime(chosen).toStdString() + " (" +
                                      std::to_string(chosen.records) +
                                      " records) from the archive? It cannot be brought back."))
        return;
    runGuarded(m_app.dialogs(), [&] { m_archive->remove(chosen.id); });
    reload();
}
