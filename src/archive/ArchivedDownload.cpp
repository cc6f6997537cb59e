#include "archive/ArchivedDownload.h"

#include <QDateTime>
#include <cstdlib>

QString isoLocalTime(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc() / 60;
    const int hours = std::abs(offset) / 60;
    const int minutes = std::abs(offset) % 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(hours, 2, 10, QLatin1Char('0'))
               .arg(minutes, 2, 10, QLatin1Char('0'));
}

const char* endingName(DownloadEnding ending) {
    switch (ending) {
    case DownloadEnding::Interrupted:
        return "interrupted";
    case DownloadEnding::Complete:
        return "complete";
    case DownloadEnding::Incomplete:
        return "incomplete";
    case DownloadEnding::Stopped:
        return "stopped";
    case DownloadEnding::Bound:
        return "bound";
    case DownloadEnding::Error:
        return "error";
    }
    return "interrupted";
}

std::string joinCells(const std::vector<std::string>& cells) {
    std::string joined;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i)
            joined += '\t';
        joined += cells[i];
    }
    return joined;
}

std::vector<std::string> splitCells(const std::string& joined) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (size_t tab = joined.find('\t'); tab != std::string::npos; tab = joined.find('\t', start)) {
        cells.push_back(joined.substr(start, tab - start));
        start = tab + 1;
    }
    cells.push_back(joined.substr(start));
    return cells;
}
