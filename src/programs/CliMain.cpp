// logdump-cli: the "Read log" procedure without windows. Boxes and progress go to stderr, the
// table to stdout.
#include "app/App.h"
#include "app/Console.h"
#include "app/HandlerGuard.h"
#include "app/MainWindowLogic.h"
#include "export/SaveAs.h"
#include "graph/GraphBuild.h"
#include "graph/PerformanceClasses.h"
#include "graph/SectionReport.h"
#include "graph/StatisticsReport.h"
#include "link/InstrumentPort.h"
#include "link/PortCatalogue.h"
#include "link/PortSearch.h"
#include "platform/Platform.h"
#include "text/AppError.h"
#include "text/Clock.h"
#include "text/Cp1252.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The table on stdout; a failed write is a failed run.
bool printTable(const LogTable& table, bool stdoutClosed) {
    errno = EBADF;
    if (!stdoutClosed && writeTableText(table, stdout))
        return true;
    std::fprintf(stderr, "Cannot write the table to standard output: %s\n", std::strerror(errno));
    return false;
}

// The section report as the graph window starts ("Stop when low bat" checked) into a CSV file,
// through the file layer every save goes through: the earlier file is replaced only by a whole
// new one.
bool WriteSectionsCsv(const App& app, const QString& path, const RequiredClasses& required) {
    const std::string csv =
        sectionReportCsv(sectionReport(app.table, *app.session.model, true, required));
    const std::string failure = replaceWholeFile(systemFileLayer(), path, csv);
    if (failure.empty())
        return true;
    std::fprintf(stderr, "Cannot write %s: %s\n", path.toLocal8Bit().constData(), failure.c_str());
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool stdoutClosed = platform::holdClosedStdout();
    const platform::FineTimer fineTimer; // the poll steps of the line I/O
    QCoreApplication application(argc, argv);
    QString portName = QStringLiteral("COM1");
    int repeat = 1;
    QString savePath;
    bool statistics = false;
    QString sectionsPath;
    RequiredClasses required = defaultRequiredClasses();
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            printUsage(stdout);
            return std::fflush(stdout) == 0 ? kExitComplete : kExitFailed;
        }
    if (argc == 2 && std::strcmp(argv[1], "ports") == 0)
        return listPorts();
    if (argc < 2 || std::strcmp(argv[1], "read") != 0)
        return usage();
    const char* classOption = nullptr; // the --class given, which needs a report to apply to
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            const std::optional<QString> name = exactName(argv[++i]);
            if (!name)
                return kExitUsage;
            portName = *name;
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc) {
            const std::optional<QString> name = exactName(argv[++i]);
            if (!name)
                return kExitUsage;
            savePath = *name;
        } else if (std::strcmp(argv[i], "--stats") == 0)
            statistics = true;
        else if (std::strcmp(argv[i], "--sections") == 0 && i + 1 < argc) {
            const std::optional<QString> name = exactName(argv[++i]);
            if (!name)
                return kExitUsage;
            sectionsPath = *name;
            if (sectionsPath.isEmpty())
                return usage("--sections needs a file name");
        } else if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc) {
            classOption = argv[++i];
            if (!parseRequiredClasses(classOption, required))
                return usage("Unknown class in " + escapeControlBytes(classOption, true) +
                             "; the classes are " + classNames());
        } else
            return usage();
    }
    if (repeat < 1)
        return usage();
    // The reports the required classes apply to.
    if (classOption && sectionsPath.isEmpty())
        return usage("--class requires --sections");
    // Before the port opens: a name that cannot be saved must not cost a whole download.
    if (!savePath.isEmpty() && !isTableFileName(savePath))
        return usage("Save file must end in .Log, .xls or .xlsx: " +
                     std::string(savePath.toLocal8Bit().constData()));

    InstrumentPort port;
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
        port.setDevicePath(listed ? *listed : QFileInfo(portName).absoluteFilePath());
    }
    port.setPort(portName);

    SystemClock clock;
    ConsoleOutput out(stderr, platform::isTerminal(stderr));
    ConsoleDialogs dialogs(out);
    ConsoleView view(out);
    App app(port, clock, dialogs, view);
    // A first Ctrl+C stops the reading as the window's "Stop" does: what was read is printed
    // and saved, and the status tells it.
    const platform::StopSignalWatch stopWatch(app.stopRequested);
    if (portName.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0 &&
        !findInstrument(port, clock, out, app.stopRequested))
        return stopWatch.signalled() ? kExitInterrupted : kExitFailed;

    // A device that is not there is told as the port tells it ("Unable to open com port" and
    // the system's number); the start's own text would blame another program. Any other
    // failure is left to the start.
    try {
        port.openPort();
    } catch (const PortError& e) {
        if (e.systemError == platform::portErrorNumber(platform::PortFailure::Missing, 0)) {
            out.line(e.what());
            return kExitFailed;
        }
    }
    runGuarded(dialogs, [&] {
        startMainWindow(app, {});
        activateMainWindow(app);
    });
    if (!view.readLogEnabled)
        return kExitFailed;

    // With --repeat the same "Read log" runs again and again in this one process, as a user
    // clicking it all day would; the soak bench watches the process from outside meanwhile.
    ReadLogEnd end = ReadLogEnd::Refused;
    bool failed = true;
    for (int run = 1; run <= repeat && !stopWatch.signalled(); ++run) {
        end = ReadLogEnd::Refused;
        failed = true;
        runGuarded(dialogs, [&] {
            end = readLog(app);
            failed = false;
        });
        out.finishProgress();
        if (failed || (end != ReadLogEnd::Complete && end != ReadLogEnd::Stopped &&
                       end != ReadLogEnd::Incomplete))
            break;
    }
    port.closePort();
    int status = kExitFailed;
    if (failed) {
        // An error after the download's wake-up leaves records the window would let the user
        // save: they are printed and saved all the same, and the status stays a failure.
        if (!view.saveAsEnabled)
            return stopWatch.signalled() ? kExitInterrupted : kExitFailed;
    } else if (end == ReadLogEnd::Complete) {
        status = kExitComplete;
    } else if (end == ReadLogEnd::Stopped) {
        status = kExitStopped;
    } else if (end == ReadLogEnd::Incomplete) {
        status = kExitIncomplete;
    } else {
        // Nothing was read: stdout stays empty.
        return stopWatch.signalled() ? kExitInterrupted : kExitFailed;
    }
    // What was read is saved through the same export as "Save As", however the reading ended.
    if (!savePath.isEmpty()) {
        // The report the graph window writes with its check boxes as they start; like the
        // window's button it needs two records.
        if (statistics && hasGraphRecords(app.table)) {
            bool reported = false;
            runGuarded(dialogs, [&] {
                app.statistics.clear();
                const GraphBuild build = buildGraph(app.table, *app.session.model, GraphOptions());
                if (!build.failure.empty())
                    throw AppError(build.failure);
                writeStatistics(statisticsReport(build, QLocale()), app.statistics);
                reported = true;
            });
            if (!reported)
                status = kExitFailed; // the log is still saved, with what the report got to
        }
        bool saved = false;
        {
            const platform::SaveSignalGuard held;
            runGuarded(dialogs, [&] {
                saveTableToFile(saveSourceOf(app), savePath, systemFileLayer(), &required);
                saved = true;
            });
        }
        if (!saved)
            status = kExitFailed;
    }
    // The section report of what was read; one that cannot be written fails the run, and the
    // table is printed all the same.
    if (!sectionsPath.isEmpty()) {
        const platform::SaveSignalGuard held;
        if (!WriteSectionsCsv(app, sectionsPath, required))
            status = kExitFailed;
    }
    if (!printTable(app.table, stdoutClosed))
        return kExitFailed;
    return stopWatch.signalled() ? kExitInterrupted : status;
}
