#pragma once

#include <QString>
#include <string>

class IFileLayer;
class TextMemo;
class TitledTable;

// One block of the text log file: the title line, the statistics report (every line and one
// more line end) when the memo holds any, the header line and one line per record with a TAB
// after every cell, "*** End ***" and an empty line. Lines end in CR LF; cells are the bytes
// as received.
std::string buildTextLogBlock(const TitledTable& table, const TextMemo& statistics);

// Appends a block to the file, creating the file when missing, with one write and one flush.
// Throws OpenFileError when the file cannot be opened or created. When writing fails the file is
// cut back to its earlier length, so earlier blocks stay and no partial block remains, and
// AppError "Error writing file: <errno>" is thrown.
void appendTextLog(IFileLayer& files, const QString& path, const std::string& block);
