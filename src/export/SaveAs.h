#pragma once

#include "export/FileLayer.h"
#include "graph/RequiredClassSettings.h"

#include <QString>
#include <functional>

class IDialogs;
class LogTable;
class TextMemo;
struct Session;

// The folder production saves go to, where it exists.
inline constexpr const char* kWorkFolder = "G:\\ra-rozo\\RVM600\\WorkData";

// What a save writes and where it records the outcome: the table, the session the title, the
// serial number and the last folder come from (its dataSaved set by a save that wrote), and the
// graph window's statistics report, which goes into a text log block.
struct SaveSource {
    const LogTable& table;
    Session& session;
    const TextMemo& statistics;
    // The section report of the table for the required classes, for a workbook's "Sections"
    // sheet; asked for only when a workbook is written.
    std::function<SectionReport(const RequiredClasses&)> sections;
    // Where the required classes for that sheet are kept; none: the defaults.
    const IRequiredClassMemory* requiredClasses = nullptr;
};

// "Save As": asks through the boxes for the file and format, then writes through the file layer;
// in production mode the work folder is proposed where it exists.
void saveAs(const SaveSource& source, IDialogs& dialogs, IFileLayer& files,
            const QString& workFolder);

// Saves the table with its title to a path by its extension, without asking anything: ".Log"
// appends a text log block (with the statistics memo), ".xls" writes a workbook; the case of the
// extension does not matter. Sets dataSaved on success; throws OpenFileError or AppError with the
// texts "Save As" shows. For the command line. A workbook's "Sections" sheet takes the required
// classes given, else the ones the user chose in the graph window.
void saveTableToFile(const SaveSource& source, const QString& path,
                     IFileLayer& files = systemFileLayer(),
                     const RequiredClasses* required = nullptr);
// The format a name saves in, by its extension in any case: ".Log" a text log block, ".xls" or
// ".xlsx" a workbook; None for any other, which saveTableToFile refuses with kTableNameRule.
enum class TableFormat { None, TextLog, Workbook };
TableFormat tableFormatOf(const QString& path);
// How a name of no table format is refused; the name follows.
inline constexpr const char* kTableNameRule = "Save file must end in .Log, .xls or .xlsx: ";
