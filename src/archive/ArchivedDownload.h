#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <string>
#include <vector>

// How an archived download ended. Interrupted is what the entry says from its start: a program
// that dies during the download leaves it so.
enum class DownloadEnding { Interrupted, Complete, Incomplete, Stopped, Bound, Error };

class QDateTime;
// A time as the archive keeps it: ISO 8601 local time with its offset
// ("2026-12-10T06:12:44+01:00").
QString isoLocalTime(const QDateTime& time);

// The word the archive stores and prints for it.
const char* endingName(DownloadEnding ending);

// What is known when the instrument has answered the download's wake-up.
struct DownloadStart {
    QString started; // ISO 8601 local time with its offset
    qint64 startedMs = 0;
    QString port; // as the selector names it
    std::string model;
    std::string identLine;
    std::string serialLine;
    int32_t announced = 0;
};

// One line of the archive's list of downloads.
struct DownloadSummary {
    qint64 id = 0;
    QString started;
    QString port;
    std::string model;
    std::string serialNo; // the serial line after its first five bytes, as the session takes it
    int records = 0;
    int32_t announced = 0;
    QString ended;
    QString savedPath; // of the last save; empty when never saved
};

struct ArchivedSave {
    QString path;
    QString format; // "text log" or "workbook"
    QString savedAt;
};

// Everything kept of one download, enough to put it into the table again exactly.
struct ArchivedDownload {
    DownloadSummary summary;
    std::string identLine;
    std::string serialLine;
    int tableRows = 2;
    // The table's rows from row 0 (the column titles); rows no record filled are empty.
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> memo;
    std::string stream; // the raw bytes of the log stream
    std::vector<ArchivedSave> saves;
};

// A row's cells in one value and back. The download turns TABs into field separators, so no
// cell holds one.
std::string joinCells(const std::vector<std::string>& cells);
std::vector<std::string> splitCells(const std::string& joined);
// Bytes as a statement binds them: never a null QByteArray, which would be stored as NULL.
QByteArray storedBytes(const std::string& bytes);
// Stored bytes back.
std::string bytesOf(const QVariant& value);
// The serial number of a serial line: what follows its first five bytes ("S/N: ").
std::string serialNoOf(const std::string& serialLine);
// A stored row back into the download's table; a row past its end grows it, a negative one is
// passed over.
void putStoredRow(ArchivedDownload& download, int row, const std::string& joinedCells);
