#include "widgets/main/DownloadList.h"

#include "app/Downloads.h"
#include "text/Cp1252.h"

#include <QHeaderView>

void setUpDownloadList(QTableWidget& list, const QStringList& columns) {
    list.setColumnCount(static_cast<int>(columns.size()));
    list.setHorizontalHeaderLabels(columns);
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.verticalHeader()->setVisible(false);
    list.horizontalHeader()->setStretchLastSection(true);
}

QStringList downloadColumns(const DownloadSummary& download) {
    return {downloadTime(download), QString::fromStdString(download.model),
            fromCp1252(download.serialNo),
            QStringLiteral("%1 of %2").arg(download.records).arg(download.announced),
            download.ended};
}

void fillDownloadList(QTableWidget& list, const std::vector<QStringList>& lines) {
    list.setRowCount(static_cast<int>(lines.size()));
    for (int row = 0; row < static_cast<int>(lines.size()); ++row) {
        const QStringList& texts = lines[static_cast<size_t>(row)];
        for (int col = 0; col < texts.size(); ++col)
            list.setItem(row, col, new QTableWidgetItem(texts[col]));
    }
    list.resizeColumnsToContents();
    if (!lines.empty())
        list.selectRow(0);
}

int selectedDownload(const QTableWidget& list, size_t count) {
    const QList<QTableWidgetSelectionRange> ranges = list.selectedRanges();
    if (ranges.isEmpty())
        return -1;
    const int row = ranges.first().topRow();
    return row >= 0 && row < static_cast<int>(count) ? row : -1;
}
