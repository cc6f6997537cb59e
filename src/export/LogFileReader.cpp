#include "export/LogFileReader.h"

#include "export/WorkbookExport.h"
#include "log/InstrumentModel.h"
#include "text/AppError.h"
#include "text/Cp1252.h"

#include <QFile>
#include <QLocale>
#include <QXmlStreamReader>
#include <map>
#include <optional>
#include <zlib.h>

namespace {

constexpr const char* kEndLine = "*** End ***";

[[noreturn]] void refuse(const std::string& name, const std::string& where,
                         const std::string& what) {
    throw AppError(name + (where.empty() ? std::string() : ": " + where) + ": " + what);
}

std::string lineAt(int line) {
    return "line " + std::to_string(line);
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

void checkColumnTitles(const SavedLog& log, const std::string& name, const std::string& where) {
    const InstrumentModel& model = savedLogModel(log);
    if (log.rows.empty() || log.rows.front() != layoutTitles(savedLogLayout(log), model.valueName))
        refuse(name, where,
               std::string("the column titles are not those of a log from ") + model.name);
}

// Cells of a saved text row, each followed by a TAB; a last cell without its TAB is counted
// but leaves the row unfinished.
std::vector<std::string> textRow(const std::string& line, bool& finished) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        cells.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    finished = start == line.size() && !line.empty();
    if (!finished)
        cells.push_back(line.substr(start));
    return cells;
}

// One part of a zip, unpacked; nothing when the zip has no such part. Throws for a damaged one.
std::optional<QByteArray> zipPart(const QByteArray& zip, const QByteArray& part,
                                  const std::string& name) {
    constexpr qsizetype kEndRecord = 22;
    const qsizetype end = zip.lastIndexOf("PK\x05\x06");
    if (end < 0 || end + kEndRecord > zip.size())
        refuse(name, {}, "not a workbook (its zip directory is missing)");
    const auto damaged = [&] { refuse(name, {}, "the workbook is damaged"); };
    std::optional<QByteArray> found;
    const bool whole = walkZip(zip, end, [&](const ZipEntry& entry) {
        if (entry.name != part)
            return true;
        if (entry.data < 0 || entry.size > kMaxSavedLogBytes)
            damaged();
        if (entry.method == 0) {
            found = zip.mid(entry.data, entry.packedSize);
            return false;
        }
        QByteArray out(static_cast<qsizetype>(entry.size), '\0');
        z_stream stream{};
        if (entry.method != 8 || inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            damaged();
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.constData() + entry.data));
        stream.avail_in = entry.packedSize;
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = entry.size;
        const int result = inflate(&stream, Z_FINISH);
        const bool inflated = result == Z_STREAM_END && stream.total_out == entry.size;
        inflateEnd(&stream);
        if (!inflated)
            damaged();
        found = out;
        return false;
    });
    if (!whole)
        damaged();
    return found;
}

// A stored text: "_xHHHH_" is the character HHHH, as the workbook writer escapes it.
QString storedText(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        if (text[i] == QLatin1Char('_') && i + 6 < text.size() && text[i + 1] == QLatin1Char('x') &&
            text[i + 6] == QLatin1Char('_')) {
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                result += QChar(code);
                i += 6;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

// The texts of the shared string table, in order.
std::vector<std::string> sharedStrings(const QByteArray& xml) {
    std::vector<std::string> strings;
    QXmlStreamReader reader(xml);
    QString text;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("si"))
            text.clear();
        else if (reader.isStartElement() && reader.name() == QLatin1String("t"))
            text += reader.readElementText();
        else if (reader.isEndElement() && reader.name() == QLatin1String("si"))
            strings.push_back(toCp1252(storedText(text)));
    }
    return strings;
}

// "C12" as 0-based column 2, row 11; false for anything else.
bool cellPosition(const QStringView ref, int& col, int& row) {
    col = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i] >= QLatin1Char('A') && ref[i] <= QLatin1Char('Z'); ++i)
        col = col * 26 + (ref[i].unicode() - 'A' + 1);
    bool ok = false;
    row = ref.mid(i).toInt(&ok) - 1;
    --col;
    return i > 0 && ok && col >= 0 && col < 16384 && row >= 0 && row < 1048576;
}

