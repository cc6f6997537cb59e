// logdump-cli: the "Read log" procedure without windows. Boxes and progress go to stderr, the
// table to stdout.
#include "app/App.h"
#include "app/Commands.h"
#include "app/Console.h"
#include "app/Downloads.h"
#include "app/HandlerGuard.h"
#include "app/OpenLog.h"
#include "archive/Archive.h"
#include "archive/ArchiveError.h"
#include "archive/ArchiveWriter.h"
#include "archive/TeamArchive.h"
#include "export/LogFileReader.h"
#include "export/SaveAs.h"
#include "graph/GraphBuild.h"
#include "graph/PerformanceClasses.h"
#include "graph/SectionReport.h"
#include "graph/StatisticsReport.h"
#include "link/InstrumentPort.h"
#include "link/PortCatalogue.h"
#include "link/PortSearch.h"
#include "platform/Platform.h"
#include "report/ReportPainter.h"
#include "report/ReportPdf.h"
#include "text/AppError.h"
#include "text/Clock.h"
#include "text/Cp1252.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

namespace {

// Exit statuses.
constexpr int kExitComplete = 0;
constexpr int kExitFailed = 1; // refused, no answer, port or data error
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 3;    // a bound stopped the reading; the table is incomplete
constexpr int kExitIncomplete = 4; // read to its end, fewer records than the instrument announced
constexpr int kExitInterrupted = 130; // stopped by SIGINT or SIGTERM, as the shells count it

void printUsage(std::FILE* stream) {
    std::fputs("usage: logdump-cli read [--port COM1|PATH|auto] [--repeat N]\n"
               "                        [--save FILE.Log|FILE.xls|FILE.xlsx [--stats]]\n"
               "                        [--sections FILE.csv [--class R2,Q2]]\n"
               "                        [--report FILE.pdf [--class R2,Q2] [--project TEXT]\n"
               "                         [--road TEXT] [--direction TEXT] [--operator TEXT]\n"
               "                         [--notes TEXT]]\n"
               "       logdump-cli open FILE [--block N] [--save ...] [--stats]\n"
               "                        [--sections ...] [--report ...] [--class ...]\n"
               "       logdump-cli open FILE.Log --list\n"
               "       logdump-cli archive list [--archive PATH | --team [URI]]\n"
               "       logdump-cli archive show ID [--archive PATH | --team [URI]] [--save ...]\n"
               "                        [--stats] [--sections ...] [--report ...] [--class ...]\n"
               "       logdump-cli archive push [--archive PATH] [--team URI]\n"
               "       (read takes --archive PATH or --no-archive too; --team alone, or push\n"
               "        without it, takes the team archive LOGDUMP_TEAM_ARCHIVE names)\n"
               "       logdump-cli ports\n"
               "       logdump-cli --help\n",
               stream);
}

// Wrong usage: the reason, if there is one, then the usage, both on stderr.
int usage(const std::string& reason = std::string()) {
    if (!reason.empty())
        std::fprintf(stderr, "%s\n", reason.c_str());
    printUsage(stderr);
    return kExitUsage;
}

// The classes --class takes, for the message about one it does not know.
std::string classNames() {
    std::string names;
    for (Quantity series : kQuantities)
        for (const PerformanceClass& c : performanceClasses(series))
            names += (names.empty() ? "" : ", ") + c.name;
    return names;
}

// `logdump-cli ports`: the ports the system reports, one TAB-separated line each.
int listPorts() {
    for (const PortInfo& port : makePortCatalogue()->ports()) {
        const QByteArray line = portListLine(port).toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
        std::fputc('\n', stdout);
    }
    return std::fflush(stdout) == 0 ? kExitComplete : kExitFailed;
}

// `--port auto`: the selector's ports are tried in turn; the line stays open on the first that
// answers the handshake.
bool findInstrument(InstrumentPort& port, IClock& clock, ConsoleOutput& out,
                    const std::atomic<bool>& stop) {
    port.setDevicePath(QString()); // each port opens by its own name
    const std::optional<QString> found = findAnsweringPort(
        port, clock, selectorPorts(makePortCatalogue()->ports()),
        [&](int index, int count, const QString& name) {
            if (stop)
                return false; // Ctrl+C: the search ends before the next port
            out.systemLine(
                QStringLiteral("Trying %1 (%2 of %3)").arg(name).arg(index + 1).arg(count));
            return true;
        });
    if (!found) {
        if (!stop)
            out.line("No instrument found");
        return false;
    }
    out.systemLine(QStringLiteral("Instrument found on %1").arg(*found));
    return true;
}

// The device of a port the system lists under this bare name, if it lists one.
std::optional<QString> listedDevice(const QString& name) {
    if (name.contains(QLatin1Char('/')))
        return std::nullopt;
    for (const PortInfo& port : makePortCatalogue()->ports())
        if (port.name == name)
            return port.device; // empty: the name opens it, as in the selector
    return std::nullopt;
}

// A file or device name from the command line, or nothing when its bytes do not survive the
// decoding: such a name would open or create a file of another name.
std::optional<QString> exactName(const char* argument) {
    const QString name = QString::fromLocal8Bit(argument);
    if (QFile::encodeName(name) != QByteArray(argument)) {
        std::fprintf(stderr, "Name not valid in the system's encoding: %s\n",
                     escapeControlBytes(argument, true).c_str());
        return std::nullopt;
    }
    return name;
}

// A text on stdout; a failed write is a failed run.
int printText(const std::string& text, bool stdoutClosed) {
    const bool written = !stdoutClosed &&
                         std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                         std::fflush(stdout) == 0;
    return written ? kExitComplete : kExitFailed;
}

// The table on stdout; a failed write is a failed run.
bool printTable(const LogTable& table, bool stdoutClosed) {
    errno = EBADF;
    if (!stdoutClosed && writeTableText(table, stdout))
        return true;
    std::fprintf(stderr, "Cannot write the table to standard output: %s\n", std::strerror(errno));
    return false;
}

// The report's fonts need Qt's GUI side; it draws offscreen, as no window is ever shown.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report") == 0) {
#ifndef Q_OS_WIN
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
            return std::make_unique<QGuiApplication>(argc, argv);
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

// An output file written while a stop signal waits; one that cannot be written is told and fails
// the run. Every write goes through the file layer: the earlier file stays when it fails.
bool writeFile(const QString& path, const std::function<void()>& write) {
    const platform::SaveSignalGuard held;
    try {
        write();
        return true;
    } catch (const AppError& e) {
        std::fprintf(stderr, "Cannot write %s: %s\n", path.toLocal8Bit().constData(), e.what());
        return false;
    }
}

// The console's boxes and view on stderr, and the App they serve. A log from a file or the
// archive never opens the port.
struct ConsoleApp {
    ConsoleOutput out{stderr, platform::isTerminal(stderr)};
    ConsoleDialogs dialogs{out};
    ConsoleView view{out};
    InstrumentPort port;
    SystemClock clock;
    App app{port, clock, dialogs, view};
};

// What a run writes once its table is there: the log saved, the section report, the table.
struct Outputs {
    QString savePath;
    bool statistics = false;
    QString sectionsPath;
    RequiredClasses required = defaultRequiredClasses();
    QString reportPath;
    SurveyDetails survey;
    bool classGiven = false; // --class needs a report to apply to
};

enum class Option { Other, Taken, Refused };

// Takes the option at argv[i] (and its value) when it is one of the outputs. Refused: its value
// is not valid, and the reason is told.
Option takeOutputOption(int& i, int argc, char* argv[], Outputs& outputs) {
    const auto name = [&](QString& target) {
        const std::optional<QString> given = exactName(argv[++i]);
        if (!given)
            return Option::Refused;
        target = *given;
        return Option::Taken;
    };
    if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc)
        return name(outputs.savePath);
    if (std::strcmp(argv[i], "--sections") == 0 && i + 1 < argc) {
        if (name(outputs.sectionsPath) == Option::Refused)
            return Option::Refused;
        if (!outputs.sectionsPath.isEmpty())
            return Option::Taken;
        usage("--sections needs a file name");
        return Option::Refused;
    }
    if (std::strcmp(argv[i], "--stats") == 0) {
        outputs.statistics = true;
        return Option::Taken;
    }
    if (std::strcmp(argv[i], "--report") == 0 && i + 1 < argc)
        return name(outputs.reportPath);
    if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc) {
        const char* classes = argv[++i];
        outputs.classGiven = true;
        if (parseRequiredClasses(classes, outputs.required))
            return Option::Taken;
        usage("Unknown class in " + escapeControlBytes(classes, true) + "; the classes are " +
              classNames());
        return Option::Refused;
    }
    SurveyDetails& survey = outputs.survey;
    const std::pair<const char*, QString*> details[] = {{"--project", &survey.project},
                                                        {"--road", &survey.road},
                                                        {"--direction", &survey.direction},
                                                        {"--operator", &survey.operatorName},
                                                        {"--notes", &survey.notes}};
    for (const auto& [option, text] : details) {
        if (std::strcmp(argv[i], option) == 0 && i + 1 < argc) {
            *text = QString::fromLocal8Bit(argv[++i]);
            return Option::Taken;
        }
    }
    return Option::Other;
}

