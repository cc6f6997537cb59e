#include "archive/ArchivedDownload.h"

#include <QDateTime>
#include <cstdlib>
#include <iterator>

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
    // In the order of DownloadEnding.
    static const char* const kNames[] = {"interrupted", "complete", "incomplete",
                                         "stopped",     "bound",    "error"};
    const auto i = static_cast<size_t>(ending);
    return i < std::size(kNames) ? kNames[i] : kNames[0];
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

void putStoredRow(ArchivedDownload& download, int row, const std::string& joinedCells) {
    if (row < 0)
        return;
    if (row >= static_cast<int>(download.rows.size()))
        download.rows.resize(static_cast<size_t>(row) + 1);
    download.rows[static_cast<size_t>(row)] = splitCells(joinedCells);
}

QByteArray storedBytes(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string bytesOf(const QVariant& value) {
    const QByteArray bytes = value.toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string serialNoOf(const std::string& serialLine) {
    return serialLine.size() > 5 ? serialLine.substr(5) : std::string();
}
