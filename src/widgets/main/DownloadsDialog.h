#pragma once

#include "archive/ArchivedDownload.h"

#include <QDialog>
#include <memory>
#include <optional>
#include <vector>

class App;
class Archive;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;
class TeamDownloadsPanel;

// "File / Downloads...": the archive's downloads, newest first, filtered by serial number; Open
// puts the one chosen into the table, Delete removes it for good after a question. The Team tab
// lists the team archive's downloads, which open the same way and are never deleted from here.
class DownloadsDialog final : public QDialog {
    Q_OBJECT
public:
    DownloadsDialog(App& app, const QString& archivePath, QWidget* parent = nullptr);
    ~DownloadsDialog() override;

    // The download opened into the table, when one was.
    const std::optional<DownloadSummary>& opened() const { return m_opened; }

    QTableWidget* list() const { return m_list; }
    QLineEdit* filter() const { return m_filter; }
    QPushButton* openButton() const { return m_openButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }
    QLabel* problem() const { return m_problem; }
    QTabWidget* tabs() const { return m_tabs; }
    TeamDownloadsPanel* teamPanel() const { return m_team; }

    // The team archive's address for the Team tab; empty: the tab says how to set one up.
    void useTeamArchive(const QString& uri);

    void reload();
    void openSelected();
    void deleteSelected();

private:
    const DownloadSummary* selected() const;
    void selectionChanged();

    App& m_app;
    std::unique_ptr<Archive> m_archive;
    std::vector<DownloadSummary> m_downloads;
    std::optional<DownloadSummary> m_opened;
    QLineEdit* m_filter;
    QTableWidget* m_list;
    QLabel* m_problem;
    QPushButton* m_openButton;
    QPushButton* m_deleteButton;
    QTabWidget* m_tabs;
    TeamDownloadsPanel* m_team;
};
