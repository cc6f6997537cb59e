// The graph window's section report: the panel below the controls and the required levels.
#include "graph/PerformanceClasses.h"
#include "graph/RequiredClassSettings.h"
#include "log/Session.h"
#include "widgets/graph/GraphDialog.h"
#include "widgets/graph/SectionsPanel.h"

#include <QCheckBox>
#include <QLegendMarker>
#include <QSplitter>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>

void GraphDialog::buildSections() {
    m_sectionsPanel = new SectionsPanel(userRequiredClasses(), m_splitter);
    m_splitter->addWidget(m_sectionsPanel);
    m_sectionsPanel->onRequiredChanged = [this] { guarded([&] { refreshSections(); }); };
    m_sectionsPanel->onShowLevelChanged = [this] { guarded([&] { refreshSections(); }); };

    for (Quantity s : kQuantities) {
        auto* line = new QLineSeries(m_chart);
        line->setObjectName(s == Quantity::Rl ? QStringLiteral("rlLevelLine")
                                              : QStringLiteral("qdLevelLine"));
        m_chart->addSeries(line);
        line->setVisible(false);
        m_levelLines[static_cast<size_t>(s)] = line;
    }
    // After the boxes' own handlers: a hidden series hides its level too.
    for (QCheckBox* box : m_showBox)
        connect(box, &QCheckBox::toggled, this, [this] { guarded([&] { refreshSections(); }); });
}

void GraphDialog::sectionsChanged(bool buildHeld) {
    m_sectionsBuildHeld = buildHeld;
    if (m_sectionsDirty)
        return;
    m_sectionsDirty = true;
    // Once the handler that built or cleared the chart has ended.
    QMetaObject::invokeMethod(
        this, [this] { guarded([&] { refreshSections(); }); }, Qt::QueuedConnection);
}

void GraphDialog::refreshSections() {
    m_sectionsDirty = false;
    for (Quantity s : kQuantities)
        m_sectionsPanel->setSeriesPresent(s, m_layout.of(s).shown);
    if (!m_sectionsBuildHeld) {
        m_sectionsPanel->clearReport();
        placeLevelLines({});
        return;
    }
    const SectionReport report =
        sectionReport(m_table, *m_session.model, m_build, m_sectionsPanel->required());
    m_sectionsPanel->showReport(report);
    placeLevelLines(report);
}

void GraphDialog::placeLevelLines(const SectionReport& report) {
    const bool wanted = m_sectionsPanel->showLevel();
    for (Quantity s : kQuantities) {
        const auto i = static_cast<size_t>(s);
        QLineSeries* line = m_levelLines[i];
        double level = -INFINITY;
        for (const SeriesSections& series : report)
            if (series.series == s)
                level = performanceClasses(s)[static_cast<size_t>(series.requiredClass)].minimum;
        // Across the plotted rows of the series, on its own axis, in its colour, dashed.
        const QList<QPointF>& points = m_points[i];
        const bool shown =
            wanted && std::isfinite(level) && !points.isEmpty() && m_series[i]->isVisible();
        line->setVisible(shown);
        m_levelShown[i] = shown ? level : NAN;
        if (!shown)
            continue;
        for (QAbstractAxis* attached : line->attachedAxes())
            line->detachAxis(attached);
        line->attachAxis(m_bottomAxis);
        line->attachAxis(axis(m_seriesAxis[i]));
        QPen pen(m_series[i]->pen().color(), 1, Qt::DashLine);
        line->setPen(pen);
        line->replace({QPointF(points.first().x(), level), QPointF(points.last().x(), level)});
    }
    // No legend entry: the legend keeps naming the measured series only. Showing a series
    // shows its marker again, so this follows every change.
    for (QLineSeries* line : m_levelLines)
        for (QLegendMarker* marker : m_chart->legend()->markers(line))
            marker->setVisible(false);
    // A level out of the readings' range is brought into view.
    rangeAxes();
}
