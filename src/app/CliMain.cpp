// logdump-cli: the "Read log" procedure without windows. Boxes and progress go to stderr, the
// table to stdout.
#include "app/App.h"
#include "app/Console.h"
#include "app/HandlerGuard.h"
#include "app/Handlers.h"
#include "export/SaveAs.h"
#include "graph/GraphLogic.h"
#include "graph/HeadlessGraphView.h"
#include "link/ComPort.h"
#include "link/ReadLog.h"
#include "platform/Platform.h"
#include "text/Clock.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Exit statuses.
constexpr int kExitComplete = 0;
constexpr int kExitFailed = 1; // refused, no answer, port or data error
constexpr int kExitUsage = 2;
constexpr int kExitStopped = 3; // a bound stopped the reading; the table is incomplete

int usage() {
    std::fputs("usage: logdump-cli read [--port COM1|PATH] [--save FILE.Log|FILE.xls [--stats]]\n"
               "                        [--repeat N]\n",
               stderr);
    return kExitUsage;
}

// Resident memory in kB and open file descriptors of this process (-1 where the system does
// not tell), for watching a long-lived process over many runs.
void printResources(int run) {
    const platform::ProcessResources figures = platform::processResources();
    std::fprintf(stderr, "run %d: rss_kb=%ld open_fds=%ld\n", run, figures.residentKb,
                 figures.openHandles);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char* argv[]) {
    const platform::FineTimer fineTimer; // the poll steps of the line I/O
    QCoreApplication application(argc, argv);
    QString portName = QStringLiteral("COM1");
    int repeat = 1;
    QString savePath;
    bool statistics = false;
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
        else
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
    ConsoleOutput out(stderr, platform::isTerminal(stderr));
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
    // Only a log that was read is printed; a refused run leaves stdout empty.
    switch (end) {
    case ReadLogEnd::Complete:
        WriteTableText(app.table, stdout);
        return kExitComplete;
    case ReadLogEnd::Stopped:
        WriteTableText(app.table, stdout);
        return kExitStopped;
    default:
        return kExitFailed;
    }
}
