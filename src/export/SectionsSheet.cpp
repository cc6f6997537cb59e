#include "export/SectionsSheet.h"

#include "export/WorkbookExport.h"
#include "graph/PerformanceClasses.h"
#include "text/Cp1252.h"

#include <algorithm>

namespace {

// The sheet is read by people: its titles in words, one per column of sectionColumnTitles.
const char* const kTitles[] = {
    "Series", "Section",     "Readings used", "Left out", "Mean",     "SD",    "Min",
    "Max",    "Below level", "Below level %", "Class",    "Required", "Result"};
constexpr lxw_col_t kColumns = static_cast<lxw_col_t>(std::size(kTitles));
constexpr lxw_col_t kShareColumn = 9;
// Counts and figures stand right, their titles above them too.
constexpr lxw_col_t kFirstFigure = 2;
constexpr lxw_col_t kLastFigure = 9;
constexpr uint8_t kPaperA4 = 9;

class SheetWriter {
public:
    SheetWriter(lxw_worksheet* sheet) : m_sheet(sheet) {}

    lxw_error error() const { return m_error; }
    void text(lxw_row_t row, lxw_col_t col, const std::string& cp1252,
              lxw_format* format = nullptr) {
        if (m_error == LXW_NO_ERROR && !cp1252.empty())
            m_error = worksheet_write_string(m_sheet, row, col,
                                             fromCp1252(cp1252).toUtf8().constData(), format);
    }
    void number(lxw_row_t row, lxw_col_t col, double value, lxw_format* format = nullptr) {
        if (m_error == LXW_NO_ERROR)
            m_error = worksheet_write_number(m_sheet, row, col, value, format);
    }
    void check(lxw_error error) {
        if (m_error == LXW_NO_ERROR)
            m_error = error;
    }

private:
    lxw_worksheet* m_sheet;
    lxw_error m_error = LXW_NO_ERROR;
};

} // namespace

lxw_error addSectionsSheet(lxw_workbook* workbook, const SectionReport& report) {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Sections");
    lxw_format* title = workbook_add_format(workbook);
    lxw_format* figureTitle = workbook_add_format(workbook);
    lxw_format* oneDecimal = workbook_add_format(workbook);
    lxw_format* share = workbook_add_format(workbook);
    if (!sheet || !title || !figureTitle || !oneDecimal || !share)
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    format_set_bold(title);
    format_set_bold(figureTitle);
    format_set_align(figureTitle, LXW_ALIGN_RIGHT);
    format_set_num_format(oneDecimal, "0.0");
    format_set_num_format(share, "0.0%");

    SheetWriter out(sheet);
    std::vector<size_t> widths(kColumns);
    for (lxw_col_t col = 0; col < kColumns; ++col) {
        out.text(0, col, kTitles[col],
                 col >= kFirstFigure && col <= kLastFigure ? figureTitle : title);
        // Bold letters run wider than plain ones.
        widths[col] = std::string(kTitles[col]).size() + 1;
    }
    lxw_row_t row = 1;
    for (const SeriesSections& series : report) {
        const std::vector<PerformanceClass>& classes = performanceClasses(series.series);
        for (const SectionStats& s : series.rows) {
            out.text(row, 0, describe(series.series).name);
            out.text(row, 1, s.section);
            out.number(row, 2, static_cast<double>(s.used));
            out.number(row, 3, static_cast<double>(s.leftOut));
            if (s.used > 0) {
                out.number(row, 4, s.mean, oneDecimal);
                if (s.used > 1)
                    out.number(row, 5, s.sd, oneDecimal);
                out.number(row, 6, s.min);
                out.number(row, 7, s.max);
                out.number(row, 8, static_cast<double>(s.below));
                out.number(row, kShareColumn, s.belowPercent / 100, share);
                out.text(row, 10, classes[static_cast<size_t>(s.reachedClass)].name);
            }
            out.text(row, 11, classes[static_cast<size_t>(series.requiredClass)].name);
            out.text(row, 12, s.pass ? "yes" : "no");
            // The figures as the sheet shows them: the report's texts, the share with "%".
            const std::vector<std::string> shown = sectionRowTexts(series, s, ".");
            for (lxw_col_t col = 0; col < kColumns; ++col)
                widths[col] = std::max(widths[col], shown[col].size() + (col == kShareColumn));
            ++row;
        }
    }
    for (lxw_col_t col = 0; col < kColumns; ++col)
        out.check(worksheet_set_column(sheet, col, col, columnWidth(widths[col]), nullptr));
    // The titles stay in view and on every printed page; a page holds every column.
    worksheet_freeze_panes(sheet, 1, 0);
    out.check(worksheet_repeat_rows(sheet, 0, 0));
    worksheet_set_landscape(sheet);
    // Without a paper size office suites take Letter; the tables are read where A4 is the rule.
    worksheet_set_paper(sheet, kPaperA4);
    worksheet_fit_to_pages(sheet, 1, 0);
    return out.error();
}
