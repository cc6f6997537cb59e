#include "export/WorkbookExport.h"

#include "export/SectionsSheet.h"
#include "export/TitledTable.h"
#include "platform/Platform.h"
#include "text/AppError.h"
#include "text/Cp1252.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cstring>
#include <vector>
#include <xlsxwriter.h>
#include <zlib.h>

namespace {

// A spreadsheet cell holds at most this many characters.
constexpr int kMaxCellChars = 32767;
// Significant digits a spreadsheet keeps and shows of a number.
constexpr int kMaxSignificantDigits = 15;

std::string cellText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::copy_if(bytes.begin(), bytes.end(), std::back_inserter(text),
                 [](char c) { return c != '\r'; });
    return text;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Spreadsheet programs read "_xHHHH_" in a stored text as the character HHHH; an underscore
// that starts such a sequence in the cell itself is stored as "_x005F_" so it reads back as is.
std::string escapeCharacterCodes(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        result.push_back(text[i]);
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && isHex(text[i + 2]) &&
            isHex(text[i + 3]) && isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == '_')
            result += "x005F_";
    }
    return result;
}

std::string toUtf8(const std::string& cp1252) {
    QString text = fromCp1252(cp1252);
    if (text.size() > kMaxCellChars)
        text.truncate(kMaxCellChars);
    return escapeCharacterCodes(text.toUtf8().toStdString());
}

uint32_t littleEndian(const QByteArray& bytes, qsizetype at, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// The name of the first element of an XML text: "worksheet" for "<?xml ...?><worksheet ...>".
QByteArray rootName(const QByteArray& head) {
    qsizetype at = head.indexOf('<');
    while (at >= 0 && at + 1 < head.size() && (head[at + 1] == '?' || head[at + 1] == '!'))
        at = head.indexOf('<', at + 1);
    if (at < 0)
        return {};
    qsizetype end = at + 1;
    while (end < head.size() && !std::strchr(" \t\r\n/>", head[end]))
        ++end;
    return head.mid(at + 1, end - at - 1);
}

// Unpacks one part of a zip and tells whether it is whole: the length and checksum its directory
// entry records and, for an XML part, the closing tag of its first element at the end.
bool partComplete(const char* packed, uint32_t packedSize, int method, uint32_t size, uint32_t crc,
                  bool xml) {
    constexpr int kStored = 0;
    constexpr int kDeflated = 8;
    constexpr qsizetype kHead = 512;
    constexpr qsizetype kTail = 64;
    QByteArray head;
    QByteArray tail;
    uLong sum = crc32(0, nullptr, 0);
    uint64_t total = 0;
    const auto take = [&](const char* bytes, qsizetype count) {
        sum = crc32(sum, reinterpret_cast<const Bytef*>(bytes), static_cast<uInt>(count));
        total += static_cast<uint64_t>(count);
        if (head.size() < kHead)
            head.append(bytes, std::min(count, kHead - head.size()));
        tail = count >= kTail ? QByteArray(bytes + count - kTail, kTail)
                              : (tail + QByteArray(bytes, count)).right(kTail);
    };
    if (method == kStored) {
        take(packed, packedSize);
    } else if (method == kDeflated) {
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return false;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed));
        stream.avail_in = packedSize;
        std::vector<char> out(1 << 16);
        int result = Z_OK;
        while (result == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = static_cast<uInt>(out.size());
            result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_OK || result == Z_STREAM_END)
                take(out.data(), static_cast<qsizetype>(out.size() - stream.avail_out));
        }
        inflateEnd(&stream);
        if (result != Z_STREAM_END)
            return false;
    } else {
        return false;
    }
    if (total != size || sum != crc)
        return false;
    const QByteArray root = rootName(head);
    return !xml || (!root.isEmpty() && tail.trimmed().endsWith("</" + root + ">"));
}

