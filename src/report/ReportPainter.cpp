#include "report/ReportPainter.h"

#include "report/ReportContent.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace {

// The page in millimetres.
constexpr double kMarginLeft = 18;
constexpr double kMarginRight = 15;
constexpr double kMarginTop = 15;
constexpr double kMarginBottom = 20; // the footer sits in it
constexpr double kFooterFromBottom = 10;
constexpr double kCellPad = 1.0;
constexpr double kGraphHeight = 75;
constexpr double kFieldLabelWidth = 38;

// Installed with the program's dependencies, so a PDF embeds the same font everywhere.
const char* const kFontFamily = "DejaVu Sans";

QFont reportFont(double points, bool bold = false) {
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPointSizeF(points);
    font.setBold(bold);
    // Without shaping there are no ligatures, so a reader of the PDF finds "fi" as two letters.
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | QFont::PreferNoShaping));
    return font;
}

// A font with its metrics on the device.
struct Face {
    Face(const QFont& f, QPaintDevice* device) : font(f), metrics(f, device) {}
    QFont font;
    QFontMetricsF metrics;
    double lineHeight() const { return metrics.lineSpacing(); }
};

// A tick step of 1, 2 or 5 times a power of ten, near span / 5.
double niceStep(double span) {
    if (!(span > 0))
        return 1;
    const double raw = span / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

// One pass over the report: the first measures (no painter) and counts the pages, the second
// paints with that count known.
class Layout {
public:
    Layout(QPagedPaintDevice& device, QPainter* painter, int pageCount, const ReportContent& r)
        : m_device(device), m_painter(painter), m_pageCount(pageCount), m_report(r),
          m_unit(device.logicalDpiY() / 25.4), m_heading(reportFont(16, true), &device),
          m_title(reportFont(11, true), &device), m_body(reportFont(9), &device),
          m_bold(reportFont(9, true), &device), m_small(reportFont(7), &device),
          m_smallBold(reportFont(7, true), &device), m_left(mm(kMarginLeft)),
          m_right(device.width() - mm(kMarginRight)), m_top(mm(kMarginTop)),
          m_bottom(device.height() - mm(kMarginBottom)), m_y(m_top) {}

    int run() {
        const ReportContent& r = m_report;
        paragraph(m_heading, r.heading);
        space(3);
        if (!r.details.empty()) {
            title(QStringLiteral("Survey"));
            fields(r.details);
        }
        title(QStringLiteral("Instrument and log"));
        fields(r.instrument);

        title(QStringLiteral("Sections"));
        paragraph(m_body, r.requiredLine);
        space(1);
        table(r.sections);

        for (const ReportGraph& g : r.graphs)
            graph(g);

        title(QStringLiteral("Statistics"));
        lines(r.statistics.isEmpty() ? QStringList{QStringLiteral("none")} : r.statistics);
        title(QStringLiteral("Warnings and errors"));
        lines(r.warnings.isEmpty() ? QStringList{QStringLiteral("none")} : r.warnings);
        title(QStringLiteral("Records left out"));
        lines(r.leftOut);

        newPage();
        title(QStringLiteral("Appendix: the records"));
        table(r.records);
        footer();
        return m_page;
    }

private:
    double mm(double v) const { return v * m_unit; }
    double width() const { return m_right - m_left; }

    void space(double millimetres) { m_y += mm(millimetres); }

    // Room for height below the current line, or a new page when the page has none left.
    void need(double height) {
        if (m_y + height > m_bottom && m_y > m_top)
            newPage();
    }

    void newPage() {
        footer();
        if (m_painter)
            m_device.newPage();
        ++m_page;
        m_y = m_top;
        if (m_repeatHeader)
            m_repeatHeader();
    }

    void footer() {
        if (!m_painter)
            return;
        m_painter->setFont(m_small.font);
        m_painter->setPen(Qt::black);
        const double base = m_device.height() - mm(kFooterFromBottom);
        m_painter->drawText(QPointF(m_left, base), m_report.program);
        const QString made = QStringLiteral("Report made ") + m_report.madeAt;
        m_painter->drawText(
            QPointF((m_left + m_right - m_small.metrics.horizontalAdvance(made)) / 2, base), made);
        const QString page = QStringLiteral("Page %1 of %2").arg(m_page).arg(m_pageCount);
        m_painter->drawText(QPointF(m_right - m_small.metrics.horizontalAdvance(page), base), page);
    }

    void text(const Face& face, double x, double top, const QString& line,
              const QColor& color = Qt::black) {
        if (!m_painter)
            return;
        m_painter->setFont(face.font);
        m_painter->setPen(color.isValid() ? color : QColor(Qt::black));
        m_painter->drawText(QPointF(x, top + face.metrics.ascent()), line);
    }

    // The lines a text takes in the width: its own line breaks, then breaks at word boundaries,
    // within a word where one word is wider than the width.
    QStringList wrap(const Face& face, const QString& text, double lineWidth) const {
        QStringList out;
        for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
            if (face.metrics.horizontalAdvance(paragraph) <= lineWidth) {
                out << paragraph;
                continue;
            }
            QTextLayout layout(paragraph, face.font, &m_device);
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(std::max(lineWidth, 1.0));
                out << paragraph.mid(line.textStart(), line.textLength());
            }
            layout.endLayout();
        }
        return out;
    }

    void paragraph(const Face& face, const QString& t, const QColor& color = QColor()) {
        for (const QString& line : wrap(face, t, width())) {
            need(face.lineHeight());
            text(face, m_left, m_y, line, color);
            m_y += face.lineHeight();
        }
    }

    void lines(const QStringList& all) {
        for (const QString& line : all)
            paragraph(m_body, line);
    }

    void title(const QString& t) {
        space(4);
        // A title is not left alone at the bottom of a page.
        need(m_title.lineHeight() + 3 * m_body.lineHeight());
        paragraph(m_title, t);
        space(1);
    }

    void fields(const std::vector<ReportField>& all) {
        const double valueX = m_left + mm(kFieldLabelWidth);
        for (const ReportField& f : all) {
            const QStringList valueLines = wrap(m_body, f.second, m_right - valueX);
            for (int i = 0; i < valueLines.size(); ++i) {
                need(m_body.lineHeight());
                if (i == 0)
                    text(m_bold, m_left, m_y, f.first);
                text(m_body, valueX, m_y, valueLines[i]);
                m_y += m_body.lineHeight();
            }
        }
    }

    // Column widths from the widest text of each column. Where they do not fit the page, only
    // the widest columns give up width, down to one common limit (their cells then wrap), so a
    // long Seq-Id cannot squeeze the figures; where they fit, the spare width is shared out.
    std::vector<double> columnWidths(const ReportTable& t) const {
        const auto cols = static_cast<size_t>(t.titles.size());
        std::vector<double> widths(cols, 0);
        const double cap = mm(60);
        for (size_t c = 0; c < cols; ++c)
            widths[c] = m_smallBold.metrics.horizontalAdvance(t.titles[static_cast<int>(c)]);
        for (const QStringList& row : t.rows)
            for (size_t c = 0; c < cols && c < static_cast<size_t>(row.size()); ++c)
                widths[c] = std::max(widths[c], std::min(cap, m_small.metrics.horizontalAdvance(
                                                                  row[static_cast<int>(c)])));
        double sum = 0;
        for (double& w : widths) {
            w += 2 * mm(kCellPad) + mm(0.5);
            sum += w;
        }
        if (cols == 0)
            return widths;
        if (sum <= width()) {
            const double spare = (width() - sum) / static_cast<double>(cols);
            for (double& w : widths)
                w += spare;
            return widths;
        }
        std::vector<double> sorted = widths;
        std::sort(sorted.begin(), sorted.end());
        double room = width();
        double limit = room / static_cast<double>(cols);
        for (size_t i = 0; i < cols; ++i) {
            const double share = room / static_cast<double>(cols - i);
            if (sorted[i] > share) {
                limit = share;
                break;
            }
            room -= sorted[i];
        }
        for (double& w : widths)
            w = std::min(w, limit);
        return widths;
    }

    // The height of a row of wrapped cells.
    double rowHeight(const std::vector<QStringList>& cells) const {
        int most = 1;
        for (const QStringList& c : cells)
            most = std::max(most, static_cast<int>(c.size()));
        return most * m_small.lineHeight() + mm(kCellPad);
    }

    std::vector<QStringList> rowCells(const Face& face, const QStringList& texts,
                                      const std::vector<double>& widths) const {
        std::vector<QStringList> cells;
        for (size_t c = 0; c < widths.size(); ++c) {
            const QString t =
                c < static_cast<size_t>(texts.size()) ? texts[static_cast<int>(c)] : QString();
            cells.push_back(wrap(face, t, widths[c] - 2 * mm(kCellPad)));
        }
        return cells;
    }

    void drawRow(const Face& face, const std::vector<QStringList>& cells,
                 const std::vector<double>& widths, const std::vector<QColor>* colors,
                 double height, bool header) {
        if (m_painter) {
            if (header)
                m_painter->fillRect(QRectF(m_left, m_y, width(), height), QColor(225, 225, 225));
            m_painter->setPen(QPen(QColor(170, 170, 170), 0));
            m_painter->drawLine(QPointF(m_left, m_y + height), QPointF(m_right, m_y + height));
        }
        double x = m_left;
        for (size_t c = 0; c < cells.size(); ++c) {
            const QColor color = colors && c < colors->size() ? (*colors)[c] : QColor();
            double top = m_y + mm(kCellPad) / 2;
            for (const QString& line : cells[c]) {
                if (top + face.lineHeight() > m_y + height + 0.5)
                    break;
                text(face, x + mm(kCellPad), top, line, color);
                top += face.lineHeight();
            }
            x += widths[c];
        }
        m_y += height;
    }

    // A table whose title row starts every page it runs over.
    void table(const ReportTable& t) {
        const std::vector<double> widths = columnWidths(t);
        const std::vector<QStringList> headerCells = rowCells(m_smallBold, t.titles, widths);
        const double headerHeight = rowHeight(headerCells);
        const auto header = [&] {
            drawRow(m_smallBold, headerCells, widths, nullptr, headerHeight, true);
        };
        need(headerHeight + 2 * m_small.lineHeight());
        header();
        m_repeatHeader = header;
        const double pageRoom = m_bottom - m_top - headerHeight;
        for (size_t i = 0; i < t.rows.size(); ++i) {
            const std::vector<QStringList> cells = rowCells(m_small, t.rows[i], widths);
            // A row taller than a page is cut to the page.
            const double height = std::min(rowHeight(cells), pageRoom);
            need(height);
            drawRow(m_small, cells, widths, i < t.colors.size() ? &t.colors[i] : nullptr, height,
                    false);
        }
        m_repeatHeader = nullptr;
    }

    void graph(const ReportGraph& g) {
        space(4);
        need(m_title.lineHeight() + m_body.lineHeight() + mm(kGraphHeight));
        paragraph(m_title, g.title, g.color);
        paragraph(m_body, g.levelText);
        space(1);

        // The scale holds every reading drawn and the required level, so the margin shows.
        std::optional<double> lo;
        std::optional<double> hi;
        const auto include = [&](double v) {
            lo = lo ? std::min(*lo, v) : v;
            hi = hi ? std::max(*hi, v) : v;
        };
        for (int32_t v : g.values)
            if (v != SeriesBuild::kNotPlotted && v != -1)
                include(v);
        const bool anyValue = lo.has_value();
        if (g.hasLevel)
            include(g.level);
        if (!lo)
            include(0);
        double bottom = *lo;
        double top = *hi;
        if (top - bottom < 1) {
            bottom -= 5;
            top += 5;
        }
        // A little room, so neither the readings nor the level run along the frame.
        const double room = (top - bottom) * 0.05;
        bottom -= room;
        top += room;
        const double step = niceStep(top - bottom);
        bottom = std::floor(bottom / step) * step;
        top = std::ceil(top / step) * step;

        const QRectF plot(m_left + mm(14), m_y + mm(2), width() - mm(16), mm(kGraphHeight - 12));
        // Each record takes an equal slot, its reading in the middle: a lone one stays clear of
        // the frame.
        const double count = std::max<double>(1, static_cast<double>(g.values.size()));
        const auto px = [&](double row) {
            return plot.left() + (row - 0.5) / count * plot.width();
        };
        const auto py = [&](double value) {
            return plot.bottom() - (value - bottom) / (top - bottom) * plot.height();
        };
        if (m_painter) {
            QPainter& p = *m_painter;
            p.setFont(m_small.font);
            for (double v = bottom; v <= top + step / 2; v += step) {
                p.setPen(QPen(QColor(215, 215, 215), 0));
                p.drawLine(QPointF(plot.left(), py(v)), QPointF(plot.right(), py(v)));
                const QString label = QString::number(v, 'g', 10);
                p.setPen(Qt::black);
                p.drawText(QPointF(plot.left() - mm(1.5) - m_small.metrics.horizontalAdvance(label),
                                   py(v) + m_small.metrics.ascent() / 2),
                           label);
            }
            const double xStep = std::max(1.0, niceStep(count));
            for (double row = 1; row <= count + 0.5; row += xStep) {
                const QString label = QString::number(row, 'g', 10);
                p.drawText(QPointF(px(row) - m_small.metrics.horizontalAdvance(label) / 2,
                                   plot.bottom() + mm(1) + m_small.metrics.ascent()),
                           label);
            }
            p.setPen(QPen(Qt::black, mm(0.2)));
            p.drawRect(plot);
            p.drawText(
                QPointF(plot.right() - m_small.metrics.horizontalAdvance(QStringLiteral("#")),
                        plot.bottom() + mm(1) + 2 * m_small.metrics.ascent()),
                QStringLiteral("#"));

            // The readings, broken where a record was not plotted.
            QPainterPath path;
            bool open = false;
            for (size_t k = 0; k < g.values.size(); ++k) {
                const int32_t v = g.values[k];
                if (v == SeriesBuild::kNotPlotted || v == -1) {
                    open = false;
                    continue;
                }
                const QPointF point(px(static_cast<double>(k) + 1), py(v));
                if (open)
                    path.lineTo(point);
                else
                    path.moveTo(point);
                open = true;
            }
            p.setPen(QPen(g.color, mm(0.25)));
            p.drawPath(path);
            // A lone reading has no line to show it.
            for (size_t k = 0; k < g.values.size(); ++k) {
                const int32_t v = g.values[k];
                const bool alone =
                    v != SeriesBuild::kNotPlotted && v != -1 &&
                    (k == 0 || g.values[k - 1] == SeriesBuild::kNotPlotted ||
                     g.values[k - 1] == -1) &&
                    (k + 1 == g.values.size() || g.values[k + 1] == SeriesBuild::kNotPlotted ||
                     g.values[k + 1] == -1);
                if (alone)
                    p.drawEllipse(QPointF(px(static_cast<double>(k) + 1), py(v)), mm(0.5), mm(0.5));
            }
            if (g.hasLevel) {
                QPen dashed(g.color, mm(0.35), Qt::DashLine);
                p.setPen(dashed);
                p.drawLine(QPointF(plot.left(), py(g.level)), QPointF(plot.right(), py(g.level)));
            }
            if (!anyValue) {
                p.setPen(Qt::black);
                p.drawText(plot, Qt::AlignCenter, QStringLiteral("No readings plotted"));
            }
        }
        m_y += mm(kGraphHeight);
    }

    QPagedPaintDevice& m_device;
    QPainter* m_painter;
    int m_pageCount;
    const ReportContent& m_report;
    double m_unit; // device units per millimetre
    Face m_heading;
    Face m_title;
    Face m_body;
    Face m_bold;
    Face m_small;
    Face m_smallBold;
    const double m_left; // the printable area, in device units
    const double m_right;
    const double m_top;
    const double m_bottom;
    double m_y;
    int m_page = 1;
    std::function<void()> m_repeatHeader;
};

} // namespace

int paintReport(const ReportContent& report, QPagedPaintDevice& device) {
    const int pages = Layout(device, nullptr, 0, report).run();
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    Layout(device, &painter, pages, report).run();
    painter.end();
    return pages;
}

QPageSize reportPageSize(const QLocale& locale) {
    return QPageSize(locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                             : QPageSize::A4);
}
