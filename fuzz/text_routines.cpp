// Text routines on arbitrary bytes: fields, numbers and their texts must agree.
#include "FuzzSupport.h"
#include "link/ReadLog.h"
#include "text/AppError.h"
#include "text/TextFieldHelpers.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const char separator = static_cast<char>(data[0]);
    const int n = data[1];
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    // ReplaceFirstChar changes at most one byte, the first occurrence.
    const std::string replaced = replaceFirstChar(',', '.', text);
    CHECK(replaced.size() == text.size());
    const auto firstComma = text.find(',');
    CHECK(firstComma == std::string::npos ? replaced == text : replaced[firstComma] == '.');

    // GetField gives a piece of the first line, or "$not found$" exactly when there is no
    // separator in it.
    std::string line = text.substr(0, text.find('\n'));
    line = line.substr(0, line.find('\r'));
    const std::string field = getField(text, n, separator);
    if (line.find(separator) == std::string::npos)
        CHECK(field == kNotFound);
    else
        CHECK(line.find(field) != std::string::npos);
    // The fields joined again give the line back.
    if (separator != '\n' && separator != '\r' && line.find(separator) != std::string::npos &&
        countChar(line, separator) < 64) {
        const int fields = countChar(line, separator) + 1;
        std::string joined;
        for (int k = 1; k <= fields; ++k)
            joined +=
                (k > 1 ? std::string(1, separator) : std::string()) + getField(line, k, separator);
        CHECK(joined == line);
    }

    // A whole number and its decimal text agree both ways.
    int32_t value = 0;
    if (tryStrToInt(text, value)) {
        CHECK(strToInt(std::to_string(value)) == value);
        CHECK(strToInt(text) == value);
    } else {
        bool thrown = false;
        try {
            strToInt(text);
        } catch (const ConversionError& e) {
            // The message is a C string: a NUL in the text ends it there.
            const std::string expected = "'" + text + "' is not a valid integer value";
            thrown = std::string(e.what()) == expected.substr(0, expected.find('\0'));
        }
        CHECK(thrown);
    }
    // Every decimal whole number is numeric text.
    if (tryStrToInt(text, value) && text.find_first_of("$xX") == std::string::npos &&
        (text.empty() || text.back() != ' '))
        CHECK(isNumeric(text));

    // FirstNumber: -1 only without number characters, otherwise the run's value.
    try {
        const int32_t first = firstNumber(text);
        if (first >= 0)
            CHECK(text.find(std::to_string(first).back()) != std::string::npos);
        else
            CHECK(first == -1);
    } catch (const ConversionError&) {
    }
    return 0;
}