// A number as the table held it: the shortest decimal that reads back as the stored value.
std::string numberText(const QString& stored) {
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!ok)
        return stored.toStdString();
    return QString::number(value, 'f', QLocale::FloatingPointShortest).toStdString();
}

} // namespace

const InstrumentModel& savedLogModel(const SavedLog& log) {
    // The title is "*Log dump from: " + name + " - " + serial line.
    const std::string rest = log.title.substr(std::char_traits<char>::length(kSavedLogTitle));
    return modelNamed(rest.substr(0, rest.find(" - ")));
}

const TableLayout& savedLogLayout(const SavedLog& log) {
    const InstrumentModel& model = savedLogModel(log);
    // Without a model the table keeps the layout it was given, both kinds of record or one.
    if (&model == &unknownModel() && !log.rows.empty() &&
        log.rows.front().size() == static_cast<size_t>(kCombinedLayout.cols))
        return kCombinedLayout;
    return *model.layout;
}

std::string savedLogSerialLine(const SavedLog& log) {
    const size_t at = log.title.find(" - ", std::char_traits<char>::length(kSavedLogTitle));
    return at == std::string::npos ? std::string() : log.title.substr(at + 3);
}

int SavedLog::records() const {
    int count = 0;
    for (size_t row = 1; row < rows.size(); ++row)
        for (const std::string& cell : rows[row])
            if (!cell.empty()) {
                ++count;
                break;
            }
    return count;
}

std::vector<SavedLog> readSavedLogs(const QString& path) {
    const std::string name = toCp1252(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(name, {}, "cannot be opened: " + toCp1252(file.errorString()));
    if (!file.isSequential() && file.size() > kMaxSavedLogBytes)
        refuse(name, {},
               "too large for a log (" + std::to_string(file.size() / (1024 * 1024)) +
                   " MB; at most " + std::to_string(kMaxSavedLogBytes / (1024 * 1024)) + " MB)");
    const QByteArray bytes = file.read(kMaxSavedLogBytes + 1);
    if (bytes.size() > kMaxSavedLogBytes)
        refuse(name, {}, "too large for a log");
    if (file.error() != QFileDevice::NoError)
        refuse(name, {}, "cannot be read: " + toCp1252(file.errorString()));
    if (bytes.startsWith("PK\x03\x04"))
        return parseWorkbook(bytes, name);
    return parseTextLog(bytes, name);
}

std::vector<SavedLog> parseTextLog(const QByteArray& bytes, const std::string& name) {
    // Lines end in CR LF as written, or LF alone after another program rewrote the file.
    std::vector<std::string> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        qsizetype stop = end;
        if (stop > start && bytes[stop - 1] == '\r')
            --stop;
        for (qsizetype i = start; i < stop; ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (byte < 32 && byte != '\t') {
                char code[8];
                std::snprintf(code, sizeof code, "0x%02X", byte);
                refuse(name, lineAt(static_cast<int>(lines.size()) + 1),
                       std::string("not a text log (control byte ") + code + ")");
            }
        }
        lines.emplace_back(bytes.constData() + start, static_cast<size_t>(stop - start));
        start = end + 1;
    }

    std::vector<SavedLog> logs;
    const int count = static_cast<int>(lines.size());
    for (int i = 0; i < count;) {
        if (lines[i].empty()) {
            ++i;
            continue;
        }
        if (!startsWith(lines[i], kSavedLogTitle))
            refuse(name, lineAt(i + 1),
                   std::string("expected a log's title \"") + kSavedLogTitle + "...\"");
        SavedLog log;
        log.firstLine = i + 1;
        log.title = lines[i++];
        const auto cut = [&] {
            refuse(name, lineAt(count),
                   "the log of " + lineAt(log.firstLine) + " is cut short (no \"" + kEndLine +
                       "\")");
        };
        // The statistics report, when the block has one, lies between the title and the column
        // titles and is followed by an empty line of its own; it may hold empty lines itself.
        for (; i < count && !startsWith(lines[i], "#\t"); ++i) {
            if (lines[i] == kEndLine || startsWith(lines[i], kSavedLogTitle))
                refuse(name, lineAt(i + 1),
                       "the log of " + lineAt(log.firstLine) + " has no column titles");
            log.statistics.push_back(lines[i]);
        }
        if (i >= count)
            cut();
        if (!log.statistics.empty()) {
            if (!log.statistics.back().empty())
                refuse(name, lineAt(i), "expected an empty line above the column titles");
            log.statistics.pop_back();
        }
        const int titlesLine = i + 1;
        for (; i < count && lines[i] != kEndLine; ++i) {
            bool finished = false;
            std::vector<std::string> row = textRow(lines[i], finished);
            if (!finished && log.rows.empty())
                refuse(name, lineAt(i + 1),
                       std::string("the column titles are not those of a log from ") +
                           savedLogModel(log).name);
            const size_t cols = log.rows.empty() ? row.size() : log.rows.front().size();
            if (!finished || row.size() != cols)
                refuse(name, lineAt(i + 1),
                       "a row of " + std::to_string(row.size()) +
                           " cells where the column titles have " + std::to_string(cols));
            log.rows.push_back(std::move(row));
        }
        if (i >= count)
            cut();
        ++i;
        checkColumnTitles(log, name, lineAt(titlesLine));
        logs.push_back(std::move(log));
    }
    if (logs.empty())
        refuse(name, {},
               std::string("holds no log (no line starts with \"") + kSavedLogTitle + "\")");
    return logs;
}

