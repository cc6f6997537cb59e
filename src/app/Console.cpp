#include "app/Console.h"

#include "log/LogTable.h"
#include "text/Cp1252.h"

namespace {
constexpr int kBarWidth = 40; // characters
} // namespace

void ConsoleOutput::line(const std::string& text) {
    systemLine(displayText(text));
}

void ConsoleOutput::systemLine(const QString& text) {
    finishProgress();
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), m_stream);
    std::fputc('\n', m_stream);
    std::fflush(m_stream);
}

void ConsoleOutput::instrumentLine(const std::string& text) {
    // The line end the instrument sent with the line ends it here too, and the line ends it
    // holds (CR LF, LF) break it as they did on the instrument; every other control byte,
    // a lone CR included, is escaped.
    const size_t end = text.find_last_not_of("\r\n") + 1;
    std::string shown;
    size_t start = 0;
    for (size_t lf = text.find('\n'); lf < end; lf = text.find('\n', start)) {
        const size_t cut = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
        shown += escapeControlBytes(text.substr(start, cut - start)) + '\n';
        start = lf + 1;
    }
    line(shown + escapeControlBytes(text.substr(start, end - start)) + text.substr(end));
}

std::string escapeControlBytes(const std::string& bytes, bool highBytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        // The five bytes Windows-1252 leaves unassigned stand for C1 control characters.
        const bool c1 = b == 0x81 || b == 0x8d || b == 0x8f || b == 0x90 || b == 0x9d;
        if ((b < 0x20 && b != '\t') || b == 0x7f || c1 || (highBytes && b >= 0x80)) {
            shown += "\\x";
            shown += kHex[b >> 4];
            shown += kHex[b & 0xf];
        } else {
            shown += c;
        }
    }
    return shown;
}

void ConsoleOutput::progress(int position, int max) {
    if (max <= 0 || position <= 0)
        return;
    if (max != m_lastMax) {
        m_lastMax = max;
        m_lastDecile = 0;
    }
    const long long percent = std::min(100LL, 100LL * position / max);
    if (m_terminal) {
        const int filled = static_cast<int>(percent * kBarWidth / 100);
        std::fprintf(
            m_stream, "\r[%s%s] %d of %d", std::string(static_cast<size_t>(filled), '#').c_str(),
            std::string(static_cast<size_t>(kBarWidth - filled), ' ').c_str(), position, max);
        std::fflush(m_stream);
        m_barOpen = true;
        return;
    }
    const int decile = static_cast<int>(percent / 10);
    if (decile <= m_lastDecile)
        return;
    m_lastDecile = decile;
    std::fprintf(m_stream, "%d %% (%d of %d)\n", decile * 10, position, max);
    std::fflush(m_stream);
}

void ConsoleOutput::finishProgress() {
    // The next run counts its tenths anew, even for a log of the same size.
    m_lastMax = -1;
    m_lastDecile = 0;
    if (!m_barOpen)
        return;
    std::fputc('\n', m_stream);
    std::fflush(m_stream);
    m_barOpen = false;
}

bool ConsoleDialogs::confirmYesNo(const std::string& text) {
    m_out.line(text);
    return true;
}

bool ConsoleDialogs::confirmOkCancel(const std::string& text) {
    m_out.line(text);
    return true;
}

bool writeTableText(const LogTable& table, std::FILE* stream) {
    // Stops at the first failure, which keeps its errno; a full disk fails every later write.
    bool written = true;
    for (int row = 0; row < table.rows() && written; ++row) {
        for (int col = 0; col < table.cols() && written; ++col) {
            const std::string& text = table.cell(col, row);
            written = std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
                      std::fputc('\t', stream) != EOF;
        }
        written = written && std::fputc('\n', stream) != EOF;
    }
    return std::fflush(stream) == 0 && written && !std::ferror(stream);
}
