// logdump-cli: the "Read log" procedure without windows. Boxes and progress go to stderr, the
// table to stdout.
#include "app/App.h"
#include "app/Console.h"
#include "app/HandlerGuard.h"
#include "app/Handlers.h"
#include "export/SaveAs.h"
#include "graph/GraphLogic.h"
#include "graph/HeadlessGraphView.h"
#include "graph/SectionReport.h"
#include "link/ComPort.h"
#include "link/ReadLog.h"
#include "text/Clock.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <dirent.h>
#endif

namespace {

// Exit statuses.
constexpr int kExitComplete = 0;
constexpr int kExitFailed = 1; // refused, no answer, port or data error
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 3; // a bound stopped the reading; the table is incomplete

int usage() {
    std::fputs("usage: logdump-cli read [--port COM1|PATH] [--save FILE.Log|FILE.xls [--stats]]\n"
               "                        [--repeat N]\n"
               "                        [--sections FILE.csv [--class R2,Q2]]\n",
               stderr);
    return kExitUsage;
}

// Resident memory in kB and open file descriptors of this process (-1 where the system does
// not tell), for watching a long-lived process over many runs.
void printResources(int run) {
    long rssKb = -1;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                rssKb = line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    long openFds = -1;
#ifdef Q_OS_LINUX
    if (DIR* fds = opendir("/proc/self/fd")) {
        openFds = 0;
        while (const dirent* entry = readdir(fds))
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(fds))
                ++openFds;
        closedir(fds);
    }
#endif
    std::fprintf(stderr, "run %d: rss_kb=%ld open_fds=%ld\n", run, rssKb, openFds);
    std::fflush(stderr);
}

// The section report as the graph window starts ("Stop when low bat" checked) into a CSV file.
bool WriteSectionsCsv(const App& app, const QString& path, const RequiredClasses& required) {
    const std::string csv = SectionReportCsv(SectionReportOf(app, true, required));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.flush()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", path.toLocal8Bit().constData(),
                     file.errorString().toLocal8Bit().constData());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QString portName = QStringLiteral("COM1");
    int repeat = 1;
    QString savePath;
    bool statistics = false;
    QString sectionsPath;
    RequiredClasses required = DefaultRequiredClasses();
    if (argc < 2 || std::strcmp(argv[1], "read") != 0)
        return usage();
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            portName = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc)
            savePath = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--stats") == 0)
            statistics = true;
        else if (std::strcmp(argv[i], "--sections") == 0 && i + 1 < argc)
            sectionsPath = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc) {
            if (!ParseRequiredClasses(argv[++i], required))
                return usage();
        } else
            return usage();
    }
    if (repeat < 1)
        return usage();

    TComPort port;
    // COMn goes through the same mapping as the window's selector; anything else is a device.
    if (!QRegularExpression(QStringLiteral("^COM[0-9]+$"),
                            QRegularExpression::CaseInsensitiveOption)
             .match(portName)
             .hasMatch())
        port.setDevicePath(portName);
    port.setPort(portName);

    SystemClock clock;
    ConsoleOutput out(stderr, isatty(STDERR_FILENO) != 0);
    ConsoleDialogs dialogs(out);
    ConsoleControls controls(out);
    App app(port, clock, dialogs, controls);

    RunGuarded(dialogs, [&] {
        FormCreate(app, {});
        FormActivate(app);
    });
    if (!controls.readLogEnabled)
        return kExitFailed;

    // With --repeat the same "Read log" runs again and again in this one process, as a user
    // clicking it all day would; each run reports what the process holds afterwards.
    ReadLogEnd end = ReadLogEnd::Refused;
    bool failed = true;
    for (int run = 1; run <= repeat; ++run) {
        end = ReadLogEnd::Refused;
        failed = true;
        RunGuarded(dialogs, [&] {
            end = ReadLog(app);
            failed = false;
        });
        out.finishProgress();
        if (repeat > 1)
            printResources(run);
        if (failed || (end != ReadLogEnd::Complete && end != ReadLogEnd::Stopped))
            break;
    }
    port.closePort();
    if (failed)
        return kExitFailed;
    // What was read is saved through the same export as "Save As", also when a bound stopped it.
    if (!savePath.isEmpty() && (end == ReadLogEnd::Complete || end == ReadLogEnd::Stopped)) {
        if (statistics) {
            // The report the graph window writes with its check boxes as they start.
            HeadlessGraphView view;
            GraphLogic graph(app, view);
            RunGuarded(dialogs, [&] {
                graph.FormActivate();
                graph.btnGraphClick();
            });
        }
        bool saved = false;
        RunGuarded(dialogs, [&] {
            SaveTableToFile(app, savePath);
            saved = true;
        });
        if (!saved)
            return kExitFailed;
    }
    // A report that cannot be written fails the run, after the table is printed all the same.
    const bool sectionsFailed = !sectionsPath.isEmpty() &&
                                (end == ReadLogEnd::Complete || end == ReadLogEnd::Stopped) &&
                                !WriteSectionsCsv(app, sectionsPath, required);
    // Only a log that was read is printed; a refused run leaves stdout empty.
    switch (end) {
    case ReadLogEnd::Complete:
        WriteTableText(app.table, stdout);
        return sectionsFailed ? kExitFailed : kExitComplete;
    case ReadLogEnd::Stopped:
        WriteTableText(app.table, stdout);
        return sectionsFailed ? kExitFailed : kExitStopped;
    default:
        return kExitFailed;
    }
}
