#pragma once

#include "graph/SectionReport.h"

#include <QLocale>
#include <QWidget>
#include <array>
#include <functional>

class IRequiredClassMemory;
class QCheckBox;
class QComboBox;
class QTableView;
class SectionsModel;

// The graph window's section report: the required class of each series, chosen by the user and
// remembered, whether the chart shows the required levels, and the table of the report's rows
// with pass or fail.
class SectionsPanel final : public QWidget {
    Q_OBJECT
public:
    // The required classes start as kept in the memory and are kept there when chosen.
    explicit SectionsPanel(IRequiredClassMemory& memory, QWidget* parent = nullptr);

    // The locale whose decimal separator the figures use.
    void setLocale(const QLocale& locale);

    RequiredClasses required() const;
    // Only the series a model has can be chosen.
    void setSeriesPresent(Quantity series, bool present);
    void showReport(const SectionReport& report);
    void clearReport();

    // Whether the chart draws the required levels (and its axes include them).
    bool showLevel() const;
    void setShowLevel(bool shown);

    // Called after the user chose another class (it is stored by then).
    std::function<void()> onRequiredChanged;
    // Called after the user checked or cleared "Show required level".
    std::function<void()> onShowLevelChanged;

    QComboBox* requiredBox(Quantity series) const {
        return m_required[static_cast<size_t>(series)];
    }
    QCheckBox* showLevelBox() const { return m_showLevel; }
    QTableView* table() const { return m_table; }
    SectionsModel* model() const { return m_model; }

private:
    std::array<QComboBox*, 2> m_required{};
    QCheckBox* m_showLevel = nullptr;
    QTableView* m_table = nullptr;
    SectionsModel* m_model = nullptr;
};