// Outputs that cannot be written are wrong usage, told before anything is read: a --class
// without a report to apply to, a save name the export cannot take.
bool outputsValid(const Outputs& outputs) {
    if (outputs.classGiven && outputs.sectionsPath.isEmpty() && outputs.reportPath.isEmpty()) {
        usage("--class requires --sections or --report");
        return false;
    }
    if (!outputs.savePath.isEmpty() && tableFormatOf(outputs.savePath) == TableFormat::None) {
        usage(kTableNameRule + std::string(outputs.savePath.toLocal8Bit().constData()));
        return false;
    }
    return true;
}

// The log saved and the section report written; the status, turned to a failure by either.
int writeOutputs(App& app, ConsoleDialogs& dialogs, const Outputs& outputs, int status) {
    const RequiredClasses& required = outputs.required;
    // What was read is saved through the same export as "Save As", however the reading ended.
    if (!outputs.savePath.isEmpty()) {
        // The report the graph window writes with its check boxes as they start; like the
        // window's button it needs two records.
        if (outputs.statistics && hasGraphRecords(app.table())) {
            const bool reported = runGuarded(dialogs, [&] {
                app.statistics().clear();
                const GraphBuild build =
                    buildGraph(app.table(), *app.session().model, GraphOptions());
                if (!build.failure.empty())
                    throw AppError(build.failure);
                writeStatistics(statisticsReport(build, QLocale()), app.statistics());
            });
            if (!reported)
                status = kExitFailed; // the log is still saved, with what the report got to
        }
        bool saved = false;
        {
            const platform::SaveSignalGuard held;
            saved = runGuarded(dialogs, [&] {
                saveTableToFile(saveSourceOf(app), outputs.savePath, systemFileLayer(), &required);
            });
        }
        if (!saved)
            status = kExitFailed;
        else
            recordSave(app, outputs.savePath);
    }
    // The section report as the graph window starts ("Stop when low bat" checked) and the
    // survey report of what was read; the table is printed all the same.
    const QString& sections = outputs.sectionsPath;
    if (!sections.isEmpty() && !writeFile(sections, [&] {
            const std::string failure = replaceWholeFile(
                systemFileLayer(), sections,
                sectionReportCsv(sectionReport(app.table(), *app.session().model, true, required)));
            if (!failure.empty())
                throw AppError(failure);
        }))
        status = kExitFailed;
    if (!outputs.reportPath.isEmpty()) {
        app.session().survey = outputs.survey; // a new log in the table comes without details
        if (!writeFile(outputs.reportPath, [&] {
                const ReportContent report = reportContent(app.table(), app.session(), required,
                                                           QDateTime::currentDateTime());
                writeReportFile(reportPdf(report, reportPageSize(QLocale())), outputs.reportPath);
            }))
            status = kExitFailed;
    }
    return status;
}

