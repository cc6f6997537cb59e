#pragma once

#include "graph/SectionReport.h"

#include <xlsxwriter.h>

// Adds the sheet "Sections" to a workbook being written, made to be read and printed: the
// columns of sectionColumnTitles under titles in words (bold, frozen, on every printed page),
// then the report's rows, counts and figures as numbers (mean and SD with one decimal, the share
// below the level as a percentage), names and classes as texts, empty where the report has no
// figure; columns as wide as their texts, printed landscape one page wide.
lxw_error addSectionsSheet(lxw_workbook* workbook, const SectionReport& report);
