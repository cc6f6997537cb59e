#pragma once

#include "archive/TeamArchive.h"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

class App;
class QLabel;
class QLineEdit;
class QTableWidget;

// The Team tab of "File / Downloads...": the team archive's downloads, filtered by serial
// number, technician and date, with the computer and the user that sent each. The list and a
// download come over the network on a thread of the pool; the tab says meanwhile what it waits
// for, and what went wrong.
class TeamDownloadsPanel final : public QWidget {
    Q_OBJECT
public:
    explicit TeamDownloadsPanel(App& app, QWidget* parent = nullptr);

    // The team archive's address; empty: the tab says how to set one up. The server is not
    // asked before the tab is looked at.
    void setAddress(const QString& uri);
    // The tab is looked at: the list is asked for, the first time.
    void ensureLoaded();

    QTableWidget* list() const { return m_list; }
    QLineEdit* serialFilter() const { return m_serial; }
    QLineEdit* userFilter() const { return m_user; }
    QLineEdit* fromFilter() const { return m_from; }
    QLineEdit* toFilter() const { return m_to; }
    QLabel* status() const { return m_status; }
    // True while the list or a download is on its way.
    bool busy() const { return m_busy; }
    bool hasSelection() const { return selected() != nullptr; }

    // Asks the team archive for the list the filters give.
    void reload();
    // The question about unsaved data, then the download chosen into the table.
    void openSelected();

    // A download was put into the table.
    std::function<void(const DownloadSummary&)> onOpened;
    // The selection or the busy state changed.
    std::function<void()> onStateChanged;

private:
    const TeamDownloadSummary* selected() const;
    void setBusy(bool busy);
    void say(const QString& text);
    void showDownloads(std::vector<TeamDownloadSummary> downloads);

    App& m_app;
    QString m_uri;
    std::vector<TeamDownloadSummary> m_downloads;
    QLineEdit* m_serial;
    QLineEdit* m_user;
    QLineEdit* m_from;
    QLineEdit* m_to;
    QTableWidget* m_list;
    QLabel* m_status;
    QTimer m_filterPause; // typing in a filter asks the server once, not at every key
    bool m_busy = false;
    bool m_asked = false; // the list was asked for since the address was given
    int m_requests = 0;   // an answer to an earlier request is dropped
};
