#include "widgets/graph/GraphDialog.h"

#include "app/HandlerGuard.h"
#include "graph/GraphFormat.h"
#include "graph/PerformanceClasses.h"
#include "graph/StatisticsReport.h"
#include "log/LogTable.h"
#include "log/Session.h"
#include "text/AppError.h"
#include "text/Cp1252.h"
#include "text/TextMemo.h"
#include "widgets/graph/SectionsPanel.h"

#include <QCheckBox>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor kRlColor(255, 0, 0);
const QColor kQdStartColor(255, 255, 0); // until the set-up makes it blue
const QColor kQdSeriesColor(0, 128, 0);  // the legend's, whatever colour the line has
const QColor kCrossColor(64, 64, 64);
const QColor kQdLineColor(0, 0, 255);

// The area of the chart and its controls as designed; below it the section report.
constexpr QSize kDesigned(801, 524);
constexpr int kHandleHeight = 4;
constexpr int kPanelHeight = 166;
// The chart never gets lower than this, however little room the screen has.
constexpr int kLeastChartHeight = 150;
constexpr int kLeastGap = 8; // between controls side by side
// A title bar and borders, until the window system tells the window's own.
constexpr QSize kFrameAllowance(16, 39);

QFont axisTitleFont() {
    QFont font(QStringLiteral("Arial"), 8);
    font.setBold(true);
    return font;
}

// Smallest and largest of some values.
struct Span {
    double lo = std::numeric_limits<double>::max();
    double hi = std::numeric_limits<double>::lowest();
    bool any() const { return lo <= hi; }
    void add(double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
};

// A tick step of 1, 2 or 5 times a power of ten giving about six intervals.
double niceStep(double span) {
    const double rough = span / 6;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= rough)
            return m * power;
    return 10 * power;
}

// The axis spans the values exactly (widened by a margin), with ticks on round numbers.
void applySpan(QValueAxis* axis, const Span& span, double margin) {
    double lo = span.any() ? span.lo : 0;
    double hi = span.any() ? span.hi : 1;
    if (lo == hi) {
        lo -= 1;
        hi += 1;
    }
    const double pad = (hi - lo) * margin;
    const double step = std::max(1.0, niceStep(hi - lo));
    // Never a wide range with a fine step in between: the chart makes an item for every tick.
    const bool coarser = step > axis->tickInterval();
    if (coarser)
        axis->setTickInterval(step);
    axis->setRange(lo - pad, hi + pad);
    if (!coarser)
        axis->setTickInterval(step);
}

} // namespace

GraphDialog::GraphDialog(const LogTable& table, const Session& session, TextMemo& statistics,
                         IDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_table(table), m_session(session), m_statistics(statistics),
      m_dialogs(dialogs) {
    setObjectName(QStringLiteral("graphDialog"));
    setWindowTitle(QStringLiteral("VELKOR - Virelon Log Graph"));
    // The controls sit at fixed places designed for an 8-point dialog font.
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    // The chart and its controls share the window's height with the section report.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("sectionsSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(kHandleHeight);
    layout->addWidget(m_splitter);
    m_upper = new QWidget(m_splitter);
    m_upper->setObjectName(QStringLiteral("chartArea"));
    m_splitter->addWidget(m_upper);
    buildChart();
    buildControls();
    anchorControls();
    m_upper->installEventFilter(this);
    buildSections();
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 1);
    resize(kDesigned.width(), kDesigned.height() + kHandleHeight + kPanelHeight);
    m_splitter->setSizes({kDesigned.height(), kPanelHeight});
    // The statistics are also cleared when a new log is read or opened.
    m_statistics.onChanged = [this] {
        if (m_statisticsDirty)
            return;
        m_statisticsDirty = true;
        QMetaObject::invokeMethod(this, &GraphDialog::refreshStatistics, Qt::QueuedConnection);
    };
}

GraphDialog::~GraphDialog() {
    m_statistics.onChanged = nullptr;
}

void GraphDialog::setLocale(const QLocale& locale) {
    m_locale = locale;
    m_sectionsPanel->setLocale(locale);
}

