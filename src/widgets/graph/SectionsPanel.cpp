#include "widgets/graph/SectionsPanel.h"

#include "graph/PerformanceClasses.h"
#include "graph/RequiredClassSettings.h"
#include "graph/SectionsModel.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableView>
#include <cmath>

namespace {

// What a class asks for, in the words of the table it comes from: "R3 (150 mcd/m²/lx)".
QString classCaption(const PerformanceClass& c) {
    const QString name = QString::fromStdString(c.name);
    if (!std::isfinite(c.minimum))
        return name + QStringLiteral(" (no requirement)");
    return QStringLiteral("%1 (%2 mcd/m\u00b2/lx)").arg(name).arg(c.minimum);
}

} // namespace

SectionsPanel::SectionsPanel(IRequiredClassMemory& memory, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("sectionsPanel"));
    // The controls in a row above the table; the table takes what height the panel gets.
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(16, 0, 16, 16);
    rows->setSpacing(5);
    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(0, 0, 0, 0);
    rows->addLayout(controls);
    const auto addLabel = [&](const char* name, const char* text) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        controls->addWidget(label);
    };
    addLabel("sectionsCaption", "Sections");
    controls->addSpacing(24);
    addLabel("requiredCaption", "Required class");

    const RequiredClasses stored = memory.load();
    for (Quantity s : kQuantities) {
        const bool rl = s == Quantity::Rl;
        controls->addSpacing(8);
        addLabel(rl ? "rlRequiredCaption" : "qdRequiredCaption", rl ? "Rl:" : "Qd:");
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(rl ? "rlRequiredBox" : "qdRequiredBox"));
        for (const PerformanceClass& c : performanceClasses(s))
            box->addItem(classCaption(c));
        box->setCurrentIndex(stored[static_cast<size_t>(s)]);
        controls->addWidget(box);
        connect(box, &QComboBox::currentIndexChanged, this, [this, kept = &memory] {
            kept->save(required());
            if (onRequiredChanged)
                onRequiredChanged();
        });
        m_required[static_cast<size_t>(s)] = box;
    }
    controls->addSpacing(16);
    m_showLevel = new QCheckBox(QStringLiteral("Show required level"), this);
    m_showLevel->setObjectName(QStringLiteral("showLevelBox"));
    controls->addWidget(m_showLevel);
    controls->addStretch(1);
    connect(m_showLevel, &QCheckBox::toggled, this, [this] {
        if (onShowLevelChanged)
            onShowLevelChanged();
    });

    m_model = new SectionsModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("sectionsTable"));
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(18);
    m_table->horizontalHeader()->setDefaultSectionSize(56);
    m_table->setColumnWidth(1, 72);
    // However small the window, the table shows its titles and a few rows to scroll.
    constexpr int kLeastRows = 3;
    m_table->setMinimumHeight(m_table->horizontalHeader()->sizeHint().height() +
                              kLeastRows * m_table->verticalHeader()->defaultSectionSize() +
                              2 * m_table->frameWidth());
    rows->addWidget(m_table, 1);
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

bool SectionsPanel::showLevel() const {
    return m_showLevel->isChecked();
}

void SectionsPanel::setShowLevel(bool shown) {
    // Set by the window, not chosen by the user: no call back.
    const QSignalBlocker quiet(m_showLevel);
    m_showLevel->setChecked(shown);
}
