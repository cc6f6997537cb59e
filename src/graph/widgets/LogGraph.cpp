#include "graph/widgets/LogGraph.h"

#include "app/App.h"
#include "app/HandlerGuard.h"
#include "text/Cp1252.h"

#include <QCheckBox>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
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

TForm2::TForm2(App& app, QWidget* parent) : QDialog(parent), m_app(app), m_logic(app, *this) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("VELKOR - Virelon Log Graph"));
    // The controls sit at fixed places designed for an 8-point dialog font.
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    buildChart();
    buildControls();
    resize(801, 571);
    buildSections();
    const auto markDirty = [this] {
        if (m_memosDirty)
            return;
        m_memosDirty = true;
        QMetaObject::invokeMethod(this, &TForm2::refreshMemos, Qt::QueuedConnection);
    };
    m_app.statistics.onChanged = markDirty;
    m_logic.memWarn().onChanged = markDirty;
}

TForm2::~TForm2() {
    m_app.statistics.onChanged = nullptr;
}

void TForm2::buildChart() {
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
        series->setObjectName(QStringLiteral("Series%1").arg(s + 1));
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

    m_chartView = new QChartView(m_chart, this);
    m_chartView->setObjectName(QStringLiteral("Chart1"));
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

QLabel* TForm2::addLabel(const char* name, const char* caption, int left, int top) {
    auto* label = new QLabel(QString::fromLatin1(caption), this);
    label->setObjectName(QString::fromLatin1(name));
    // Statistics and readouts may carry the instrument's texts: never taken as markup.
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QCheckBox* TForm2::addCheckBox(const char* name, const char* caption, QRect place, bool checked) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), this);
    box->setObjectName(QString::fromLatin1(name));
    // Wider than designed only where the font needs it, so no caption is cut.
    place.setWidth(std::max(place.width(), box->sizeHint().width()));
    box->setGeometry(place);
    box->setChecked(checked);
    return box;
}

void TForm2::buildControls() {
    m_btnGraph = new QPushButton(QStringLiteral("Show Graph"), this);
    m_btnGraph->setObjectName(QStringLiteral("btnGraph"));
    m_btnGraph->setGeometry(16, 488, 75, 25);
    m_btnGraph->setAutoDefault(false);
    connect(m_btnGraph, &QPushButton::clicked, this,
            [this] { guarded([&] { m_logic.btnGraphClick(); }); });

    m_cbValarm = addCheckBox("cbValarm", "Stop when low bat", {104, 493, 121, 17}, true);
    m_cbValarm->setToolTip(QStringLiteral("Data is not shown if 3 low batt warnings occurs"));
    connect(m_cbValarm, &QCheckBox::toggled, this,
            [this] { guarded([&] { m_logic.cbValarmClick(); }); });

    m_label1 = addLabel("Label1", "Rl V alarm:", 248, 488);
    m_lblRVA = addLabel("lblRVA", "---", 312, 488);
    m_label2 = addLabel("Label2", "Qd V alarm:", 248, 504);
    m_lblQVA = addLabel("lblQVA", "---", 312, 504);
    // A wide font must not run the captions into the stop lines.
    for (auto [caption, line] : {std::pair{m_label1, m_lblRVA}, std::pair{m_label2, m_lblQVA}})
        line->move(std::max(line->x(), caption->geometry().right() + 4), line->y());
    m_lblSerie1 = addLabel("lblSerie1", "--", 352, 488);
    m_lblSerie2 = addLabel("lblSerie2", "--", 352, 504);

    m_cbShowRl = addCheckBox("cbShowRl", "Show Rl graph", {480, 488, 97, 17}, true);
    connect(m_cbShowRl, &QCheckBox::toggled, this,
            [this] { guarded([&] { m_logic.cbShowRlClick(); }); });
    m_cbShowQd = addCheckBox("cbShowQd", "Show Qd graph", {480, 504, 105, 17}, true);
    connect(m_cbShowQd, &QCheckBox::toggled, this,
            [this] { guarded([&] { m_logic.cbShowQdClick(); }); });

    addLabel("Label4", "Statistics:", 608, 16);
    m_memStat = new QPlainTextEdit(this);
    m_memStat->setObjectName(QStringLiteral("memStat"));
    m_memStat->setGeometry(608, 32, 169, 305);
    addLabel("Label3", "Warning / errors", 608, 344);
    m_memWarn = new QPlainTextEdit(this);
    m_memWarn->setObjectName(QStringLiteral("memWarn"));
    m_memWarn->setGeometry(608, 360, 169, 113);
    for (QPlainTextEdit* memo : {m_memStat, m_memWarn}) {
        // The report is saved with the log as written, so it is not edited here.
        memo->setReadOnly(true);
        memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }

    m_cbStat = addCheckBox("cbStat", "Show Statistics", {608, 485, 97, 17}, true);
}