void GraphDialog::buildChart() {
    m_chart = new QChart();
    m_chart->setTitle(QStringLiteral("TChart"));
    m_chart->legend()->setAlignment(Qt::AlignTop);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setBackgroundRoundness(0);
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);

    m_bottomAxis = new QValueAxis(m_chart);
    m_bottomAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_leftAxis = new QValueAxis(m_chart);
    m_rightAxis = new QValueAxis(m_chart);
    for (QValueAxis* a : {m_leftAxis, m_rightAxis}) {
        a->setTitleFont(axisTitleFont());
        a->setLabelFormat(QStringLiteral("%.0f"));
    }
    for (QValueAxis* a : {m_bottomAxis, m_leftAxis, m_rightAxis}) {
        a->setTickType(QValueAxis::TicksDynamic);
        a->setTickAnchor(0);
        a->setTickInterval(1);
        a->setRange(0, 1);
    }
    m_chart->addAxis(m_bottomAxis, Qt::AlignBottom);
    m_chart->addAxis(m_leftAxis, Qt::AlignLeft);
    m_chart->addAxis(m_rightAxis, Qt::AlignRight);

    const QColor colors[] = {kRlColor, kQdStartColor};
    const char* titles[] = {"Rl", "Qd"};
    for (size_t s = 0; s < 2; ++s) {
        auto* series = new QLineSeries(m_chart);
        series->setObjectName(QString::fromLatin1(s == 0 ? "rlSeries" : "qdSeries"));
        series->setName(QString::fromLatin1(titles[s]));
        series->setPen(QPen(colors[s], 1));
        m_chart->addSeries(series);
        // Attached for good, hidden or not, so the readout can always map through the axes.
        series->attachAxis(m_bottomAxis);
        series->attachAxis(s == 0 ? m_leftAxis : m_rightAxis);
        m_series[s] = series;
        if (s == 1) {
            for (QLegendMarker* marker : m_chart->legend()->markers(series)) {
                marker->setBrush(kQdSeriesColor);
                marker->setPen(QPen(kQdSeriesColor));
            }
        }
    }
    rangeAxes();

    m_chartView = new QChartView(m_chart, m_upper);
    m_chartView->setObjectName(QStringLiteral("chartView"));
    m_chartView->setGeometry(16, 16, 577, 457);
    m_chartView->setRenderHint(QPainter::Antialiasing, false);
    m_chartView->setMouseTracking(true);
    m_chartView->viewport()->setMouseTracking(true);
    m_chartView->viewport()->installEventFilter(this);

    // The cross-hair is an overlay above the series: moving it leaves no trace.
    const QPen crossPen(kCrossColor, 1, Qt::SolidLine);
    m_crossV = new QGraphicsLineItem(m_chart);
    m_crossH = new QGraphicsLineItem(m_chart);
    for (QGraphicsLineItem* line : {m_crossV, m_crossH}) {
        line->setPen(crossPen);
        line->setZValue(1000);
        line->hide();
    }
}

QLabel* GraphDialog::addLabel(const char* name, const char* caption, int left, int top) {
    auto* label = new QLabel(QString::fromLatin1(caption), m_upper);
    label->setObjectName(QString::fromLatin1(name));
    // Statistics and readouts may carry the instrument's texts: never taken as markup.
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QCheckBox* GraphDialog::addCheckBox(const char* name, const char* caption, QRect place,
                                    bool checked) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), m_upper);
    box->setObjectName(QString::fromLatin1(name));
    // Wider than designed only where the font needs it, so no caption is cut.
    place.setWidth(std::max(place.width(), box->sizeHint().width()));
    box->setGeometry(place);
    box->setChecked(checked);
    return box;
}

