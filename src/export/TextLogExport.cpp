#include "export/TextLogExport.h"

#include "export/FileLayer.h"
#include "export/TitledTable.h"
#include "text/AppError.h"
#include "text/TextMemo.h"

namespace {

constexpr const char* kLineEnd = "\r\n";

AppError writeError(int errorNumber) {
    return AppError("Error writing file: " + std::to_string(errorNumber));
}

} // namespace

std::string buildTextLogBlock(const TitledTable& table, const TextMemo& statistics) {
    std::string block = table.title() + kLineEnd;
    if (!statistics.empty()) {
        for (const std::string& line : statistics.lines())
            block += line + kLineEnd;
        block += kLineEnd;
    }
    for (int row = TitledTable::kTitleRows; row < table.rows(); ++row) {
        for (int col = 0; col < table.cols(); ++col) {
            block += table.cell(col, row);
            block += '\t';
        }
        block += kLineEnd;
    }
    block += "*** End ***";
    block += kLineEnd;
    block += kLineEnd;
    return block;
}

void appendTextLog(IFileLayer& files, const QString& path, const std::string& block) {
    int openError = 0;
    const std::unique_ptr<IAppendFile> file = files.openForAppend(path, openError);
    if (!file)
        throw OpenFileError(openError);
    int64_t earlier = 0;
    if (const int e = file->size(earlier)) {
        file->discardIfCreated();
        throw writeError(e);
    }
    int e = file->write(block.data(), block.size());
    if (e == 0)
        e = file->flush();
    if (e != 0) {
        // Earlier blocks are what the user kept for years; a cut-off block must not follow them.
        file->truncate(earlier);
        file->flush();
        if (earlier == 0)
            file->discardIfCreated();
        throw writeError(e);
    }
}