void TForm2::guarded(const std::function<void()>& handler) {
    RunGuarded(m_app.dialogs, handler);
    refreshMemos();
}

void TForm2::refreshMemos() {
    if (!m_memosDirty)
        return;
    m_memosDirty = false;
    const auto show = [](QPlainTextEdit* edit, const TextMemo& memo) {
        QStringList lines;
        lines.reserve(static_cast<qsizetype>(memo.lines().size()));
        for (const std::string& line : memo.lines())
            lines << fromCp1252(line);
        edit->setPlainText(lines.join(QLatin1Char('\n')));
    };
    show(m_memStat, m_app.statistics);
    show(m_memWarn, m_logic.memWarn());
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Each opening; not when the window system merely restores it.
    if (!event->spontaneous())
        guarded([&] { m_logic.FormActivate(); });
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_chartView->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const auto* move = static_cast<QMouseEvent*>(event);
            const QPointF scenePos =
                m_chartView->viewportTransform().inverted().map(move->position());
            const QPointF chartPos = m_chart->mapFromScene(scenePos);
            guarded([&] { m_logic.Chart1MouseMove(chartPos); });
        } else if (event->type() == QEvent::Leave) {
            guarded([&] { m_logic.Chart1MouseLeave(); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

QWidget* TForm2::control(GraphControl control) const {
    switch (control) {
    case GraphControl::cbShowRl:
        return m_cbShowRl;
    case GraphControl::cbShowQd:
        return m_cbShowQd;
    case GraphControl::Label1:
        return m_label1;
    case GraphControl::lblRVA:
        return m_lblRVA;
    case GraphControl::lblSerie1:
        return m_lblSerie1;
    case GraphControl::Label2:
        return m_label2;
    case GraphControl::lblQVA:
        return m_lblQVA;
    case GraphControl::lblSerie2:
        return m_lblSerie2;
    }
    return nullptr;
}

bool TForm2::crossShown() const {
    return m_crossV->isVisible();
}

void TForm2::setAlarmHints(const std::string& hint) {
    for (QLabel* label : {m_label1, m_label2, m_lblRVA, m_lblQVA})
        label->setToolTip(Qt::convertFromPlainText(fromCp1252(hint), Qt::WhiteSpacePre));
}

void TForm2::setControlVisible(GraphControl c, bool visible) {
    control(c)->setVisible(visible);
}

void TForm2::setLabelText(GraphControl label, const std::string& text) {
    if (auto* l = qobject_cast<QLabel*>(control(label))) {
        l->setText(fromCp1252(text));
        l->adjustSize();
    }
}

bool TForm2::isChecked(GraphCheckBox box) const {
    switch (box) {
    case GraphCheckBox::cbValarm:
        return m_cbValarm->isChecked();
    case GraphCheckBox::cbShowRl:
        return m_cbShowRl->isChecked();
    case GraphCheckBox::cbShowQd:
        return m_cbShowQd->isChecked();
    case GraphCheckBox::cbStat:
        return m_cbStat->isChecked();
    }
    return false;
}

void TForm2::setShowGraphEnabled(bool enabled) {
    m_btnGraph->setEnabled(enabled);
}

void TForm2::focusShowGraph() {
    m_btnGraph->setFocus();
}

void TForm2::clearTitle() {
    m_titleLines.clear();
    m_chart->setTitle(QString());
}

void TForm2::addTitleLine(const std::string& line) {
    // The chart title is rich text; instrument bytes are shown as they are.
    m_titleLines << fromCp1252(line).toHtmlEscaped();
    m_chart->setTitle(m_titleLines.join(QStringLiteral("<br>")));
}

QValueAxis* TForm2::axis(GraphAxis a) const {
    return a == GraphAxis::Left ? m_leftAxis : m_rightAxis;
}

GraphAxis TForm2::axisOf(GraphSeries series) const {
    return m_seriesAxis[static_cast<size_t>(series)];
}

void TForm2::setAxisTitle(GraphAxis a, const std::string& title) {
    // Axis titles are rich text; the instrument's column titles are shown as they are.
    axis(a)->setTitleText(fromCp1252(title).toHtmlEscaped());
}

void TForm2::clearPoints(GraphSeries series) {
    const auto s = static_cast<size_t>(series);
    m_points[s].clear();
    m_pointsPending[s] = false;
    m_series[s]->clear();
    rangeAxes();
    sectionsChanged(false);
}

void TForm2::setSeriesActive(GraphSeries series, bool active) {
    QLineSeries* line = m_series[static_cast<size_t>(series)];
    line->setVisible(active);
    for (QLegendMarker* marker : m_chart->legend()->markers(line))
        marker->setVisible(active);
    rangeAxes();
}

void TForm2::setSeriesAxis(GraphSeries series, GraphAxis a) {
    const auto s = static_cast<size_t>(series);
    if (m_seriesAxis[s] == a)
        return;
    m_series[s]->detachAxis(axis(m_seriesAxis[s]));
    m_series[s]->attachAxis(axis(a));
    m_seriesAxis[s] = a;
    rangeAxes();
}

void TForm2::setSeriesColor(GraphSeries series, QRgb color) {
    QLineSeries* line = m_series[static_cast<size_t>(series)];
    QPen pen = line->pen();
    pen.setColor(QColor::fromRgb(color));
    line->setPen(pen);
}

void TForm2::addPoint(GraphSeries series, double x, double y) {
    const auto s = static_cast<size_t>(series);
    m_points[s].append(QPointF(x, y));
    m_pointsPending[s] = true;
}

void TForm2::pointsAdded() {
    // One replace per series: appending point by point redraws the chart each time.
    for (size_t s = 0; s < 2; ++s) {
        if (!m_pointsPending[s])
            continue;
        m_pointsPending[s] = false;
        m_series[s]->replace(m_points[s]);
    }
    rangeAxes();
    sectionsChanged(true);
}

void TForm2::rangeAxes() {
    // The axes follow the points of the active series, as they are after each build.
    Span x;
    Span left;
    Span right;
    for (size_t s = 0; s < 2; ++s) {
        if (!m_series[s]->isVisible())
            continue;
        Span& y = m_seriesAxis[s] == GraphAxis::Left ? left : right;
        for (const QPointF& p : m_points[s]) {
            x.add(p.x());
            y.add(p.y());
        }
    }
    applySpan(m_bottomAxis, x, 0);
    applySpan(m_leftAxis, left, 0.04);
    applySpan(m_rightAxis, right, 0.04);
    const auto qd = static_cast<size_t>(GraphSeries::Qd);
    m_rightAxis->setVisible(m_seriesAxis[qd] == GraphAxis::Right && m_series[qd]->isVisible());
}

QRectF TForm2::plotArea() const {
    return m_chart->plotArea();
}

QPointF TForm2::valueAt(GraphSeries series, QPointF position) const {
    return m_chart->mapToValue(position, m_series[static_cast<size_t>(series)]);
}

void TForm2::showCross(QPointF position) {
    const QRectF plot = m_chart->plotArea();
    m_crossV->setLine(position.x(), plot.top(), position.x(), plot.bottom());
    m_crossH->setLine(plot.left(), position.y(), plot.right(), position.y());
    m_crossV->show();
    m_crossH->show();
}

void TForm2::hideCross() {
    m_crossV->hide();
    m_crossH->hide();
}