void GraphDialog::buildControls() {
    m_showGraphButton = new QPushButton(QStringLiteral("Show Graph"), m_upper);
    m_showGraphButton->setObjectName(QStringLiteral("showGraphButton"));
    m_showGraphButton->setGeometry(16, 488, 75, 25);
    m_showGraphButton->setAutoDefault(false);
    connect(m_showGraphButton, &QPushButton::clicked, this,
            [this] { guarded([&] { showGraph(); }); });

    m_stopOnLowBatBox =
        addCheckBox("stopOnLowBatBox", "Stop when low bat", {104, 493, 121, 17}, true);
    m_stopOnLowBatBox->setToolTip(
        QStringLiteral("Data is not shown if 3 low batt warnings occurs"));
    connect(m_stopOnLowBatBox, &QCheckBox::toggled, this,
            [this] { guarded([&] { stopOnLowBatToggled(); }); });

    m_alarmCaption = {addLabel("rlAlarmCaption", "Rl V alarm:", 248, 488),
                      addLabel("qdAlarmCaption", "Qd V alarm:", 248, 504)};
    m_alarmLine = {addLabel("rlAlarmLabel", "---", 312, 488),
                   addLabel("qdAlarmLabel", "---", 312, 504)};
    // Plain text: a screen reader reads the hint as it stands, not as markup.
    const QString hint = QStringLiteral("Stops on the third following low bat alarm");
    for (size_t s = 0; s < 2; ++s) {
        // A wide font must not run the captions into the stop lines.
        QLabel* line = m_alarmLine[s];
        line->move(std::max(line->x(), m_alarmCaption[s]->geometry().right() + 4), line->y());
        for (QLabel* label : {m_alarmCaption[s], line})
            label->setToolTip(hint);
    }
    m_readout = {addLabel("rlReadout", "--", 352, 488), addLabel("qdReadout", "--", 352, 504)};

    m_showBox = {addCheckBox("showRlBox", "Show Rl graph", {480, 488, 97, 17}, true),
                 addCheckBox("showQdBox", "Show Qd graph", {480, 504, 105, 17}, true)};
    for (Quantity s : kQuantities)
        connect(m_showBox[static_cast<size_t>(s)], &QCheckBox::toggled, this,
                [this, s] { guarded([&] { showSeriesToggled(s); }); });

    addLabel("statisticsCaption", "Statistics:", 608, 16);
    m_statisticsView = new QPlainTextEdit(m_upper);
    m_statisticsView->setObjectName(QStringLiteral("statisticsView"));
    m_statisticsView->setGeometry(608, 32, 169, 305);
    addLabel("warningsCaption", "Warning / errors", 608, 344);
    m_warningsView = new QPlainTextEdit(m_upper);
    m_warningsView->setObjectName(QStringLiteral("warningsView"));
    m_warningsView->setGeometry(608, 360, 169, 113);
    for (QPlainTextEdit* view : {m_statisticsView, m_warningsView}) {
        // The report is saved with the log as written, so it is not edited here.
        view->setReadOnly(true);
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }

    m_showStatisticsBox =
        addCheckBox("showStatisticsBox", "Show Statistics", {608, 485, 97, 17}, true);
}

void GraphDialog::anchorControls() {
    const auto anchor = [this](QWidget* widget, int how) {
        m_anchored.push_back({widget, widget->geometry(), how});
    };
    anchor(m_chartView, kGrowX | kGrowY);
    // The controls below the chart follow its bottom edge.
    for (QWidget* below :
         {static_cast<QWidget*>(m_showGraphButton), static_cast<QWidget*>(m_stopOnLowBatBox)})
        anchor(below, kMoveY);
    for (size_t s = 0; s < 2; ++s)
        for (QWidget* below :
             {static_cast<QWidget*>(m_alarmCaption[s]), static_cast<QWidget*>(m_alarmLine[s]),
              static_cast<QWidget*>(m_readout[s]), static_cast<QWidget*>(m_showBox[s])})
            anchor(below, kMoveY);
    // The column of the statistics follows the right edge; its view takes the height.
    anchor(m_upper->findChild<QLabel*>(QStringLiteral("statisticsCaption")), kMoveX);
    anchor(m_statisticsView, kMoveX | kGrowY);
    anchor(m_upper->findChild<QLabel*>(QStringLiteral("warningsCaption")), kMoveX | kMoveY);
    anchor(m_warningsView, kMoveX | kMoveY);
    anchor(m_showStatisticsBox, kMoveX | kMoveY);
    // Narrower only by the room between the controls below the chart and the statistics.
    int rightmost = 0;
    for (const Anchored& a : m_anchored)
        if (a.anchor == kMoveY)
            rightmost = std::max(rightmost, a.designed.right());
    const int slack = std::max(0, m_statisticsView->x() - kLeastGap - rightmost);
    m_upper->setMinimumSize(kDesigned.width() - slack,
                            kDesigned.height() - m_chartView->height() + kLeastChartHeight);
}

void GraphDialog::placeControls() {
    const int dx = m_upper->width() - kDesigned.width();
    const int dy = m_upper->height() - kDesigned.height();
    for (const Anchored& a : m_anchored) {
        QRect place = a.designed;
        place.translate(a.anchor & kMoveX ? dx : 0, a.anchor & kMoveY ? dy : 0);
        if (a.anchor & (kGrowX | kGrowY)) {
            place.adjust(0, 0, a.anchor & kGrowX ? dx : 0, a.anchor & kGrowY ? dy : 0);
            a.widget->setGeometry(place);
        } else {
            // Labels keep the size their text gave them.
            a.widget->move(place.topLeft());
        }
    }
}

void GraphDialog::setVisible(bool visible) {
    // Before the dialog places itself on the screen, so it places the fitted size.
    if (visible && !isVisible())
        fitToScreen();
    QDialog::setVisible(visible);
}

