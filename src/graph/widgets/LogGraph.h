#pragma once

#include "graph/GraphLogic.h"
#include "graph/GraphView.h"
#include "graph/SectionReport.h"

#include <QDialog>
#include <QList>
#include <QPointF>
#include <array>
#include <functional>

class App;
class QChart;
class QChartView;
class QCheckBox;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QPlainTextEdit;
class QPushButton;
class QValueAxis;
class SectionsPanel;

// The graph window: plots the log table with Qt Charts and shows the warnings and statistics
// that GraphLogic writes. All chart code of the program lives in this class.
class TForm2 final : public QDialog, public IGraphView {
    Q_OBJECT
public:
    explicit TForm2(App& app, QWidget* parent = nullptr);
    ~TForm2() override;

    GraphLogic& logic() { return m_logic; }

    // IGraphView
    void setAlarmHints(const std::string& hint) override;
    void setControlVisible(GraphControl control, bool visible) override;
    void setLabelText(GraphControl label, const std::string& text) override;
    bool isChecked(GraphCheckBox box) const override;
    void setShowGraphEnabled(bool enabled) override;
    void focusShowGraph() override;
    void clearTitle() override;
    void addTitleLine(const std::string& line) override;
    void setAxisTitle(GraphAxis axis, const std::string& title) override;
    void clearPoints(GraphSeries series) override;
    void setSeriesActive(GraphSeries series, bool active) override;
    void setSeriesAxis(GraphSeries series, GraphAxis axis) override;
    void setSeriesColor(GraphSeries series, QRgb color) override;
    void addPoint(GraphSeries series, double x, double y) override;
    void pointsAdded() override;
    QRectF plotArea() const override;
    QPointF valueAt(GraphSeries series, QPointF position) const override;
    void showCross(QPointF position) override;
    void hideCross() override;

    // The controls, by their names, for tests and screenshots.
    QChartView* chart1() const { return m_chartView; }
    QChart* chart() const { return m_chart; }
    QLineSeries* series1() const { return m_series[0]; }
    QLineSeries* series2() const { return m_series[1]; }
    QValueAxis* leftAxis() const { return m_leftAxis; }
    QValueAxis* rightAxis() const { return m_rightAxis; }
    QValueAxis* bottomAxis() const { return m_bottomAxis; }
    QPushButton* btnGraph() const { return m_btnGraph; }
    QCheckBox* cbValarm() const { return m_cbValarm; }
    QCheckBox* cbShowRl() const { return m_cbShowRl; }
    QCheckBox* cbShowQd() const { return m_cbShowQd; }
    QCheckBox* cbStat() const { return m_cbStat; }
    QWidget* control(GraphControl control) const;
    QPlainTextEdit* memStat() const { return m_memStat; }
    QPlainTextEdit* memWarn() const { return m_memWarn; }
    bool crossShown() const;
    SectionsPanel* sections() const { return m_sectionsPanel; }
    // The required level of a series as a horizontal line (LogGraphSections.cpp).
    QLineSeries* levelLine(GraphSeries series) const {
        return m_levelLines[static_cast<size_t>(series)];
    }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildChart();
    QLabel* addLabel(const char* name, const char* caption, int left, int top);
    QCheckBox* addCheckBox(const char* name, const char* caption, QRect place, bool checked);
    void guarded(const std::function<void()>& handler);
    void refreshMemos();
    void rangeAxes();
    QValueAxis* axis(GraphAxis axis) const;
    GraphAxis axisOf(GraphSeries series) const;
    // The section report below the controls and its level lines (LogGraphSections.cpp).
    void buildSections();
    void sectionsChanged(bool buildHeld);
    void refreshSections();
    void placeLevelLines(const SectionReport& report);

    App& m_app;
    GraphLogic m_logic;

    QChartView* m_chartView = nullptr;
    QChart* m_chart = nullptr;
    std::array<QLineSeries*, 2> m_series{};
    // Every point of each series, also while the series is hidden; min/max for the axes.
    std::array<QList<QPointF>, 2> m_points;
    std::array<bool, 2> m_pointsPending{};
    std::array<GraphAxis, 2> m_seriesAxis{GraphAxis::Left, GraphAxis::Right};
    QValueAxis* m_leftAxis = nullptr;
    QValueAxis* m_rightAxis = nullptr;
    QValueAxis* m_bottomAxis = nullptr;
    QStringList m_titleLines;
    QGraphicsLineItem* m_crossV = nullptr;
    QGraphicsLineItem* m_crossH = nullptr;

    QPushButton* m_btnGraph = nullptr;
    QCheckBox* m_cbValarm = nullptr;
    QCheckBox* m_cbShowRl = nullptr;
    QCheckBox* m_cbShowQd = nullptr;
    QCheckBox* m_cbStat = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_lblRVA = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_lblQVA = nullptr;
    QLabel* m_lblSerie1 = nullptr;
    QLabel* m_lblSerie2 = nullptr;
    QPlainTextEdit* m_memStat = nullptr;
    QPlainTextEdit* m_memWarn = nullptr;
    bool m_memosDirty = false;

    SectionsPanel* m_sectionsPanel = nullptr;
    std::array<QLineSeries*, 2> m_levelLines{};
    bool m_sectionsBuildHeld = false; // the chart holds a build the report is made from
    bool m_sectionsDirty = false;
};
