#pragma once

#include "graph/SectionReport.h"

#include <xlsxwriter.h>

// Adds the sheet "Sections" to a workbook being written: the titles of sectionColumnTitles in
// row 1, then the report's rows, counts and figures as numbers (shown with one decimal where the
// report has one), names and classes as texts, empty where the report has no figure.
lxw_error addSectionsSheet(lxw_workbook* workbook, const SectionReport& report);
