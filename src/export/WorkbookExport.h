#pragma once

#include "export/FileLayer.h"
#include "graph/SectionReport.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class TitledTable;

// A part of a zip as its directory entry and its local header tell it.
struct ZipEntry {
    QByteArray name;
    int method = 0; // 0 stored, 8 deflated
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t size = 0;
    qsizetype data = -1; // where the packed bytes start; -1 for a damaged local header
};

// Visits the parts of the zip whose end record starts at end, in the directory's order, until
// visit returns false. False when the directory itself is damaged.
bool walkZip(const QByteArray& zip, qsizetype end,
             const std::function<bool(const ZipEntry&)>& visit);

// The spreadsheet name of the n-th column, counted from 1: "A".."Z", "AA".."AZ", "BA"...
std::string columnName(int n);
// The range a block of rows x cols takes from cell A1: "A1:H6" for 6 rows of 8 columns.
std::string workbookRange(int rows, int cols);

// The width a spreadsheet column needs for a text of this many characters, in the column
// width's unit (a digit's width): a little margin, never below the default width nor wider
// than about a screen.
double columnWidth(size_t characters);

// True when a spreadsheet would show the number back as exactly this text, so storing it as a
// number loses nothing: an optional minus, digits without a leading zero (except a lone 0), an
// optional point with fraction digits not ending in 0, at most 15 significant digits, not -0.
// value receives the number.
bool storedAsNumber(const std::string& text, double& value);

// Writes the table from cell A1 of the first sheet of a new workbook stored under exactly the
// given path: CR bytes removed, cells converted from Windows-1252, cut at 32,767 characters;
// plain decimal numbers (storedAsNumber) as numbers, everything else as text. The workbook is
// written next to the target under a temporary name and moved over it only when complete, so
// a failure leaves an existing file as it was; an existing file that cannot be opened for
// writing is not replaced. Throws AppError "Excel OLE server not found" when no workbook can be
// made, with the writer's own text when it fails, or "Error writing file: <errno>" when the
// system does. Each column is as wide as its longest text from the header row on (the title
// above runs over the empty cells beside it). Returns the range written ("A1:H6"). With a section
// report, a second sheet "Sections" holds it (addSectionsSheet).
std::string saveToWorkbook(const TitledTable& table, const QString& path,
                           IFileLayer& files = systemFileLayer(),
                           const SectionReport* sections = nullptr);
