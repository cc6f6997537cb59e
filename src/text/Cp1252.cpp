#include "text/Cp1252.h"

namespace {

// 0x80..0x9F; the five unassigned bytes keep their own code point, as Windows does.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString fromCp1252(const std::string& bytes) {
    QString result;
    result.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        result.append(QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b)));
    }
    return result;
}

std::string toCp1252(const QString& text) {
    std::string result;
    result.reserve(static_cast<size_t>(text.size()));
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            result.push_back(static_cast<char>(u));
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] == u)
                mapped = static_cast<char>(0x80 + i);
        result.push_back(mapped);
    }
    return result;
}

QString displayText(const std::string& bytes) {
    return displayLines(fromCp1252(bytes));
}

QString displayLines(const QString& text) {
    QString normal;
    normal.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            normal.append(QLatin1Char('\n'));
            const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
            if ((next == QLatin1Char('\n') || next == QLatin1Char('\r')) && next != c)
                ++i;
            continue;
        }
        normal.append(c);
    }
    return normal;
}