// Tells whether every part of a workbook read back is whole.
bool workbookComplete(const QByteArray& zip) {
    constexpr qsizetype kEndRecord = 22; // the writer adds no zip comment
    const qsizetype end = zip.size() - kEndRecord;
    if (end < 0 || zip.mid(end, 4) != "PK\x05\x06")
        return false;
    bool any = false;
    bool complete = true;
    const bool whole = walkZip(zip, end, [&](const ZipEntry& part) {
        any = true;
        const bool xml = part.name.endsWith(".xml") || part.name.endsWith(".rels");
        complete = part.data >= 0 && partComplete(zip.constData() + part.data, part.packedSize,
                                                  part.method, part.size, part.crc, xml);
        return complete;
    });
    return whole && any && complete;
}

[[noreturn]] void throwLibraryError(lxw_error error) {
    throw AppError(lxw_strerror(error));
}

[[noreturn]] void throwSystemError(int errorNumber) {
    throw AppError("Error writing file: " + std::to_string(errorNumber));
}

} // namespace

bool walkZip(const QByteArray& zip, qsizetype end,
             const std::function<bool(const ZipEntry&)>& visit) {
    constexpr qsizetype kDirEntry = 46;
    constexpr qsizetype kLocalHeader = 30;
    uint32_t entries = littleEndian(zip, end + 10, 2);
    qsizetype at = littleEndian(zip, end + 16, 4);
    for (; entries > 0; --entries) {
        if (at + kDirEntry > end || zip.mid(at, 4) != "PK\x01\x02")
            return false;
        ZipEntry entry;
        entry.method = static_cast<int>(littleEndian(zip, at + 10, 2));
        entry.crc = littleEndian(zip, at + 16, 4);
        entry.packedSize = littleEndian(zip, at + 20, 4);
        entry.size = littleEndian(zip, at + 24, 4);
        const qsizetype nameLength = littleEndian(zip, at + 28, 2);
        entry.name = zip.mid(at + kDirEntry, nameLength);
        const qsizetype local = littleEndian(zip, at + 42, 4);
        at +=
            kDirEntry + nameLength + littleEndian(zip, at + 30, 2) + littleEndian(zip, at + 32, 2);
        if (local + kLocalHeader <= end && zip.mid(local, 4) == "PK\x03\x04") {
            const qsizetype data = local + kLocalHeader + littleEndian(zip, local + 26, 2) +
                                   littleEndian(zip, local + 28, 2);
            if (data + entry.packedSize <= end)
                entry.data = data;
        }
        if (!visit(entry))
            break;
    }
    return true;
}

std::string columnName(int n) {
    std::string name;
    while (n > 0) {
        const int digit = (n - 1) % 26;
        name.insert(name.begin(), static_cast<char>('A' + digit));
        n = (n - 1) / 26;
    }
    return name;
}

std::string workbookRange(int rows, int cols) {
    return "A1:" + columnName(cols) + std::to_string(rows);
}

double columnWidth(size_t characters) {
    constexpr double kDefault = 8.43; // a new sheet's columns
    constexpr double kMargin = 2;     // so a text does not touch the grid
    constexpr double kMost = 100;
    return std::clamp(static_cast<double>(characters) + kMargin, kDefault, kMost);
}

bool storedAsNumber(const std::string& text, double& value) {
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative)
        ++i;
    const size_t intStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    const size_t intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == '0'))
        return false;
    size_t fracDigits = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        const size_t fracStart = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        fracDigits = i - fracStart;
        if (fracDigits == 0 || text[i - 1] == '0')
            return false;
    }
    if (i != text.size())
        return false;
    // Significant digits: leading zeros of "0.00x" do not count.
    size_t significant = 0;
    bool started = false;
    for (size_t k = intStart; k < text.size(); ++k) {
        if (text[k] == '.')
            continue;
        started = started || text[k] != '0';
        if (started)
            ++significant;
    }
    if (!started) {
        // Only "0" and "-0" get here; a spreadsheet shows -0 as "0".
        if (negative)
            return false;
        value = 0.0;
        return true;
    }
    if (significant > kMaxSignificantDigits)
        return false;
    bool ok = false;
    value = QByteArray::fromStdString(text).toDouble(&ok);
    return ok;
}