// The status "Read log" ended with, or none when it left nothing to print and save. An error
// after the download's wake-up leaves records the window would let the user save: they are
// printed and saved all the same, and the status stays a failure.
std::optional<int> readStatus(const CommandResult& result) {
    if (result.failed)
        return result.tableToSave ? std::optional<int>(kExitFailed) : std::nullopt;
    switch (result.end) {
    case ReadLogEnd::Complete:
        return kExitComplete;
    case ReadLogEnd::Stopped:
        return kExitStopped;
    case ReadLogEnd::Incomplete:
        return kExitIncomplete;
    default:
        return std::nullopt;
    }
}

// `logdump-cli open FILE`: a saved log into the table as a download of it would put it, then
// the same outputs as `read`; `--list` prints the blocks of a text log instead.
int openSavedFile(int argc, char* argv[], bool stdoutClosed) {
    if (argc < 3)
        return usage();
    const std::optional<QString> path = exactName(argv[2]);
    if (!path)
        return kExitUsage;
    Outputs outputs;
    int block = 0; // the last
    bool list = false;
    for (int i = 3; i < argc; ++i) {
        const Option option = takeOutputOption(i, argc, argv, outputs);
        if (option == Option::Refused)
            return kExitUsage;
        if (option == Option::Taken)
            continue;
        if (std::strcmp(argv[i], "--block") == 0 && i + 1 < argc) {
            block = std::atoi(argv[++i]);
            if (block < 1)
                return usage();
        } else if (std::strcmp(argv[i], "--list") == 0) {
            list = true;
        } else {
            return usage();
        }
    }
    if (!outputsValid(outputs))
        return kExitUsage;
    ConsoleApp console;
    std::vector<SavedLog> logs;
    try {
        logs = readSavedLogs(*path);
    } catch (const AppError& e) {
        console.out.line(e.what());
        return kExitFailed;
    }
    if (list) {
        std::string text = "block\trecords\ttitle\n";
        for (size_t i = 0; i < logs.size(); ++i)
            text += std::to_string(i + 1) + '\t' + std::to_string(logs[i].records()) + '\t' +
                    logs[i].title + '\n';
        return printText(text, stdoutClosed);
    }
    if (block > static_cast<int>(logs.size())) {
        console.out.line(toCp1252(*path) + ": no block " + std::to_string(block) +
                         " (the file holds " + std::to_string(logs.size()) + ")");
        return kExitFailed;
    }
    const SavedLog& log = logs[static_cast<size_t>(block ? block - 1 : logs.size() - 1)];
    showSavedLog(console.app, log, openedFrom(*path));
    const int status = writeOutputs(console.app, console.dialogs, outputs, kExitComplete);
    return printTable(console.app.table(), stdoutClosed) ? status : kExitFailed;
}

