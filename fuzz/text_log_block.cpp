// The text log block on arbitrary tables and statistics: always one whole block, cells kept.
#include "FuzzSupport.h"
#include "export/TextLogExport.h"
#include "export/TitledTable.h"
#include "log/LogTable.h"
#include "text/TextMemo.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const int cols = 1 + data[0] % 8;
    const int statLines = data[1] % 4;
    std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    // Pieces separated by 0xFE fill the statistics lines, then the cells row by row.
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t p; (p = rest.find('\xFE', start)) != std::string::npos; start = p + 1)
        pieces.push_back(rest.substr(start, p - start));
    pieces.push_back(rest.substr(start));

    TextMemo statistics;
    size_t next = 0;
    for (int i = 0; i < statLines && next < pieces.size(); ++i)
        statistics.addLine(pieces[next++]);
    LogTable table;
    table.setCols(cols);
    const int rows = 1 + static_cast<int>((pieces.size() - next + cols - 1) / cols);
    table.setRows(rows);
    for (int i = 0; next < pieces.size(); ++i, ++next)
        table.setCell(i % cols, i / cols, pieces[next]);

    const std::string title = "*Log dump from: RVM600 - s/n: 1";
    const std::string block = buildTextLogBlock(TitledTable(table, title), statistics);

    CHECK(block.rfind(title + "\r\n", 0) == 0);
    CHECK(endsWith(block, "*** End ***\r\n\r\n"));
    // The table part: every row, every cell followed by a TAB, exactly as stored.
    std::string tablePart;
    for (int r = 0; r < table.rows(); ++r) {
        for (int c = 0; c < table.cols(); ++c)
            tablePart += table.cell(c, r) + "\t";
        tablePart += "\r\n";
    }
    CHECK(endsWith(block, tablePart + "*** End ***\r\n\r\n"));
    std::string statPart;
    for (const auto& line : statistics.lines())
        statPart += line + "\r\n";
    if (!statistics.empty())
        statPart += "\r\n";
    CHECK(block == title + "\r\n" + statPart + tablePart + "*** End ***\r\n\r\n");
    return 0;
}