void GraphDialog::fitToScreen() {
    const QScreen* shownOn = screen();
    if (!shownOn)
        return;
    QSize frame = frameGeometry().size() - size();
    if (frame.isEmpty())
        frame = kFrameAllowance;
    const QSize room = shownOn->availableGeometry().size() - frame;
    if (width() <= room.width() && height() <= room.height())
        return;
    resize(std::max(std::min(width(), room.width()), minimumSizeHint().width()),
           std::max(std::min(height(), room.height()), minimumSizeHint().height()));
    // The report keeps the height it was designed with as long as the chart keeps its least
    // height; the chart gives up what the screen lacks.
    layout()->activate();
    const int total = m_splitter->height() - m_splitter->handleWidth();
    const int upper = std::max(m_upper->minimumHeight(), total - kPanelHeight);
    m_splitter->setSizes({upper, total - upper});
}

void GraphDialog::guarded(const std::function<void()>& handler) {
    runGuarded(m_dialogs, handler);
    refreshStatistics();
}

void GraphDialog::refreshStatistics() {
    if (!m_statisticsDirty)
        return;
    m_statisticsDirty = false;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(m_statistics.lines().size()));
    for (const std::string& line : m_statistics.lines())
        lines << fromCp1252(line);
    m_statisticsView->setPlainText(lines.join(QLatin1Char('\n')));
}

void GraphDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Each opening; not when the window system merely restores it.
    if (!event->spontaneous())
        guarded([&] { activate(); });
}

