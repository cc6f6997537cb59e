#include "graph/widgets/SectionsPanel.h"

#include "graph/PerformanceClasses.h"
#include "graph/RequiredClassSettings.h"
#include "text/Cp1252.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

namespace {

constexpr GraphSeries kBothSeries[] = {GraphSeries::Rl, GraphSeries::Qd};

// The window's column titles; files use SectionColumnTitles.
const char* const kColumnTitles[] = {"Series", "Section",  "Used",  "Left out", "Mean",
                                     "SD",     "Min",      "Max",   "Below",    "Below %",
                                     "Class",  "Required", "Result"};
constexpr int kResultColumn = 12;
const QColor kPassColor(0, 128, 0);
const QColor kFailColor(192, 0, 0);

} // namespace

SectionsPanel::SectionsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlSections"));
    auto* caption = new QLabel(QStringLiteral("Sections"), this);
    caption->setObjectName(QStringLiteral("lblSections"));
    caption->move(0, 4);
    auto* requiredCaption = new QLabel(QStringLiteral("Required class"), this);
    requiredCaption->setObjectName(QStringLiteral("lblRequired"));
    requiredCaption->move(232, 4);
    requiredCaption->adjustSize();

    const RequiredClasses stored = LoadRequiredClasses();
    int left = std::max(336, requiredCaption->geometry().right() + 8);
    for (GraphSeries s : kBothSeries) {
        const bool rl = s == GraphSeries::Rl;
        auto* name = new QLabel(QString::fromLatin1(rl ? "Rl:" : "Qd:"), this);
        name->move(left, 4);
        name->adjustSize();
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(rl ? "cbRequiredRl" : "cbRequiredQd"));
        for (const PerformanceClass& c : PerformanceClasses(s))
            box->addItem(QString::fromStdString(c.name));
        box->setCurrentIndex(stored[static_cast<size_t>(s)]);
        box->setGeometry(name->geometry().right() + 4, 0, 57, 21);
        left = box->geometry().right() + 16;
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            SaveRequiredClasses(required());
            if (onRequiredChanged)
                onRequiredChanged();
        });
        m_required[static_cast<size_t>(s)] = box;
    }

    m_table = new QTableWidget(0, static_cast<int>(std::size(kColumnTitles)), this);
    m_table->setObjectName(QStringLiteral("grdSections"));
    QStringList titles;
    for (const char* t : kColumnTitles)
        titles << QString::fromLatin1(t);
    m_table->setHorizontalHeaderLabels(titles);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(18);
    m_table->horizontalHeader()->setDefaultSectionSize(56);
    m_table->setColumnWidth(1, 72);
    m_table->setGeometry(0, 26, 769, 166);
}

RequiredClasses SectionsPanel::required() const {
    RequiredClasses r{};
    for (GraphSeries s : kBothSeries)
        r[static_cast<size_t>(s)] = m_required[static_cast<size_t>(s)]->currentIndex();
    return r;
}

void SectionsPanel::setSeriesPresent(GraphSeries series, bool present) {
    m_required[static_cast<size_t>(series)]->setEnabled(present);
}

void SectionsPanel::clearReport() {
    m_table->setRowCount(0);
}

void SectionsPanel::showReport(const SectionReport& report) {
    const std::string separator = toCp1252(m_locale.decimalPoint());
    int rows = 0;
    for (const SeriesSections& series : report)
        rows += static_cast<int>(series.rows.size());
    m_table->setRowCount(rows);
    int row = 0;
    for (const SeriesSections& series : report) {
        for (const SectionStats& stats : series.rows) {
            std::vector<std::string> texts = SectionRowTexts(series, stats, separator);
            texts[kResultColumn] = stats.pass ? "pass" : "fail";
            for (size_t col = 0; col < texts.size(); ++col) {
                auto* item = new QTableWidgetItem(fromCp1252(texts[col]));
                // Figures line up on the right, names on the left.
                if (col >= 2 && col <= 9)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                if (static_cast<int>(col) == kResultColumn)
                    item->setForeground(stats.pass ? kPassColor : kFailColor);
                if (stats.wholeLog) {
                    QFont bold = item->font();
                    bold.setBold(true);
                    item->setFont(bold);
                }
                m_table->setItem(row, static_cast<int>(col), item);
            }
            ++row;
        }
    }
}
