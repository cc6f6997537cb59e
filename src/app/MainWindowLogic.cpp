#include "app/MainWindowLogic.h"

#include "app/App.h"
#include "app/DownloadRecorder.h"
#include "app/Downloads.h"
#include "app/MemoTap.h"
#include "app/SessionUpdater.h"
#include "graph/GraphBuild.h"
#include "graph/SectionReport.h"
#include "link/InstrumentPort.h"
#include "link/PortMemory.h"
#include "log/InstrumentModel.h"
#include "log/LogLayout.h"
#include "log/StatusDecoding.h"
#include "service/StatusReport.h"
#include "text/Cp1252.h"

#include <optional>

namespace {
// The exchange on the app's runner, or here when it has none. A stop asked before it starts
// ends it at once (a stop signal while the port opened); one asked for it ends with it.
void runExchange(App& app, ReadLogListener* listener, const IExchangeRunner::Exchange& exchange) {
    struct ClearStop {
        std::atomic<bool>& stop;
        ~ClearStop() { stop = false; }
    } clearStop{app.stopRequested};
    if (app.runner)
        app.runner->run(app.dialogs, listener, exchange);
    else
        exchange(app.dialogs, listener);
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
        app.dialogs.message("Unable to open comport: " + toCp1252(app.port.port()) +
                            "\n\rPort may be opened by another application");
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
        app.view.setReadLogEnabled(true);
        return true;
    } catch (const PortError&) {
        app.view.setReadLogEnabled(false);
        app.port.closePort();
        app.dialogs.message("Error opning: " + toCp1252(name));
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
        runExchange(app, &listener, [&](IDialogs& dialogs, ReadLogListener* listener) {
            end = runReadLog(app.line, dialogs, *listener, limits, afterUserStop);
            stoppedByUser = end == ReadLogEnd::Stopped && app.stopRequested;
        });
        app.logStoppedByUser = stoppedByUser;
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
    return {app.table, app.session, app.statistics, [&app](const RequiredClasses& required) {
                return sectionReport(app.table, *app.session.model, true, required);
            }};
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
