#pragma once

#include "app/MainView.h"
#include "widgets/main/PortSearchDialog.h"
#include "widgets/main/PortSelector.h"

#include <QMainWindow>
#include <memory>

class App;
class ArchiveWriter;
class IClock;
class IDialogs;
class IPortCatalogue;
class IPortMemory;
class ISerialLine;
class ITeamArchiveSetting;
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QtDialogs;
class TeamPusher;
class ThreadHandOff;
class WorkerThreadRunner;

// The main window: shows the log table, the progress and the messages, and hands every event to
// the core's handlers.
class MainWindow final : public QMainWindow, public IMainView {
    Q_OBJECT
public:
    MainWindow(ISerialLine& port, IClock& clock, const QStringList& arguments,
               QWidget* parent = nullptr);
    // With the boxes and modal windows handed in (tests answer them without blocking).
    MainWindow(ISerialLine& port, IClock& clock, const QStringList& arguments, IDialogs& dialogs,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    App& app() { return *m_app; }
    QtDialogs& dialogs() { return *m_dialogs; }

    // The ports the selector lists and "Find instrument" tries, where the port that answered is
    // remembered, and the lines the search opens. Without it: COM1 to COM4, nothing remembered.
    void usePorts(IPortCatalogue& catalogue, IPortMemory* memory, SearchLineFactory makeLine);

    // Runs the activation steps once (the first time the window is shown).
    void activateOnce();

    // Downloads are recorded into the writer's archive, and "File / Downloads..." lists it.
    void useArchive(ArchiveWriter* writer);
    // At start: a download the program lost before it was saved is offered once.
    void offerUnsavedDownload();
    // "File / Downloads...".
    void showDownloads();
    // The team archive's address is kept in setting; with an archive of downloads the window
    // sends them there in the background, at once and after each download.
    void useTeamArchive(ITeamArchiveSetting* setting);
    // "Options / Team archive...".
    void showTeamArchiveSettings();
    // The one that sends downloads to the team archive; none without an archive of downloads.
    TeamPusher* teamPusher() const { return m_teamPusher.get(); }

    // IMainView
    void clearMessages() override;
    void addMessage(const std::string& line) override;
    void setProgressText(const std::string& text) override;
    void setProgressRange(int max) override;
    void setProgress(int position) override;
    void setReadLogEnabled(bool enabled) override;
    void setGraphEnabled(bool enabled) override;
    void setGraphVisible(bool visible) override;
    void setSaveAsEnabled(bool enabled) override;

    // The controls, for tests and screenshots.
    QTableView* table() const { return m_table; }
    QPushButton* readLogButton() const { return m_readLogButton; }
    QPushButton* graphButton() const { return m_graphButton; }
    PortSelector* portSelector() const { return m_portSelector; }
    QLabel* progressLabel() const { return m_progressLabel; }
    QProgressBar* progressBar() const { return m_progressBar; }
    QPlainTextEdit* messages() const { return m_messages; }
    QAction* saveAsAction() const { return m_saveAsAction; }
    QAction* reportAction() const { return m_reportAction; }
    QAction* printAction() const { return m_printAction; }
    QAction* surveyAction() const { return m_surveyAction; }
    QAction* downloadsAction() const { return m_downloadsAction; }
    QAction* statusDumpAction() const { return m_statusDumpAction; }
    QAction* findAction() const { return m_findAction; }
    QAction* teamArchiveAction() const { return m_teamArchiveAction; }
    QAction* graphAction() const { return m_graphAction; }
    QAction* aboutAction() const { return m_aboutAction; }
    QAction* exitAction() const { return m_exitAction; }
    QPushButton* stopButton() const { return m_stopButton; }
    // True while an exchange with the instrument runs.
    bool running() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow(ISerialLine& port, IClock& clock, const QStringList& arguments, IDialogs* dialogs,
               QWidget* parent);
    void buildControls();
    void buildMenu();
    // A menu command whose handler runs guarded.
    QAction* addCommand(QMenu* menu, const char* text, const char* name,
                        std::function<void()> handler);
    void applyColumnWidths();
    // The table's client area holds its columns; frame and vertical scroll bar come on top.
    void fitTableToColumns();
    void keepNewestRowsInView();
    void readLog();
    void openSavedLog();
    // While an exchange runs: the commands that would start another one or change what is
    // read are closed, and "Stop" shows by the progress bar.
    void setRunning(bool running);
    void applyCommandStates();
    void guarded(const std::function<void()>& handler);
    void findInstrument();
    void editSurveyDetails();

    std::unique_ptr<QtDialogs> m_dialogs;
    std::unique_ptr<App> m_app;
    std::unique_ptr<WorkerThreadRunner> m_runner;
    // The states the commands would have without a run.
    bool m_readLogWanted = true;
    bool m_graphWanted = true;
    bool m_saveAsWanted = true;
    bool m_closeAfterRun = false;
    bool m_activated = false;

    QTableView* m_table = nullptr;
    QPushButton* m_readLogButton = nullptr;
    QPushButton* m_graphButton = nullptr;
    PortSelector* m_portSelector = nullptr;
    QLabel* m_progressLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_stopButton = nullptr;
    QLabel* m_messagesLabel = nullptr;
    QPlainTextEdit* m_messages = nullptr;
    QAction* m_saveAsAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_reportAction = nullptr;
    QAction* m_printAction = nullptr;
    QAction* m_surveyAction = nullptr;
    QAction* m_downloadsAction = nullptr;
    QAction* m_exitAction = nullptr;
    QAction* m_statusDumpAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_findAction = nullptr;
    QAction* m_graphAction = nullptr;
    QAction* m_teamArchiveAction = nullptr;
    SearchLineFactory m_makeSearchLine;
    ITeamArchiveSetting* m_teamSetting = nullptr;
    // The pusher's lines reach the message list through the hand-off; it goes after the pusher.
    std::unique_ptr<ThreadHandOff> m_teamHandOff;
    std::unique_ptr<TeamPusher> m_teamPusher;
};