bool GraphDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_upper && event->type() == QEvent::Resize)
        placeControls();
    if (watched == m_chartView->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const auto* move = static_cast<QMouseEvent*>(event);
            const QPointF scenePos =
                m_chartView->viewportTransform().inverted().map(move->position());
            const QPointF chartPos = m_chart->mapFromScene(scenePos);
            guarded([&] { cursorMoved(chartPos); });
        } else if (event->type() == QEvent::Leave) {
            guarded([&] { cursorLeft(); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void GraphDialog::activate() {
    // Each opening shows the chart without the required levels; the user asks for them.
    m_sectionsPanel->setShowLevel(false);
    applyLayout();
    m_showGraphButton->setEnabled(true);
    m_showGraphButton->setFocus();
}

void GraphDialog::showGraph() {
    m_showGraphButton->setEnabled(false);
    buildAndDraw();
}

void GraphDialog::stopOnLowBatToggled() {
    applyLayout();
    buildAndDraw();
}

void GraphDialog::showSeriesToggled(Quantity series) {
    const auto s = static_cast<size_t>(series);
    const bool shown = m_showBox[s]->isChecked();
    setSeriesActive(series, shown);
    m_readout[s]->setVisible(shown);
}

void GraphDialog::applyLayout() {
    m_layout = graphLayout(*m_session.model, m_session.serialLine);
    const GraphLayout& layout = m_layout;
    m_warningsView->clear();
    m_statistics.clear();
    m_build = GraphBuild();
    for (size_t s = 0; s < 2; ++s) {
        m_points[s].clear();
        m_series[s]->clear();
        m_series[s]->setVisible(false);
    }
    QStringList title;
    for (const std::string& line : layout.titleLines)
        // The chart title is rich text; instrument bytes are shown as they are.
        title << fromCp1252(line).toHtmlEscaped();
    m_chart->setTitle(title.join(QStringLiteral("<br>")));
    QPen qdPen = m_series[1]->pen();
    qdPen.setColor(kQdLineColor);
    m_series[1]->setPen(qdPen);

    for (Quantity series : kQuantities) {
        const auto s = static_cast<size_t>(series);
        const SeriesLayout& rule = layout.of(series);
        setLabelText(m_alarmLine[s], "---");
        m_alarmCaption[s]->setVisible(rule.shown);
        m_alarmLine[s]->setVisible(rule.shown);
        m_readout[s]->setVisible(rule.shown);
        m_showBox[s]->setVisible(rule.shown && layout.seriesToggles);
        if (!rule.shown)
            continue;
        // The Rl series keeps the left axis it was made with.
        if (series == Quantity::Qd)
            setSeriesAxis(series, rule.axis);
        // Axis titles are rich text; shown as they are.
        axis(rule.axis)->setTitleText(fromCp1252(rule.axisTitle).toHtmlEscaped());
    }
    for (Quantity series : kQuantities)
        setSeriesActive(series, layout.of(series).shown);
    m_holdsBuild = false;
    sectionsChanged(false);
}

void GraphDialog::buildAndDraw() {
    // Every build starts from the window as it opens, the model's series shown again.
    if (m_holdsBuild)
        applyLayout();
    m_holdsBuild = true;
    GraphOptions options;
    options.stopOnLowBat = m_stopOnLowBatBox->isChecked();
    m_build = buildGraph(m_table, *m_session.model, options);
    // What a failed build got to stays on screen.
    drawBuild();
    if (!m_build.failure.empty())
        throw AppError(m_build.failure);
    if (m_showStatisticsBox->isChecked())
        writeStatistics(statisticsReport(m_build, m_locale), m_statistics);
}

void GraphDialog::drawBuild() {
    for (Quantity series : kQuantities) {
        const auto s = static_cast<size_t>(series);
        const SeriesBuild& built = m_build.of(series);
        if (!built.shown)
            continue;
        QList<QPointF>& points = m_points[s];
        points.clear();
        for (size_t k = 0; k < built.values.size(); ++k)
            if (built.values[k] != SeriesBuild::kNotPlotted)
                points.append(QPointF(LogTable::recordRow(static_cast<int>(k)), built.values[k]));
        // One replace per series: appending point by point redraws the chart each time.
        m_series[s]->replace(points);
        setLabelText(m_alarmLine[s], built.alarmText);
    }
    QStringList warnings;
    for (const std::string& line : m_build.warnings)
        warnings << fromCp1252(line);
    m_warningsView->setPlainText(warnings.join(QLatin1Char('\n')));
    rangeAxes();
    sectionsChanged(true);
}

void GraphDialog::cursorMoved(QPointF position) {
    hideCross();
    const QRectF plot = m_chart->plotArea();
    // Left and top edges belong to the plot, right and bottom edges do not.
    const bool inside = position.x() >= plot.left() && position.x() < plot.right() &&
                        position.y() >= plot.top() && position.y() < plot.bottom();
    if (!inside) {
        cursorLeft();
        return;
    }
    showCross(position);
    for (Quantity series : kQuantities) {
        const auto s = static_cast<size_t>(series);
        const QPointF value = m_chart->mapToValue(position, m_series[s]);
        setLabelText(m_readout[s], describe(series).name + std::string(": ") +
                                       formatReadout(value.y()) +
                                       " #: " + formatReadout(value.x()));
    }
}

void GraphDialog::cursorLeft() {
    hideCross();
    for (QLabel* readout : m_readout)
        setLabelText(readout, "");
}

bool GraphDialog::crossShown() const {
    return m_crossV->isVisible();
}

void GraphDialog::setLabelText(QLabel* label, const std::string& text) {
    label->setText(fromCp1252(text));
    label->adjustSize();
}

QValueAxis* GraphDialog::axis(SeriesAxis a) const {
    return a == SeriesAxis::Left ? m_leftAxis : m_rightAxis;
}

// Active series are drawn; inactive ones keep their points and their axes.
void GraphDialog::setSeriesActive(Quantity series, bool active) {
    QLineSeries* line = m_series[static_cast<size_t>(series)];
    line->setVisible(active);
    for (QLegendMarker* marker : m_chart->legend()->markers(line))
        marker->setVisible(active);
    rangeAxes();
}

void GraphDialog::setSeriesAxis(Quantity series, SeriesAxis a) {
    const auto s = static_cast<size_t>(series);
    if (m_seriesAxis[s] == a)
        return;
    m_series[s]->detachAxis(axis(m_seriesAxis[s]));
    m_series[s]->attachAxis(axis(a));
    m_seriesAxis[s] = a;
    rangeAxes();
}

void GraphDialog::rangeAxes() {
    // The axes follow the points of the active series, as they are after each build.
    Span x;
    Span left;
    Span right;
    for (size_t s = 0; s < 2; ++s) {
        if (!m_series[s]->isVisible())
            continue;
        Span& y = m_seriesAxis[s] == SeriesAxis::Left ? left : right;
        for (const QPointF& p : m_points[s]) {
            x.add(p.x());
            y.add(p.y());
        }
        if (std::isfinite(m_levelShown[s]))
            y.add(m_levelShown[s]);
    }
    applySpan(m_bottomAxis, x, 0);
    applySpan(m_leftAxis, left, 0.04);
    applySpan(m_rightAxis, right, 0.04);
    const auto qd = static_cast<size_t>(Quantity::Qd);
    m_rightAxis->setVisible(m_seriesAxis[qd] == SeriesAxis::Right && m_series[qd]->isVisible());
}

void GraphDialog::showCross(QPointF position) {
    const QRectF plot = m_chart->plotArea();
    m_crossV->setLine(position.x(), plot.top(), position.x(), plot.bottom());
    m_crossH->setLine(plot.left(), position.y(), plot.right(), position.y());
    m_crossV->show();
    m_crossH->show();
}

void GraphDialog::hideCross() {
    m_crossV->hide();
    m_crossH->hide();
}
