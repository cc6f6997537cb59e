// Prints how long "Save As" takes for large logs, as a text log block and as a workbook, and
// how long opening each again takes (read, then shown in the table).
#include "app/App.h"
#include "app/Console.h"
#include "app/OpenLog.h"
#include "export/FileLayer.h"
#include "export/LogFileReader.h"
#include "export/TextLogExport.h"
#include "export/TitledTable.h"
#include "export/WorkbookExport.h"
#include "link/InstrumentPort.h"
#include "text/TextMemo.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

namespace {

// Milliseconds to open the file's last log into an App's table, as "File / Open..." does.
double openMs(const QString& path) {
    ConsoleOutput out(stderr, false);
    InstrumentPort port;
    SystemClock clock;
    ConsoleDialogs dialogs(out);
    ConsoleView view(out);
    App app(port, clock, dialogs, view);
    const auto start = std::chrono::steady_clock::now();
    showSavedLog(app, readSavedLogs(path).back(), openedFrom(path));
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    for (const int records : {1000, 10000, 25000, 100000}) {
        QFile::remove(dir.filePath("bench.Log"));
        LogTable table;
        table.setCols(8);
        table.setRows(records + 1);
        const char* headers[] = {"#",     "Date / Time", "Rl",     "Qd",
                                 "RStat", "QStat",       "Seq-Id", "Seq#"};
        for (int c = 0; c < 8; ++c)
            table.setCell(c, 0, headers[c]);
        for (int r = 1; r <= records; ++r) {
            table.setCell(0, r, std::to_string(r));
            table.setCell(1, r, "12.05.26 10:15:02");
            table.setCell(2, r, std::to_string(200 + r % 97));
            table.setCell(3, r, std::to_string(100 + r % 13));
            table.setCell(4, r, "0");
            table.setCell(5, r, r % 50 ? "0" : "16");
            table.setCell(6, r, "A1");
            table.setCell(7, r, std::to_string(r % 30));
        }
        const TitledTable titled(table, "*Log dump from: RVM600PK - s/n: 4711");
        const TextMemo noStatistics;

        auto start = std::chrono::steady_clock::now();
        appendTextLog(systemFileLayer(), dir.filePath("bench.Log"),
                      buildTextLogBlock(titled, noStatistics));
        const double textMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();

        start = std::chrono::steady_clock::now();
        saveToWorkbook(titled, dir.filePath("bench.xls"));
        const double workbookMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::printf("%7d records: text log block %8.1f ms, workbook %8.1f ms; open them %8.1f ms "
                    "and %8.1f ms\n",
                    records, textMs, workbookMs, openMs(dir.filePath("bench.Log")),
                    openMs(dir.filePath("bench.xls")));
    }
    return 0;
}
