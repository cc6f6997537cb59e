#include "export/SectionsSheet.h"

#include "graph/PerformanceClasses.h"
#include "text/Cp1252.h"

namespace {

class SheetWriter {
public:
    SheetWriter(lxw_worksheet* sheet, lxw_format* oneDecimal)
        : m_sheet(sheet), m_oneDecimal(oneDecimal) {}

    lxw_error error() const { return m_error; }
    void text(lxw_row_t row, lxw_col_t col, const std::string& cp1252) {
        if (m_error == LXW_NO_ERROR && !cp1252.empty())
            m_error = worksheet_write_string(m_sheet, row, col,
                                             fromCp1252(cp1252).toUtf8().constData(), nullptr);
    }
    void number(lxw_row_t row, lxw_col_t col, double value, bool decimal = false) {
        if (m_error == LXW_NO_ERROR)
            m_error =
                worksheet_write_number(m_sheet, row, col, value, decimal ? m_oneDecimal : nullptr);
    }

private:
    lxw_worksheet* m_sheet;
    lxw_format* m_oneDecimal;
    lxw_error m_error = LXW_NO_ERROR;
};

} // namespace

lxw_error addSectionsSheet(lxw_workbook* workbook, const SectionReport& report) {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Sections");
    lxw_format* oneDecimal = workbook_add_format(workbook);
    if (!sheet || !oneDecimal)
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    format_set_num_format(oneDecimal, "0.0");

    SheetWriter out(sheet, oneDecimal);
    const std::vector<std::string>& titles = sectionColumnTitles();
    for (size_t col = 0; col < titles.size(); ++col)
        out.text(0, static_cast<lxw_col_t>(col), titles[col]);
    lxw_row_t row = 1;
    for (const SeriesSections& series : report) {
        const std::vector<PerformanceClass>& classes = performanceClasses(series.series);
        for (const SectionStats& s : series.rows) {
            out.text(row, 0, series.series == Quantity::Rl ? "Rl" : "Qd");
            out.text(row, 1, s.section);
            out.number(row, 2, static_cast<double>(s.used));
            out.number(row, 3, static_cast<double>(s.leftOut));
            if (s.used > 0) {
                out.number(row, 4, s.mean, true);
                if (s.used > 1)
                    out.number(row, 5, s.sd, true);
                out.number(row, 6, s.min);
                out.number(row, 7, s.max);
            }
            out.number(row, 8, static_cast<double>(s.below));
            out.number(row, 9, s.belowPercent, true);
            out.text(row, 10, classes[static_cast<size_t>(s.reachedClass)].name);
            out.text(row, 11, classes[static_cast<size_t>(series.requiredClass)].name);
            out.text(row, 12, s.pass ? "yes" : "no");
            ++row;
        }
    }
    return out.error();
}
