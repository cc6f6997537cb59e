#pragma once

#include <QString>
#include <string>
#include <vector>

// One log as a saved file holds it: its title line, the statistics lines written above the
// table and the table's rows (row 0 the column titles), every cell the bytes that were written.
struct SavedLog {
    std::string title;
    std::vector<std::string> statistics;
    std::vector<std::vector<std::string>> rows;
    int firstLine = 1; // of the block in a text log; 1 for a workbook

    // Rows that hold a record; the rows that lines without a record left are empty.
    int records() const;
};

// The title every saved log starts with.
inline constexpr const char* kSavedLogTitle = "*Log dump from: ";
// A larger file is no log of an instrument, and reading it whole would cost the memory.
inline constexpr qint64 kMaxSavedLogBytes = 256LL * 1024 * 1024;

// Every block of a text log, or the log on the first sheet of a workbook this program wrote,
// in file order. Throws AppError saying what is wrong and where (file and line or cell) when
// the file is not such a log; nothing is returned then.
std::vector<SavedLog> readSavedLogs(const QString& path);

// The same from bytes already read; name is what the messages call the file.
std::vector<SavedLog> parseTextLog(const QByteArray& bytes, const std::string& name);
std::vector<SavedLog> parseWorkbook(const QByteArray& bytes, const std::string& name);

struct InstrumentModel;
struct TableLayout;
// The model the log's title names; the unknown model for a name that is none.
const InstrumentModel& savedLogModel(const SavedLog& log);
// The columns of its table.
const TableLayout& savedLogLayout(const SavedLog& log);
// The serial line the title ends in.
std::string savedLogSerialLine(const SavedLog& log);
