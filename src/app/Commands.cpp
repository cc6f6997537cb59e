#include "app/Commands.h"

#include "app/App.h"
#include "app/DownloadRecorder.h"
#include "app/Downloads.h"
#include "app/HandlerGuard.h"
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

void rememberAnsweringPort(App& app) {
    if (app.portMemory())
        app.portMemory()->remember(app.port().port());
}
// The question about unsaved data (false: the user kept it), then "Read log" closed and the
// log reset.
bool beginReadLog(App& app) {
    if (!app.session().dataSaved && !app.dialogs().confirmYesNo("Data not saved - continue?"))
        return false;
    app.view().setReadLogEnabled(false);
    resetLog(app);
    return true;
}

// Runs a command inside the handler guard; the lines it adds to the message list and whether it
// left "Save As" open go into its result.
CommandResult runCommand(App& app,
                         const std::function<void(MemoTap& memo, ReadLogEnd& end)>& command) {
    MemoTap memo(app.view());
    CommandResult result;
    result.failed = !runGuarded(app.dialogs(), [&] { command(memo, result.end); });
    result.tableToSave = memo.saveAsEnabled();
    result.messages = memo.lines();
    return result;
}

// How a download ended, as the archive keeps it and as the report names it.
struct Ending {
    DownloadEnding archived;
    const char* origin;
};
Ending downloadEnding(ReadLogEnd end, bool stoppedByUser) {
    if (end == ReadLogEnd::Complete)
        return {DownloadEnding::Complete, "Download complete"};
    if (end == ReadLogEnd::Incomplete)
        return {DownloadEnding::Incomplete, "Download incomplete: fewer records than announced"};
    if (end != ReadLogEnd::Stopped)
        return {DownloadEnding::Error, "No download"};
    if (stoppedByUser)
        return {DownloadEnding::Stopped, "Download stopped by the user"};
    return {DownloadEnding::Bound, "Download stopped"};
}

// However the run ended, "Read log" opens again, and "Graph" once the table holds records.
void finishReadLog(App& app) {
    app.view().setReadLogEnabled(true);
    if (app.table().rows() > 2)
        app.view().setGraphEnabled(true);
}

} // namespace

void startMainWindow(App& app, const QStringList& arguments) {
    openPortAtStart(app);
    app.view().setGraphEnabled(false);
    app.view().setGraphVisible(false);
    if (!arguments.isEmpty()) {
        const QString first = arguments.first().toUpper();
        if (first == QLatin1String("G") || first == QLatin1String("GRAPH")) {
            app.session().productionMode = true;
            app.view().setGraphVisible(true);
        }
    }
}

