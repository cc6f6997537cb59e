#include "app/MainWindowLogic.h"

#include "app/App.h"
#include "app/DownloadRecorder.h"
#include "app/Downloads.h"
#include "app/MemoTap.h"
#include "app/SessionUpdater.h"
#include "graph/GraphBuild.h"
#include "graph/RequiredClassSettings.h"
#include "graph/SectionReport.h"
#include "link/InstrumentPort.h"
#include "link/PortMemory.h"
#include "log/InstrumentModel.h"
#include "log/LogLayout.h"
#include "log/StatusDecoding.h"
#include "report/ReportPainter.h"
#include "report/ReportPdf.h"
#include "service/StatusReport.h"
#include "text/Cp1252.h"
#include "text/UserSettings.h"

#include <optional>

namespace {
// The exchange on the app's runner, or here when it has none. A stop asked before it starts
// ends it at once (a stop signal while the port opened); one asked for it ends with it.
void runExchange(App& app, ReadLogListener* listener, const IExchangeRunner::Exchange& exchange) {
    struct ClearStop {
        std::atomic<bool>& stop;
        ~ClearStop() { stop = false; }
    } clearStop{app.stopRequested};
    try {
        if (app.runner)
            app.runner->run(app.dialogs, listener, exchange);
        else
            exchange(app.dialogs, listener);
    } catch (const PortError&) {
        app.portFailed = true;
        throw;
    }
}

// After a port error the handle is dead even once the adapter is back: the next command opens
// the port anew before its first command, so the user need not choose the port again. One that
// still cannot be opened says so and is tried again next time.
void reopenAfterPortError(App& app) {
    if (!app.portFailed)
        return;
    app.port.closePort();
    app.port.openPort();
    app.portFailed = false;
}

void rememberAnsweringPort(App& app) {
    if (app.portMemory)
        app.portMemory->remember(app.port.port());
}
// The question about unsaved data (false: the user kept it), then "Read log" closed and the
// log reset.
bool beginReadLog(App& app) {
    if (!app.session.dataSaved && !app.dialogs.confirmYesNo("Data not saved - continue?"))
        return false;
    app.view.setReadLogEnabled(false);
    resetLog(app);
    return true;
}

// How a download ended, as the report names it.
std::string downloadOrigin(ReadLogEnd end, bool stoppedByUser) {
    switch (end) {
    case ReadLogEnd::Complete:
        return "Download complete";
    case ReadLogEnd::Incomplete:
        return "Download incomplete: fewer records than announced";
    case ReadLogEnd::Stopped:
        return stoppedByUser ? "Download stopped by the user" : "Download stopped";
    case ReadLogEnd::Declined:
    case ReadLogEnd::Refused:
    case ReadLogEnd::NoConnection:
        break;
    }
    return "No download";
}

// However the run ended, "Read log" opens again, and "Graph" once the table holds records.
void finishReadLog(App& app) {
    app.view.setReadLogEnabled(true);
    if (app.table.rows() > 2)
        app.view.setGraphEnabled(true);
}

} // namespace

void startMainWindow(App& app, const QStringList& arguments) {
    try {
        app.port.openPort();
    } catch (const PortError&) {
        app.dialogs.beep();
        app.view.setReadLogEnabled(false);
        app.dialogs.messageText(QStringLiteral("Unable to open comport: ") + app.port.port() +
                                QStringLiteral("\n\rPort may be opened by another application"));
    }
    app.view.setGraphEnabled(false);
    app.view.setGraphVisible(false);
    if (!arguments.isEmpty()) {
        const QString first = arguments.first().toUpper();
        if (first == QLatin1String("G") || first == QLatin1String("GRAPH")) {
            app.session.productionMode = true;
            app.view.setGraphVisible(true);
        }
    }
}

