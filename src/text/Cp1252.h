#pragma once

#include <QString>
#include <string>

// Instrument texts are Windows-1252 bytes; these convert them only where they are shown.
QString fromCp1252(const std::string& bytes);
std::string toCp1252(const QString& text);
// For message boxes and memos: the system writes line breaks as LF CR, CR LF, LF or CR alone;
// each becomes one "\n".
QString displayText(const std::string& bytes);
// The same for a text of the system's own.
QString displayLines(const QString& text);
