#pragma once

#include "graph/SectionReport.h"

#include <QLocale>
#include <QWidget>
#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QTableView;
class SectionsModel;

// The graph window's section report: the required class of each series, chosen by the user and
// remembered, and the table of the report's rows with pass or fail.
class SectionsPanel final : public QWidget {
    Q_OBJECT
public:
    explicit SectionsPanel(QWidget* parent = nullptr);

    // The locale whose decimal separator the figures use.
    void setLocale(const QLocale& locale);

    RequiredClasses required() const;
    // Only the series a model has can be chosen.
    void setSeriesPresent(Quantity series, bool present);
    void showReport(const SectionReport& report);
    void clearReport();

    // Called after the user chose another class (it is stored by then).
    std::function<void()> onRequiredChanged;

    QComboBox* requiredBox(Quantity series) const {
        return m_required[static_cast<size_t>(series)];
    }
    QTableView* table() const { return m_table; }
    SectionsModel* model() const { return m_model; }

private:
    std::array<QComboBox*, 2> m_required{};
    QTableView* m_table = nullptr;
    SectionsModel* m_model = nullptr;
};