bool openPortAtStart(App& app) {
    try {
        app.port().openPort();
        return true;
    } catch (const PortError&) {
        app.dialogs().beep();
        app.view().setReadLogEnabled(false);
        app.dialogs().messageText(QStringLiteral("Unable to open comport: ") + app.port().port() +
                                  QStringLiteral("\n\rPort may be opened by another application"));
        return false;
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
    app.session().graphViewed = false;
    noteUnusableSettings(app);
}

void noteUnusableSettings(App& app) {
    const QString unusable = unusableSettingsFile();
    if (!unusable.isEmpty())
        app.view().addMessage(unusableSettingsNote(unusable));
}

bool mayCloseMainWindow(App& app) {
    if (app.session().dataSaved)
        return true;
    if (!app.dialogs().confirmYesNo("Data not saved - exit anyway?"))
        return false;
    app.port().closePort();
    return true;
}

bool choosePort(App& app, const QString& name) {
    app.port().closePort();
    app.port().setPort(name);
    try {
        app.openPort();
        app.view().setReadLogEnabled(true);
        return true;
    } catch (const PortError&) {
        app.view().setReadLogEnabled(false);
        app.port().closePort();
        app.dialogs().messageText(QStringLiteral("Error opning: ") + name);
        return false;
    }
}

void resetLog(App& app) {
    Session& s = app.session();
    LogTable& t = app.table();
    s.logCount = 0;
    s.model = &unknownModel();
    s.identLine.clear();
    s.serialLine.clear();
    // The details and the origin belong to the log they were given for.
    s.survey = SurveyDetails();
    s.logOrigin.clear();
    app.setArchived(nullptr);
    app.view().setSaveAsEnabled(false);
    app.view().clearMessages();
    // A statistics report belongs to the log it came from; it must not be saved with the next.
    app.statistics().clear();
    t.clearCells();
    t.setEnabled(false);
    s.dataSaved = true;
    t.setCols(8);
    t.setRows(2);
    // Until an identification names the model, the table takes both kinds of record.
    applyLayout(t, kCombinedLayout, s.model->valueName);
    app.view().setProgressText("");
    app.view().setProgressRange(s.logCount);
    app.view().setProgress(0);
}

namespace {
// "Read log" after the question; the run's memo lines pass through memo.
ReadLogEnd download(App& app, MemoTap& memo, const DownloadLimits& limits) {
    app.reopenAfterPortError();
    if (!beginReadLog(app))
        return ReadLogEnd::Declined;
    SessionUpdater updater(app.session(), app.table(), memo, app.dialogs(), app.port(),
                           app.portMemory());
    std::optional<DownloadRecorder> recorder;
    if (app.archive())
        recorder.emplace(app, *app.archive(), updater, memo);
    ReadLogListener& listener = recorder ? static_cast<ReadLogListener&>(*recorder) : updater;
    ReadLogEnd end = ReadLogEnd::Refused;
    Ending ending{DownloadEnding::Error, nullptr};
    bool stoppedByUser = false;
    try {
        const bool afterUserStop = app.logStoppedByUser();
        app.setLogStoppedByUser(false);
        // Records an error leaves in the table are kept; their report says how they came.
        app.session().logOrigin = "Download ended by an error";
        app.runExchange(&listener, [&](ReadLogListener* listener) {
            end = runReadLog(app.line(), *listener, limits, afterUserStop);
            stoppedByUser = end == ReadLogEnd::Stopped && app.stopRequested();
        });
        app.setLogStoppedByUser(stoppedByUser);
        ending = downloadEnding(end, stoppedByUser);
        app.session().logOrigin = ending.origin;
    } catch (...) {
        if (recorder)
            recorder->finish(DownloadEnding::Error);
        finishReadLog(app);
        throw;
    }
    if (recorder)
        recorder->finish(ending.archived);
    finishReadLog(app);
    return end;
}
} // namespace

CommandResult readLog(App& app, const DownloadLimits& limits) {
    return runCommand(app,
                      [&](MemoTap& memo, ReadLogEnd& end) { end = download(app, memo, limits); });
}

CommandResult requestStatusDump(App& app) {
    return runCommand(app, [&](MemoTap& memo, ReadLogEnd& end) {
        app.reopenAfterPortError();
        Handshake check;
        app.runExchange(nullptr,
                        [&](ReadLogListener*) { check = checkConnection(app.line()); });
        for (int i = 0; i < check.cutReplies; ++i)
            memo.addMessage(cutReplyNote());
        if (check.stopped) {
            end = ReadLogEnd::Stopped;
            return; // the user stopped it: no box
        }
        // The general error box shows it with a full stop.
        if (!check.answered) {
            end = ReadLogEnd::NoConnection;
            throw DialogueError("No connection with instrument");
        }
        rememberAnsweringPort(app);
        if (!app.dialogs().confirmOkCancel(kStatusDumpQuestion))
            return;
        app.dialogs().showModal(ModalWindow::StatusDump);
        end = ReadLogEnd::Complete;
    });
}

void openGraph(App& app) {
    if (!hasGraphRecords(app.table()))
        return;
    app.session().graphViewed = true;
    app.dialogs().showModal(ModalWindow::Graph);
}

void requestStop(App& app) {
    app.stopRequested() = true;
}

SaveSource saveSourceOf(App& app) {
    return {app.table(), app.session(), app.statistics(),
            [&app](const RequiredClasses& required) {
                return sectionReport(app.table(), *app.session().model, true, required);
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
    saveAs(saveSourceOf(app), app.dialogs(), files, QString::fromLatin1(kWorkFolder));
    // A save that failed threw past here; one the user cancelled opened nothing.
    if (!files.opened.isEmpty())
        recordSave(app, files.opened);
}

ReportContent reportOf(const App& app) {
    return reportContent(app.table(), app.session(), userRequiredClasses().load(),
                         QDateTime::currentDateTime());
}

void saveReport(App& app, IFileLayer& files) {
    SaveDialogSetup setup;
    setup.defaultSuffix = QStringLiteral("pdf");
    setup.filters = QStringList{QStringLiteral("PDF document (*.pdf)")};
    setup.proposedName = QStringLiteral("report.pdf");
    setup.folder = app.session().saveFolder;
    const std::optional<SaveDialogResult> chosen = app.dialogs().saveFile(setup);
    if (!chosen)
        return;
    const BusyCursor busy(app.dialogs());
    writeReportFile(reportPdf(reportOf(app), reportPageSize(QLocale())), chosen->fileName, files);
}

void explainStatus(App& app, int col, int row) {
    if (!isStatusCell(app.table(), col, row))
        return;
    app.dialogs().message(decodeStatus(*app.session().model, app.table().cell(col, row)));
}

std::optional<std::string> cellHint(const App& app, int col, int row) {
    if (!isStatusCell(app.table(), col, row))
        return std::nullopt;
    return std::string("Click to see warning/error");
}

bool beginPortSearch(App& app) {
    const bool wasOpen = app.port().connected();
    app.port().closePort();
    return wasOpen;
}

CommandResult endPortSearch(App& app, const std::optional<QString>& found, bool stopped,
                            bool wasOpen) {
    return runCommand(app, [&](MemoTap&, ReadLogEnd& end) {
        end = ReadLogEnd::NoConnection;
        if (found) {
            choosePort(app, *found);
            if (app.port().connected()) {
                rememberAnsweringPort(app);
                end = ReadLogEnd::Complete;
            }
            return;
        }
        if (stopped)
            end = ReadLogEnd::Stopped;
        else
            app.dialogs().message("No instrument found");
        if (wasOpen) {
            try {
                app.port().openPort();
            } catch (const PortError&) {
                // Taken by another program meanwhile: as at start, "Read log" waits for a free
                // one.
                app.view().setReadLogEnabled(false);
            }
        }
    });
}