std::vector<SavedLog> parseWorkbook(const QByteArray& bytes, const std::string& name) {
    const std::optional<QByteArray> sheet = zipPart(bytes, "xl/worksheets/sheet1.xml", name);
    if (!sheet)
        refuse(name, {}, "the workbook has no sheet");
    const std::optional<QByteArray> stringTable = zipPart(bytes, "xl/sharedStrings.xml", name);
    const std::vector<std::string> strings =
        stringTable ? sharedStrings(*stringTable) : std::vector<std::string>();

    std::map<int, std::map<int, std::string>> cells;
    QXmlStreamReader reader(*sheet);
    int col = 0;
    int row = 0;
    QString type;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("c")) {
            const QStringView ref = reader.attributes().value(QLatin1String("r"));
            if (!cellPosition(ref, col, row))
                refuse(name, {},
                       "the workbook is damaged (cell \"" + ref.toString().toStdString() + "\")");
            type = reader.attributes().value(QLatin1String("t")).toString();
        } else if (reader.name() == QLatin1String("v") || reader.name() == QLatin1String("t")) {
            const QString value = reader.readElementText();
            std::string text;
            if (type == QLatin1String("s")) {
                const int index = value.toInt();
                if (index < 0 || static_cast<size_t>(index) >= strings.size())
                    refuse(name, {},
                           "the workbook is damaged (shared text " + value.toStdString() + ")");
                text = strings[static_cast<size_t>(index)];
            } else if (type == QLatin1String("str") || type == QLatin1String("inlineStr")) {
                text = toCp1252(storedText(value));
            } else {
                text = numberText(value);
            }
            cells[row][col] = text;
        }
    }
    if (reader.hasError())
        refuse(name, {}, "the workbook is damaged (" + reader.errorString().toStdString() + ")");

    SavedLog log;
    log.title = cells[0][0];
    if (!startsWith(log.title, kSavedLogTitle))
        refuse(name, "cell A1",
               std::string("the first sheet holds no log's title \"") + kSavedLogTitle + "...\"");
    // Row 3 holds the column titles, the rows below the records; the workbook keeps no empty
    // cells, so the table's width is that of its titles.
    const int lastRow = cells.rbegin()->first;
    const size_t cols = cells.count(2) ? cells[2].size() : 0;
    for (int r = 2; r <= std::max(lastRow, 3); ++r) {
        std::vector<std::string> rowCells(cols);
        for (const auto& [c, text] : cells[r]) {
            if (static_cast<size_t>(c) >= cols)
                refuse(name, "row " + std::to_string(r + 1),
                       "a cell beyond the " + std::to_string(cols) + " column titles");
            rowCells[static_cast<size_t>(c)] = text;
        }
        log.rows.push_back(std::move(rowCells));
    }
    checkColumnTitles(log, name, "row 3");
    return {log};
}
