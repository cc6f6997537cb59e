#pragma once

#include "export/FileLayer.h"
#include "graph/SectionReport.h"

#include <QString>

class App;

// The folder production saves go to, where it exists.
inline constexpr const char* kWorkFolder = "G:\\ra-rozo\\RVM600\\WorkData";

// "Save As" with the given file layer and production work folder; btnSaveAsClick uses the
// system's files and kWorkFolder.
void SaveAs(App& app, IFileLayer& files, const QString& workFolder);

// Saves the table with its title to a path by its extension, without asking anything: ".Log"
// appends a text log block (with the statistics memo), ".xls" writes a workbook; the case of the
// extension does not matter. Sets DataSaved on success; throws EOpenFile or AppError with the
// texts "Save As" shows. For the command line. A workbook's "Sections" sheet takes the required
// classes given, else the ones the user chose in the graph window.
void SaveTableToFile(App& app, const QString& path, IFileLayer& files = SystemFileLayer(),
                     const RequiredClasses* required = nullptr);
// True for the names SaveTableToFile takes: ending in ".Log", ".xls" or ".xlsx", in any case.
bool IsTableFileName(const QString& path);
