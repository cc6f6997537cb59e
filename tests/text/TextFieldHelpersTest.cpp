#include "text/TextFieldHelpers.h"

#include "VirtualClock.h"
#include "text/AppError.h"
#include "text/Cp1252.h"

#include <gtest/gtest.h>

TEST(TextFieldHelpers, ReplaceFirstCharTouchesOnlyTheFirst) {
    EXPECT_EQ(replaceFirstChar(',', '.', "1,5,0"), "1.5,0");
    EXPECT_EQ(replaceFirstChar(',', '.', "150"), "150");
    EXPECT_EQ(replaceFirstChar(',', '.', ""), "");
}

TEST(TextFieldHelpers, UpperTouchesOnlyTheLettersAToZ) {
    struct Case {
        const char* text;
        const char* upper;
    } const cases[] = {
        {"s/n: 4711", "S/N: 4711"}, {"Log Status", "LOG STATUS"}, {"", ""},
        {"az{`@[", "AZ{`@["},       {"\xE9\xB5m", "\xE9\xB5M"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(upper(c.text), c.upper) << c.text;
}

TEST(TextFieldHelpers, IsNumericFollowsTheDecimalSyntax) {
    struct Case {
        const char* text;
        bool numeric;
    } const cases[] = {
        {"12", true},   {" 12", true},       {"-3", true},     {"1,5", true},  {"1.5e3", true},
        {".", true},    {".5", true},        {",", true},      {"7", true},    {"+4", true},
        {"1e-3", true}, {"  -0.5E+2", true}, {"", false},      {" ", false},   {"+", false},
        {"12 ", false}, {"1,5,0", false},    {"1.2.3", false}, {"5E", false},  {"0x1F", false},
        {"a", false},   {"-", false},        {"1e+", false},   {"\t1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(isNumeric(c.text), c.numeric);
    }
}

TEST(TextFieldHelpers, CountChar) {
    EXPECT_EQ(countChar("a,b,c,d,e,f,g", ','), 6);
    EXPECT_EQ(countChar("", ','), 0);
}

TEST(TextFieldHelpers, GetFieldCutsLinesAndCountsFromOne) {
    struct Case {
        const char* text;
        int n;
        char sep;
        const char* field;
    } const cases[] = {
        {"a,b,c", 1, ',', "a"},
        {"a,b,c", 2, ',', "b"},
        {"a,b,c", 3, ',', "c"},
        {"a,b,c", 4, ',', "c"},
        {"a,b,c", 0, ',', "a"},
        {"abc", 1, ',', "$not found$"},
        {"abc", 2, ',', "$not found$"},
        {"a,,b", 2, ',', ""},
        {"a,b\r\nc,d", 2, ',', "b"},
        {"a,b\nc,d", 3, ',', "b"},
        {"x,y\rz", 2, ',', "y"},
        {"12.03.2005 10:15:00", 2, ' ', "10:15:00"},
        {"12.03.2005", 1, ' ', "$not found$"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " #" + std::to_string(c.n));
        EXPECT_EQ(getField(c.text, c.n, c.sep), c.field);
    }
}

TEST(TextFieldHelpers, StrToIntReadsWholeNumbers) {
    struct Case {
        const char* text;
        int32_t value;
    } const cases[] = {
        {"0", 0},
        {"42", 42},
        {"  42", 42},
        {"-7", -7},
        {"+5", 5},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"$10", 16},
        {"0x1f", 31},
        {"0XFF", 255},
        {"$FFFFFFFF", -1},
        {"$80000000", -2147483647 - 1},
        {"-$10", -16},
        {"007", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(strToInt(c.text), c.value);
    }
}

TEST(TextFieldHelpers, StrToIntRejectsOtherTexts) {
    for (const char* text :
         {"", " ", "-", "+", "12 ", "1.5", "1,5", "abc", "2147483648", "-2147483649", "$", "0x",
          "$123456789", "1e3", "99999999999999999999", "\t1", "$G"}) {
        SCOPED_TRACE(text);
        try {
            strToInt(text);
            ADD_FAILURE() << "no error";
        } catch (const ConversionError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

TEST(Delay, WaitsMoreThanTheSpanBySleeping) {
    VirtualClock clock;
    delay(clock, 50);
    EXPECT_GT(clock.now(), std::chrono::milliseconds(50));
    EXPECT_LT(clock.now(), std::chrono::milliseconds(51));
    const auto before = clock.now();
    delay(clock, 0);
    EXPECT_GT(clock.now(), before);
    const auto again = clock.now();
    delay(clock, -5);
    EXPECT_EQ(clock.now(), again);
}

TEST(Cp1252, DecodesForDisplayAndBack) {
    const std::string bytes = "\x80 \xE9\x9F\x81";
    const QString text = fromCp1252(bytes);
    EXPECT_EQ(text, QString::fromUtf8("\u20AC \u00E9\u0178\u0081"));
    EXPECT_EQ(toCp1252(text), bytes);
}

TEST(Cp1252, DisplayTextMakesEveryLineBreakOne) {
    EXPECT_EQ(displayText("a\n\rb"), QStringLiteral("a\nb"));
    EXPECT_EQ(displayText("a\n\r\n\rb"), QStringLiteral("a\n\nb"));
    EXPECT_EQ(displayText("a\r\nb\rc\nd"), QStringLiteral("a\nb\nc\nd"));
    EXPECT_EQ(displayText("x\r\r"), QStringLiteral("x\n\n"));
}