std::string saveToWorkbook(const TitledTable& table, const QString& linkPath, IFileLayer& files,
                           const SectionReport* sections) {
    const QString path = followLinks(linkPath);
    const int rows = table.rows();
    const int cols = table.cols();
    std::string range = workbookRange(rows, cols);

    // A named pipe or a device is refused rather than replaced by a file, and a file the user
    // may not write, or one another program holds, is kept as writing it in place would keep it.
    if (QFileInfo::exists(path)) {
        int openError = 0;
        if (!files.openForAppend(path, openError))
            throwLibraryError(LXW_ERROR_CREATING_XLSX_FILE);
    }

    // The writer packs the workbook into a file of its own beside the target, which is read
    // back, checked and written over the target in one step; removed when it goes.
    const QFileInfo target(path);
    QTemporaryFile packed(target.absolutePath() + QLatin1String("/.") + target.fileName() +
                          QLatin1String(".XXXXXX"));
    if (!packed.open())
        throwLibraryError(LXW_ERROR_CREATING_XLSX_FILE);
    packed.close(); // the writer opens it by name
    const QByteArray packedName = packed.fileName().toUtf8();
    // The library's own scratch files go beside the target, not into a small /tmp.
    QByteArray scratchFolder = target.absolutePath().toUtf8();
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = scratchFolder.data();
    options.use_zip64 = LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(packedName.constData(), &options);
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook, nullptr) : nullptr;
    if (!sheet) {
        if (workbook)
            workbook_close(workbook);
        throw AppError("Excel OLE server not found");
    }

    lxw_error writeError = LXW_NO_ERROR;
    std::vector<size_t> widths(static_cast<size_t>(std::max(cols, 0)));
    for (int row = 0; row < rows && writeError == LXW_NO_ERROR; ++row) {
        for (int col = 0; col < cols && writeError == LXW_NO_ERROR; ++col) {
            const std::string text = cellText(table.cell(col, row));
            if (text.empty())
                continue;
            // A Windows-1252 byte is one character.
            if (row >= TitledTable::kTitleRows)
                widths[static_cast<size_t>(col)] =
                    std::max(widths[static_cast<size_t>(col)], text.size());
            double number = 0;
            if (storedAsNumber(text, number))
                writeError = worksheet_write_number(sheet, static_cast<lxw_row_t>(row),
                                                    static_cast<lxw_col_t>(col), number, nullptr);
            else
                writeError = worksheet_write_string(sheet, static_cast<lxw_row_t>(row),
                                                    static_cast<lxw_col_t>(col),
                                                    toUtf8(text).c_str(), nullptr);
        }
    }
    for (int col = 0; col < cols && writeError == LXW_NO_ERROR; ++col)
        if (widths[static_cast<size_t>(col)] > 0)
            writeError = worksheet_set_column(
                sheet, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col),
                columnWidth(widths[static_cast<size_t>(col)]), nullptr);
    if (sections && writeError == LXW_NO_ERROR)
        writeError = addSectionsSheet(workbook, *sections);
    // Closing writes the file and frees the workbook; it must run even after a failed cell.
    const lxw_error closeError = workbook_close(workbook);
    if (writeError != LXW_NO_ERROR)
        throwLibraryError(writeError);
    if (closeError != LXW_NO_ERROR)
        throwLibraryError(closeError);
    // The writer packs its parts from scratch files without checking its writes to them, so a
    // full disk can leave a sheet cut short in a workbook it reports as written. It does not say
    // why, so the system's general input/output error stands for the reason.
    const QByteArray zip = packed.open() ? packed.readAll() : QByteArray();
    if (!workbookComplete(zip))
        throwSystemError(platform::ioError());

    int openError = 0;
    const std::unique_ptr<IReplacingFile> file = files.openForReplace(path, openError);
    if (!file)
        throwLibraryError(LXW_ERROR_CREATING_XLSX_FILE);
    if (const int e = file->write(zip.constData(), static_cast<size_t>(zip.size())))
        throwSystemError(e);
    if (const int e = file->commit())
        throwSystemError(e);
    return range;
}