// The archive a run uses: --archive PATH, else LOGDUMP_ARCHIVE, else the user's own.
struct ArchiveChoice {
    QString path = Archive::defaultPath();
    bool off = false;
};

// Takes --archive PATH and --no-archive (when noneAllowed); Refused: the name is not valid.
Option takeArchiveOption(int& i, int argc, char* argv[], ArchiveChoice& choice, bool noneAllowed) {
    if (std::strcmp(argv[i], "--archive") == 0 && i + 1 < argc) {
        const std::optional<QString> given = exactName(argv[++i]);
        if (!given)
            return Option::Refused;
        choice.path = *given;
        return Option::Taken;
    }
    if (noneAllowed && std::strcmp(argv[i], "--no-archive") == 0) {
        choice.off = true;
        return Option::Taken;
    }
    return Option::Other;
}

// --team [URI]: the team archive a run uses. A URI follows when the next argument has a "://";
// without one, LOGDUMP_TEAM_ARCHIVE names it.
struct TeamChoice {
    bool given = false;
    QString uri;
};

Option takeTeamOption(int& i, int argc, char* argv[], TeamChoice& choice) {
    if (std::strcmp(argv[i], "--team") != 0)
        return Option::Other;
    choice.given = true;
    if (i + 1 < argc && std::strstr(argv[i + 1], "://"))
        choice.uri = QString::fromLocal8Bit(argv[++i]);
    return Option::Taken;
}

