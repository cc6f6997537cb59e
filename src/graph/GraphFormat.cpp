#include "graph/GraphFormat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string formatSpread(double value, const std::string& decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    // glibc prints the exact decimal expansion, so the third digit decides the rounding: any
    // digit of 5 or more is at least the half. Forty digits keep a carry from the last printed
    // digit away from the third.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.40e", std::fabs(value));
    int digits = (buf[0] - '0') * 10 + (buf[2] - '0');
    const int third = buf[3] - '0';
    int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    if (third >= 5)
        ++digits;
    if (digits == 100) {
        digits = 10;
        ++exponent;
    }
    const char first = static_cast<char>('0' + digits / 10);
    const char second = static_cast<char>('0' + digits % 10);

    std::string text = value < 0 ? "-" : "";
    if (exponent >= -4 && exponent <= 1) {
        if (exponent == 1) {
            text += first;
            text += second;
        } else if (exponent == 0) {
            text += first;
            if (second != '0')
                text += decimalSeparator + second;
        } else {
            text += "0" + decimalSeparator + std::string(static_cast<size_t>(-exponent - 1), '0');
            text += first;
            if (second != '0')
                text += second;
        }
        return text;
    }
    text += first;
    if (second != '0')
        text += decimalSeparator + second;
    return text + "E" + std::to_string(exponent);
}

std::string formatReadout(double value) {
    const double rounded = std::round(value);
    std::string text(static_cast<size_t>(std::snprintf(nullptr, 0, "%4.0f", rounded)), '\0');
    std::snprintf(text.data(), text.size() + 1, "%4.0f", rounded);
    return text;
}
