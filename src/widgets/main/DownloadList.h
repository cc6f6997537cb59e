#pragma once

#include "archive/ArchivedDownload.h"

#include <QStringList>
#include <QTableWidget>
#include <vector>

// What the local and the team list of downloads share: the first columns of a line, the filling
// of the list (the newest selected) and the line chosen.

// A list of downloads with these column titles: whole lines selected one at a time, not edited.
void setUpDownloadList(QTableWidget& list, const QStringList& columns);

// When, model, serial number, records and ending of a download, as the lists show them.
QStringList downloadColumns(const DownloadSummary& download);

// Puts one line of texts per download into the list and selects the first.
void fillDownloadList(QTableWidget& list, const std::vector<QStringList>& lines);

// The index of the line selected, when it is one of count lines; -1 otherwise.
int selectedDownload(const QTableWidget& list, size_t count);
