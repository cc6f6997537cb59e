#include "text/TextFieldHelpers.h"

#include "text/AppError.h"
#include "text/Clock.h"

#include <algorithm>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string replaceFirstChar(char find, char put, const std::string& text) {
    std::string result = text;
    const auto p = result.find(find);
    if (p != std::string::npos)
        result[p] = put;
    return result;
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

bool isNumeric(const std::string& text) {
    const std::string s = replaceFirstChar(',', '.', text);
    size_t i = 0;
    const size_t n = s.size();
    while (i < n && s[i] == ' ')
        ++i;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    if (i >= n)
        return false;
    while (i < n && isDigit(s[i]))
        ++i;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && isDigit(s[i]))
            ++i;
    }
    if (i < n && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (i >= n || !isDigit(s[i]))
            return false;
        while (i < n && isDigit(s[i]))
            ++i;
    }
    return i == n;
}

int countChar(const std::string& text, char c) {
    int count = 0;
    for (char x : text)
        if (x == c)
            ++count;
    return count;
}

std::string getField(const std::string& text, int n, char separator) {
    std::string rest = text.substr(0, text.find('\n'));
    rest.resize(std::min(rest.size(), rest.find('\r')));
    bool passed = false;
    for (int k = 1; k < n; ++k) {
        const auto p = rest.find(separator);
        if (p == std::string::npos)
            continue;
        rest.erase(0, p + 1);
        passed = true;
    }
    const auto p = rest.find(separator);
    if (p != std::string::npos)
        return rest.substr(0, p);
    if (passed)
        return rest;
    return kNotFound;
}

bool tryStrToInt(const std::string& text, int32_t& value) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint64_t magnitude = 0;
    if (i < n && (text[i] == '$' ||
                  (text[i] == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')))) {
        i += text[i] == '$' ? 1 : 2;
        const size_t digits = n - i;
        if (digits == 0 || digits > 8)
            return false;
        for (; i < n; ++i) {
            const int h = hexValue(text[i]);
            if (h < 0)
                return false;
            magnitude = magnitude * 16 + static_cast<uint64_t>(h);
        }
        // Up to eight hex digits are the 32-bit pattern, so "$FFFFFFFF" reads as -1.
        const auto pattern = static_cast<uint32_t>(magnitude);
        const auto signedPattern = static_cast<int32_t>(pattern);
        value = negative ? static_cast<int32_t>(0u - pattern) : signedPattern;
        return true;
    }
    if (i >= n)
        return false;
    for (; i < n; ++i) {
        if (!isDigit(text[i]))
            return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
        if (magnitude > 2147483648ull)
            return false;
    }
    if (!negative && magnitude > 2147483647ull)
        return false;
    value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                     : static_cast<int32_t>(magnitude);
    return true;
}

int32_t strToInt(const std::string& text) {
    int32_t value = 0;
    if (!tryStrToInt(text, value))
        throw ConversionError("'" + text + "' is not a valid integer value");
    return value;
}

void delay(IClock& clock, int ms) {
    if (ms < 0)
        return;
    const auto start = clock.now();
    const auto span = std::chrono::milliseconds(ms);
    // "More than ms" on a nanosecond clock: one microsecond past the span is enough.
    while (clock.now() - start <= span)
        clock.sleepUntil(start + span + std::chrono::microseconds(1));
}
