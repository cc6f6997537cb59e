#include "graph/widgets/SectionsPanel.h"

#include "graph/PerformanceClasses.h"
#include "graph/RequiredClassSettings.h"
#include "graph/SectionsModel.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>

SectionsPanel::SectionsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlSections"));
    auto* caption = new QLabel(QStringLiteral("Sections"), this);
    caption->setObjectName(QStringLiteral("lblSections"));
    caption->setTextFormat(Qt::PlainText);
    caption->move(0, 4);
    auto* requiredCaption = new QLabel(QStringLiteral("Required class"), this);
    requiredCaption->setObjectName(QStringLiteral("lblRequired"));
    requiredCaption->setTextFormat(Qt::PlainText);
    requiredCaption->move(232, 4);
    requiredCaption->adjustSize();

    const RequiredClasses stored = loadRequiredClasses();
    int left = std::max(336, requiredCaption->geometry().right() + 8);
    for (Quantity s : kQuantities) {
        const bool rl = s == Quantity::Rl;
        auto* name = new QLabel(QString::fromLatin1(rl ? "Rl:" : "Qd:"), this);
        name->setTextFormat(Qt::PlainText);
        name->move(left, 4);
        name->adjustSize();
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(rl ? "cbRequiredRl" : "cbRequiredQd"));
        for (const PerformanceClass& c : performanceClasses(s))
            box->addItem(QString::fromStdString(c.name));
        box->setCurrentIndex(stored[static_cast<size_t>(s)]);
        box->setGeometry(name->geometry().right() + 4, 0, 57, 21);
        left = box->geometry().right() + 16;
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            saveRequiredClasses(required());
            if (onRequiredChanged)
                onRequiredChanged();
        });
        m_required[static_cast<size_t>(s)] = box;
    }

    m_model = new SectionsModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("grdSections"));
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(18);
    m_table->horizontalHeader()->setDefaultSectionSize(56);
    m_table->setColumnWidth(1, 72);
    m_table->setGeometry(0, 26, 769, 166);
}

RequiredClasses SectionsPanel::required() const {
    RequiredClasses r{};
    for (Quantity s : kQuantities)
        r[static_cast<size_t>(s)] = m_required[static_cast<size_t>(s)]->currentIndex();
    return r;
}

void SectionsPanel::setSeriesPresent(Quantity series, bool present) {
    m_required[static_cast<size_t>(series)]->setEnabled(present);
}

void SectionsPanel::setLocale(const QLocale& locale) {
    m_model->setLocale(locale);
}

void SectionsPanel::clearReport() {
    m_model->setReport({});
}

void SectionsPanel::showReport(const SectionReport& report) {
    m_model->setReport(report);
}
