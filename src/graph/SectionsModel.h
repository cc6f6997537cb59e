#pragma once

#include "graph/SectionReport.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <utility>
#include <vector>

// The section report as a table for views: a row per series and section, the window's column
// titles, figures right-aligned with the locale's separator, "pass" or "fail" in colour ("no
// data" without readings), the whole-log rows bold. Texts are made when a view asks, so a report
// of many sections costs a view only its visible rows.
class SectionsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SectionsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setLocale(const QLocale& locale) { m_locale = locale; }
    void setReport(SectionReport report);

    int rowCount(const QModelIndex& parent = QModelIndex()) const final;
    int columnCount(const QModelIndex& parent = QModelIndex()) const final;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const final;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const final;

private:
    SectionReport m_report;
    std::vector<std::pair<size_t, size_t>> m_rows; // series, row within the series
    QLocale m_locale;
};
