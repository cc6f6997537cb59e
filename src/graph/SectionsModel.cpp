#include "graph/SectionsModel.h"

#include "text/Cp1252.h"

#include <QColor>
#include <QFont>

namespace {

// The window's column titles; files use sectionColumnTitles.
const char* const kColumnTitles[] = {"Series", "Section",  "Used",  "Left out", "Mean",
                                     "SD",     "Min",      "Max",   "Below",    "Below %",
                                     "Class",  "Required", "Result"};
constexpr int kColumns = static_cast<int>(std::size(kColumnTitles));
constexpr int kResultColumn = 12;
constexpr int kFirstFigure = 2;
constexpr int kLastFigure = 9;

} // namespace

void SectionsModel::setReport(SectionReport report) {
    beginResetModel();
    m_report = std::move(report);
    m_rows.clear();
    for (size_t s = 0; s < m_report.size(); ++s)
        for (size_t r = 0; r < m_report[s].rows.size(); ++r)
            m_rows.emplace_back(s, r);
    endResetModel();
}

int SectionsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int SectionsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant SectionsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns)
        return {};
    const auto [s, r] = m_rows[static_cast<size_t>(index.row())];
    const SeriesSections& series = m_report[s];
    const SectionStats& stats = series.rows[r];
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole: {
        if (col == kResultColumn)
            return QString::fromLatin1(stats.used == 0 ? "no data" : stats.pass ? "pass" : "fail");
        const std::string separator = toCp1252(m_locale.decimalPoint());
        return fromCp1252(sectionRowTexts(series, stats, separator)[static_cast<size_t>(col)]);
    }
    case Qt::TextAlignmentRole:
        // Figures line up on the right, names on the left.
        return col >= kFirstFigure && col <= kLastFigure
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        // A section without readings failed no level: grey, not red.
        if (col == kResultColumn)
            return stats.used == 0 ? QColor(128, 128, 128)
                   : stats.pass    ? QColor(0, 128, 0)
                                   : QColor(192, 0, 0);
        return {};
    case Qt::FontRole:
        if (stats.wholeLog) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant SectionsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kColumns)
        return QString::fromLatin1(kColumnTitles[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}