QStringList argumentsAsGiven(int argc, const char* const argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void activateMainWindow(App& app) {
    resetLog(app);
    app.session.graphViewed = false;
    // Told once, after the reset that empties the list.
    const QString unusable = unusableSettingsFile();
    if (!unusable.isEmpty())
        app.view.addMessage(unusableSettingsNote(unusable));
}

bool mayCloseMainWindow(App& app) {
    if (app.session.dataSaved)
        return true;
    if (!app.dialogs.confirmYesNo("Data not saved - exit anyway?"))
        return false;
    app.port.closePort();
    return true;
}

bool choosePort(App& app, const QString& name) {
    app.port.closePort();
    app.port.setPort(name);
    try {
        app.port.openPort();
        app.portFailed = false;
        app.view.setReadLogEnabled(true);
        return true;
    } catch (const PortError&) {
        app.view.setReadLogEnabled(false);
        app.port.closePort();
        app.dialogs.messageText(QStringLiteral("Error opning: ") + name);
        return false;
    }
}

void resetLog(App& app) {
    Session& s = app.session;
    LogTable& t = app.table;
    s.logCount = 0;
    s.model = &unknownModel();
    s.identLine.clear();
    s.serialLine.clear();
    // The details and the origin belong to the log they were given for.
    s.survey = SurveyDetails();
    s.logOrigin.clear();
    app.archived.reset();
    app.view.setSaveAsEnabled(false);
    app.view.clearMessages();
    // A statistics report belongs to the log it came from; it must not be saved with the next.
    app.statistics.clear();
    t.clearCells();
    t.setEnabled(false);
    s.dataSaved = true;
    t.setCols(8);
    t.clearCells();
    t.setRows(2);
    // Until an identification names the model, the table takes both kinds of record.
    applyLayout(t, kCombinedLayout, s.model->valueName);
    t.setRows(2);
    app.view.setProgressText("");
    app.view.setProgressRange(s.logCount);
    app.view.setProgress(0);
}

ReadLogEnd readLog(App& app, const DownloadLimits& limits) {
    reopenAfterPortError(app);
    if (!beginReadLog(app))
        return ReadLogEnd::Declined;
    MemoTap memo(app.view);
    SessionUpdater updater(app.session, app.table,
                           app.archive ? static_cast<IMainView&>(memo) : app.view, app.port,
                           app.portMemory);
    std::optional<DownloadRecorder> recorder;
    if (app.archive)
        recorder.emplace(app, *app.archive, updater, memo);
    ReadLogListener& listener = recorder ? static_cast<ReadLogListener&>(*recorder) : updater;
    ReadLogEnd end = ReadLogEnd::Refused;
    bool stoppedByUser = false;
    try {
        const bool afterUserStop = app.logStoppedByUser;
        app.logStoppedByUser = false;
        // Records an error leaves in the table are kept; their report says how they came.
        app.session.logOrigin = "Download ended by an error";
        runExchange(app, &listener, [&](IDialogs& dialogs, ReadLogListener* listener) {
            end = runReadLog(app.line, dialogs, *listener, limits, afterUserStop);
            stoppedByUser = end == ReadLogEnd::Stopped && app.stopRequested;
        });
        app.logStoppedByUser = stoppedByUser;
        app.session.logOrigin = downloadOrigin(end, stoppedByUser);
    } catch (...) {
        if (recorder)
            recorder->finish(DownloadEnding::Error);
        finishReadLog(app);
        throw;
    }
    if (recorder)
        recorder->finish(end == ReadLogEnd::Complete     ? DownloadEnding::Complete
                         : end == ReadLogEnd::Incomplete ? DownloadEnding::Incomplete
                         : end != ReadLogEnd::Stopped    ? DownloadEnding::Error
                         : stoppedByUser                 ? DownloadEnding::Stopped
                                                         : DownloadEnding::Bound);
    finishReadLog(app);
    return end;
}

void requestStatusDump(App& app) {
    reopenAfterPortError(app);
    Handshake check;
    runExchange(app, nullptr,
                [&](IDialogs&, ReadLogListener*) { check = checkConnection(app.line); });
    for (int i = 0; i < check.cutReplies; ++i)
        app.view.addMessage(cutReplyNote());
    if (check.stopped)
        return; // the user stopped it: no box
    // Left to the handler guard: the general error box shows it with a full stop.
    if (!check.answered)
        throw DialogueError("No connection with instrument");
    rememberAnsweringPort(app);
    if (!app.dialogs.confirmOkCancel(kStatusDumpQuestion))
        return;
    app.dialogs.showModal(ModalWindow::StatusDump);
}

void openGraph(App& app) {
    if (!hasGraphRecords(app.table))
        return;
    app.session.graphViewed = true;
    app.dialogs.showModal(ModalWindow::Graph);
}

void requestStop(App& app) {
    app.stopRequested = true;
}

SaveSource saveSourceOf(App& app) {
    return {app.table, app.session, app.statistics,
            [&app](const RequiredClasses& required) {
                return sectionReport(app.table, *app.session.model, true, required);
            },
            &userRequiredClasses()};
}

namespace {
// The file layer of the system, with the file a save opened kept for the archive.
class OpenedFileTap final : public IFileLayer {
public:
    std::unique_ptr<IAppendFile> openForAppend(const QString& path, int& errorNumber) override {
        auto file = systemFileLayer().openForAppend(path, errorNumber);
        if (file)
            opened = path;
        return file;
    }
    std::unique_ptr<IReplacingFile> openForReplace(const QString& path, int& errorNumber) override {
        auto file = systemFileLayer().openForReplace(path, errorNumber);
        if (file)
            opened = path;
        return file;
    }
    QString opened;
};
} // namespace

void saveLogAs(App& app) {
    OpenedFileTap files;
    saveAs(saveSourceOf(app), app.dialogs, files, QString::fromLatin1(kWorkFolder));
    // A save that failed threw past here; one the user cancelled opened nothing.
    if (!files.opened.isEmpty())
        recordSave(app, files.opened);
}

ReportContent reportOf(const App& app) {
    return reportContent(app.table, app.session, userRequiredClasses().load(),
                         QDateTime::currentDateTime());
}

void saveReport(App& app, IFileLayer& files) {
    SaveDialogSetup setup;
    setup.defaultSuffix = QStringLiteral("pdf");
    setup.filters = QStringList{QStringLiteral("PDF document (*.pdf)")};
    setup.proposedName = QStringLiteral("report.pdf");
    setup.folder = app.session.saveFolder;
    const std::optional<SaveDialogResult> chosen = app.dialogs.saveFile(setup);
    if (!chosen)
        return;
    const BusyCursor busy(app.dialogs);
    writeReportFile(reportPdf(reportOf(app), reportPageSize(QLocale())), chosen->fileName, files);
}

void explainStatus(App& app, int col, int row) {
    if (!isStatusCell(app.table, col, row))
        return;
    app.dialogs.message(decodeStatus(*app.session.model, app.table.cell(col, row)));
}

std::optional<std::string> cellHint(const App& app, int col, int row) {
    if (!isStatusCell(app.table, col, row))
        return std::nullopt;
    return std::string("Click to see warning/error");
}

bool beginPortSearch(App& app) {
    const bool wasOpen = app.port.connected();
    app.port.closePort();
    return wasOpen;
}

void endPortSearch(App& app, const std::optional<QString>& found, bool stopped, bool wasOpen) {
    if (found) {
        choosePort(app, *found);
        if (app.port.connected())
            rememberAnsweringPort(app);
        return;
    }
    if (!stopped)
        app.dialogs.message("No instrument found");
    if (wasOpen) {
        try {
            app.port.openPort();
        } catch (const PortError&) {
            // Taken by another program meanwhile: as at start, "Read log" waits for a free one.
            app.view.setReadLogEnabled(false);
        }
    }
}
