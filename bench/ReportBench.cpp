// Times the survey report of a 25,000-record log, as "Report..." and logdump-cli --report make it:
// the content, the PDF in memory and the write through the file layer. Prints milliseconds (the
// median of 3 runs), the pages and the file size.
#include "InstrumentSim.h"
#include "log/InstrumentModel.h"
#include "log/LogRecord.h"
#include "log/LogTable.h"
#include "log/Session.h"
#include "report/ReportContent.h"
#include "report/ReportPdf.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// The records as the download writes them, marks included.
void loadLog(LogTable& table, Session& session, const std::string& model, int count) {
    const InstrumentModel& m = modelNamed(model);
    session.model = &m;
    session.identLine = model + " V2.10";
    session.serialLine = "S/N: 4711";
    session.logCount = count;
    session.logOrigin = "Download complete";
    applyLayout(table, *m.layout, m.valueName);
    const std::vector<std::string> records = sim::generateRecords(model, count, 7);
    table.setRows(static_cast<int>(records.size()) + 1);
    for (size_t i = 0; i < records.size(); ++i) {
        std::string line = records[i];
        std::replace(line.begin(), line.end(), '\t', ',');
        writeRecord(table, static_cast<int>(i) + 1, parseLogLine(line).record, m);
    }
}

double timeMs(const std::function<void()>& work) {
    std::vector<double> times;
    for (int r = 0; r < 3; ++r) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTemporaryDir dir;
    constexpr int kRecords = 25000;
    for (const char* model : {"RVM600PK", "RVM600"}) {
        LogTable table;
        Session session;
        loadLog(table, session, model, kRecords);
        session.survey.project = QStringLiteral("Bench");
        ReportContent content;
        QByteArray pdf;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        const double contentMs = timeMs([&] {
            content = reportContent(table, session, defaultRequiredClasses(),
                                    QDateTime::currentDateTime());
        });
        const double pdfMs = timeMs([&] { pdf = reportPdf(content, QPageSize(QPageSize::A4)); });
        const double writeMs = timeMs([&] { writeReportFile(pdf, path); });
        const double wholeMs = timeMs([&] {
            writeReportFile(reportPdf(reportContent(table, session, defaultRequiredClasses(),
                                                    QDateTime::currentDateTime()),
                                      QPageSize(QPageSize::A4)),
                            path);
        });
        const int pages = static_cast<int>(pdf.count("/Type /Page\n"));
        std::printf("%s, %d records: content %.0f ms, PDF %.0f ms, write %.0f ms, whole %.0f ms "
                    "(goal < 5000 ms); %d pages, %lld bytes (%.1f MB)\n",
                    model, kRecords, contentMs, pdfMs, writeMs, wholeMs, pages,
                    static_cast<long long>(QFileInfo(path).size()),
                    static_cast<double>(QFileInfo(path).size()) / 1e6);
    }
    return 0;
}