// The address of the team archive: the one given, else LOGDUMP_TEAM_ARCHIVE. Nothing when none
// is set or it cannot be used; the reason is told.
std::optional<QString> teamAddress(const TeamChoice& choice) {
    const QString uri =
        choice.uri.isEmpty() ? qEnvironmentVariable("LOGDUMP_TEAM_ARCHIVE") : choice.uri;
    if (uri.isEmpty()) {
        usage("No team archive: give --team URI or set LOGDUMP_TEAM_ARCHIVE");
        return std::nullopt;
    }
    if (const std::optional<QString> problem = teamAddressProblem(uri)) {
        std::fprintf(stderr, "%s\n", problem->toLocal8Bit().constData());
        return std::nullopt;
    }
    return uri;
}

// `logdump-cli archive push`: what the local archive holds and the team archive does not yet.
int pushCommand(int argc, char* argv[]) {
    ArchiveChoice choice;
    TeamChoice team;
    for (int i = 3; i < argc; ++i) {
        Option option = takeArchiveOption(i, argc, argv, choice, false);
        if (option == Option::Other)
            option = takeTeamOption(i, argc, argv, team);
        if (option == Option::Refused)
            return kExitUsage;
        if (option == Option::Other)
            return usage();
    }
    const std::optional<QString> uri = teamAddress(team);
    if (!uri)
        return kExitUsage;
    try {
        TeamArchive teamArchive(*uri, QStringLiteral("logdump-cli-team"));
        PushOutcome outcome;
        // No local archive yet: nothing is waiting, and none is made just to look.
        if (QFileInfo::exists(choice.path)) {
            Archive local(choice.path, QStringLiteral("logdump-cli"));
            outcome = teamArchive.push(local, teamComputerName(), teamUserName());
        }
        std::fprintf(stderr, "Sent %d, already there %d\n", outcome.sent, outcome.alreadyThere);
        return kExitComplete;
    } catch (const ArchiveError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return kExitFailed;
    }
}

// `logdump-cli archive list --team` and `archive show ID --team`: as for the local archive, the
// list with the computer and the user that sent each download.
int teamBrowseCommand(const TeamChoice& team, bool list, qint64 id, const Outputs& outputs,
                      bool stdoutClosed) {
    const std::optional<QString> uri = teamAddress(team);
    if (!uri)
        return kExitUsage;
    ConsoleApp console;
    std::optional<ArchivedDownload> download;
    std::string text = teamDownloadListHeader();
    try {
        TeamArchive teamArchive(*uri, QStringLiteral("logdump-cli-team"));
        if (list)
            for (const TeamDownloadSummary& line : teamArchive.list())
                text += teamDownloadListLine(line);
        else
            download = teamArchive.load(id);
    } catch (const ArchiveError& e) {
        console.out.line(e.what());
        return kExitFailed;
    }
    if (list)
        return printText(text, stdoutClosed);
    if (!download) {
        console.out.line("No download " + std::to_string(id) + " in the team archive");
        return kExitFailed;
    }
    // The port is never opened: the log comes from the team archive. Its saves are recorded
    // nowhere: its id is the team archive's, no local download's.
    showArchivedDownload(console.app, *download);
    const int status = writeOutputs(console.app, console.dialogs, outputs, kExitComplete);
    return printTable(console.app.table(), stdoutClosed) ? status : kExitFailed;
}

