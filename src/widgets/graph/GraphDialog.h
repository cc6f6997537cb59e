#pragma once

#include "graph/GraphBuild.h"
#include "graph/SectionReport.h"

#include <QDialog>
#include <QList>
#include <QLocale>
#include <QPointF>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

class IDialogs;
class LogTable;
class QChart;
class QChartView;
class QCheckBox;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QValueAxis;
class SectionsPanel;
class TextMemo;
struct Session;

// The graph window: draws builds of the log table with Qt Charts, shows their warnings and
// writes their statistics into the memo the text log saves, and reads the values under the
// cursor. All chart code of the program lives in this class.
class GraphDialog final : public QDialog {
    Q_OBJECT
public:
    GraphDialog(const LogTable& table, const Session& session, TextMemo& statistics,
                IDialogs& dialogs, QWidget* parent = nullptr);
    ~GraphDialog() override;

    // The locale whose decimal separator the statistics and the section report use.
    void setLocale(const QLocale& locale);
    // What each opening does: the chart set up for the session's model, nothing built yet.
    void activate();

    // The chart's parts, which have no widget to find by name, for tests and screenshots.
    QChart* chart() const { return m_chart; }
    QLineSeries* series(Quantity series) const { return m_series[static_cast<size_t>(series)]; }
    QValueAxis* leftAxis() const { return m_leftAxis; }
    QValueAxis* rightAxis() const { return m_rightAxis; }
    QValueAxis* bottomAxis() const { return m_bottomAxis; }
    bool crossShown() const;
    SectionsPanel* sections() const { return m_sectionsPanel; }
    // The chart with its controls above, the section report below.
    QSplitter* splitter() const { return m_splitter; }
    // The required level of a series as a horizontal line (GraphDialogSections.cpp).
    QLineSeries* levelLine(Quantity series) const {
        return m_levelLines[static_cast<size_t>(series)];
    }

    // Opening: no larger than the screen's available area.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildChart();
    // Which edges of the area above the report each control follows when it changes size.
    void anchorControls();
    void placeControls();
    void fitToScreen();
    QLabel* addLabel(const char* name, const char* caption, int left, int top);
    QCheckBox* addCheckBox(const char* name, const char* caption, QRect place, bool checked);
    void guarded(const std::function<void()>& handler);
    void refreshStatistics();

    // The handlers of the controls and the chart.
    void showGraph();
    void stopOnLowBatToggled();
    void showSeriesToggled(Quantity series);
    void cursorMoved(QPointF position);
    void cursorLeft();

    void applyLayout();
    void buildAndDraw();
    void drawBuild();
    void setLabelText(QLabel* label, const std::string& text);
    void setSeriesActive(Quantity series, bool active);
    void setSeriesAxis(Quantity series, SeriesAxis axis);
    void rangeAxes();
    QValueAxis* axis(SeriesAxis axis) const;
    void showCross(QPointF position);
    void hideCross();
    // The section report below the controls and its level lines (GraphDialogSections.cpp).
    void buildSections();
    void sectionsChanged(bool buildHeld);
    void refreshSections();
    void placeLevelLines(const SectionReport& report);

    const LogTable& m_table;
    const Session& m_session;
    TextMemo& m_statistics;
    IDialogs& m_dialogs;
    QLocale m_locale;
    GraphLayout m_layout; // of the model the window was last set up for
    GraphBuild m_build;
    // The chart holds a build; the next build sets the window up first.
    bool m_holdsBuild = false;

    QSplitter* m_splitter = nullptr;
    QWidget* m_upper = nullptr; // the chart and its controls as designed
    enum Anchor { kFixed = 0, kMoveX = 1, kMoveY = 2, kGrowX = 4, kGrowY = 8 };
    struct Anchored {
        QWidget* widget;
        QRect designed;
        int anchor;
    };
    std::vector<Anchored> m_anchored;

    QChartView* m_chartView = nullptr;
    QChart* m_chart = nullptr;
    std::array<QLineSeries*, 2> m_series{};
    // Every point of each series, also while the series is hidden; min/max for the axes.
    std::array<QList<QPointF>, 2> m_points;
    std::array<SeriesAxis, 2> m_seriesAxis{SeriesAxis::Left, SeriesAxis::Right};
    QValueAxis* m_leftAxis = nullptr;
    QValueAxis* m_rightAxis = nullptr;
    QValueAxis* m_bottomAxis = nullptr;
    QGraphicsLineItem* m_crossV = nullptr;
    QGraphicsLineItem* m_crossH = nullptr;

    QPushButton* m_showGraphButton = nullptr;
    QCheckBox* m_stopOnLowBatBox = nullptr;
    QCheckBox* m_showStatisticsBox = nullptr;
    // Per series (Rl, Qd): the alarm caption and line, the readout and the "Show" box.
    std::array<QLabel*, 2> m_alarmCaption{};
    std::array<QLabel*, 2> m_alarmLine{};
    std::array<QLabel*, 2> m_readout{};
    std::array<QCheckBox*, 2> m_showBox{};
    QPlainTextEdit* m_statisticsView = nullptr;
    QPlainTextEdit* m_warningsView = nullptr;
    bool m_statisticsDirty = false;

    SectionsPanel* m_sectionsPanel = nullptr;
    std::array<QLineSeries*, 2> m_levelLines{};
    // The required levels the chart shows (NaN: none); the axes include them.
    std::array<double, 2> m_levelShown{NAN, NAN};
    bool m_sectionsBuildHeld = false; // the chart holds a build the report is made from
    bool m_sectionsDirty = false;
};