// `logdump-cli archive list` and `logdump-cli archive show ID`.
int archiveCommand(int argc, char* argv[], bool stdoutClosed) {
    if (argc < 3)
        return usage();
    if (std::strcmp(argv[2], "push") == 0)
        return pushCommand(argc, argv);
    const bool list = std::strcmp(argv[2], "list") == 0;
    if (!list && std::strcmp(argv[2], "show") != 0)
        return usage();
    int first = 3;
    qint64 id = 0;
    if (!list) {
        if (argc < 4)
            return usage();
        char* end = nullptr;
        id = std::strtoll(argv[3], &end, 10);
        if (*argv[3] == '\0' || *end != '\0' || id < 1)
            return usage();
        first = 4;
    }
    ArchiveChoice choice;
    TeamChoice team;
    Outputs outputs;
    for (int i = first; i < argc; ++i) {
        Option option = takeArchiveOption(i, argc, argv, choice, false);
        if (option == Option::Other)
            option = takeTeamOption(i, argc, argv, team);
        if (option == Option::Other && !list)
            option = takeOutputOption(i, argc, argv, outputs);
        if (option == Option::Refused)
            return kExitUsage;
        if (option == Option::Other)
            return usage();
    }
    if (!outputsValid(outputs))
        return kExitUsage;
    if (team.given)
        return teamBrowseCommand(team, list, id, outputs, stdoutClosed);
    ConsoleApp console;
    if (list) {
        std::string text = downloadListHeader();
        // No archive yet is an empty one: listing creates nothing.
        if (QFileInfo::exists(choice.path)) {
            try {
                Archive archive(choice.path, QStringLiteral("logdump-cli"));
                for (const DownloadSummary& download : archive.list())
                    text += downloadListLine(download);
            } catch (const ArchiveError& e) {
                console.out.line(e.what());
                return kExitFailed;
            }
        }
        return printText(text, stdoutClosed);
    }
    std::optional<ArchivedDownload> download;
    try {
        if (QFileInfo::exists(choice.path)) {
            Archive archive(choice.path, QStringLiteral("logdump-cli"));
            download = archive.load(id);
        }
    } catch (const ArchiveError& e) {
        console.out.line(e.what());
        return kExitFailed;
    }
    if (!download) {
        console.out.line("No download " + std::to_string(id) + " in the archive " +
                         choice.path.toLocal8Bit().toStdString());
        return kExitFailed;
    }
    ArchiveWriter writer(choice.path); // records the saves made from it
    console.app.setArchive(&writer);
    showArchivedDownload(console.app, *download);
    int status = writeOutputs(console.app, console.dialogs, outputs, kExitComplete);
    writer.flush(std::chrono::seconds(10));
    if (const std::optional<std::string> failure = writer.takeFailure())
        console.out.line(*failure);
    return printTable(console.app.table(), stdoutClosed) ? status : kExitFailed;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool stdoutClosed = platform::holdClosedStdout();
    const platform::FineTimer fineTimer; // the poll steps of the line I/O
    const std::unique_ptr<QCoreApplication> application = makeApplication(argc, argv);
    QString portName = QStringLiteral("COM1");
    int repeat = 1;
    Outputs outputs;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            printUsage(stdout);
            return std::fflush(stdout) == 0 ? kExitComplete : kExitFailed;
        }
    if (argc == 2 && std::strcmp(argv[1], "ports") == 0)
        return listPorts();
    if (argc >= 2 && std::strcmp(argv[1], "open") == 0)
        return openSavedFile(argc, argv, stdoutClosed);
    if (argc >= 2 && std::strcmp(argv[1], "archive") == 0)
        return archiveCommand(argc, argv, stdoutClosed);
    ArchiveChoice archiveChoice;
    if (argc < 2 || std::strcmp(argv[1], "read") != 0)
        return usage();
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            const std::optional<QString> name = exactName(argv[++i]);
            if (!name)
                return kExitUsage;
            portName = *name;
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
        } else if (const Option archiveOption =
                       takeArchiveOption(i, argc, argv, archiveChoice, true);
                   archiveOption != Option::Other) {
            if (archiveOption == Option::Refused)
                return kExitUsage;
        } else {
            const Option option = takeOutputOption(i, argc, argv, outputs);
            if (option != Option::Taken)
                return option == Option::Refused ? kExitUsage : usage();
        }
    }
    if (repeat < 1)
        return usage();
    // Before the port opens: a name that cannot be saved must not cost a whole download.
    if (!outputsValid(outputs))
        return kExitUsage;

    ConsoleApp console;
    // COMn goes through the same mapping as the window's selector, and a name that `ports`
    // lists ("ttyUSB0") opens that port; anything else is a device, a relative path taken from
    // the working directory (the serial library would look it up under /dev). Messages name the
    // port as typed.
    if (!QRegularExpression(QStringLiteral("^COM[0-9]+$"),
                            QRegularExpression::CaseInsensitiveOption)
             .match(portName)
             .hasMatch() &&
        portName.compare(QLatin1String("auto"), Qt::CaseInsensitive) != 0) {
        const std::optional<QString> listed = listedDevice(portName);
        console.port.setDevicePath(listed ? *listed : QFileInfo(portName).absoluteFilePath());
    }
    console.port.setPort(portName);

    // Every download is kept, on the archive's own thread; it is left before the program ends.
    std::optional<ArchiveWriter> archive;
    if (!archiveChoice.off) {
        archive.emplace(archiveChoice.path);
        console.app.setArchive(&*archive);
    }
    // A first Ctrl+C stops the reading as the window's "Stop" does: what was read is printed
    // and saved, and the status tells it.
    const platform::StopSignalWatch stopWatch(console.app.stopRequested());
    if (portName.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0 &&
        !findInstrument(console.port, console.clock, console.out, console.app.stopRequested()))
        return stopWatch.signalled() ? kExitInterrupted : kExitFailed;

    // A device that is not there is told as the port tells it ("Unable to open com port" and
    // the system's number); the start's own text would blame another program. Any other
    // failure is left to the start.
    try {
        console.port.openPort();
    } catch (const PortError& e) {
        if (e.systemError == platform::portErrorNumber(platform::PortFailure::Missing, 0)) {
            console.out.line(e.what());
            return kExitFailed;
        }
    }
    bool opened = false;
    runGuarded(console.dialogs, [&] {
        opened = openPortAtStart(console.app);
        resetLog(console.app); // an empty table, with nothing unsaved to ask about
        noteUnusableSettings(console.app);
    });
    if (!opened)
        return kExitFailed;

    // With --repeat the same "Read log" runs again and again in this one process, as a user
    // clicking it all day would; the soak bench watches the process from outside meanwhile.
    CommandResult result;
    for (int run = 1; run <= repeat && !stopWatch.signalled(); ++run) {
        result = readLog(console.app);
        console.out.finishProgress();
        if (result.failed || !readStatus(result))
            break;
    }
    console.port.closePort();
    // Nothing was read: stdout stays empty.
    const std::optional<int> status = readStatus(result);
    if (!status)
        return stopWatch.signalled() ? kExitInterrupted : kExitFailed;
    const int written = writeOutputs(console.app, console.dialogs, outputs, *status);
    if (!printTable(console.app.table(), stdoutClosed))
        return kExitFailed;
    return stopWatch.signalled() ? kExitInterrupted : written;
}
