#include "graph/GraphFormat.h"

#include <gtest/gtest.h>

TEST(GraphFormat, GeneralTwoSignificantDigits) {
    struct Case {
        double value;
        const char* point;
        const char* comma;
    } const cases[] = {
        {0.8, "0.8", "0,8"},
        {2.54, "2.5", "2,5"},
        {9.96, "10", "10"},
        {9.94, "9.9", "9,9"},
        {0.05, "0.05", "0,05"},
        {0.0123, "0.012", "0,012"},
        {1, "1", "1"},
        {10, "10", "10"},
        {0, "0", "0"},
        {-0.0, "0", "0"},
        // Halves away from zero, where the double holds the half exactly.
        {1.25, "1.3", "1,3"},
        {-1.25, "-1.3", "-1,3"},
        {0.125, "0.13", "0,13"},
        {12.5, "13", "13"},
        {-12.5, "-13", "-13"},
        {2.5, "2.5", "2,5"},
        // 2.55 is held as 2.54999...: below the half.
        {2.55, "2.5", "2,5"},
        // Plain from 0.0001 up to below 100, after rounding.
        {99.4, "99", "99"},
        {99.5, "1E2", "1E2"},
        {100, "1E2", "1E2"},
        {-250, "-2.5E2", "-2,5E2"},
        {123456, "1.2E5", "1,2E5"},
        {1e6, "1E6", "1E6"},
        {0.0001, "0.0001", "0,0001"},
        {0.000099996, "0.0001", "0,0001"},
        {0.00009949, "9.9E-5", "9,9E-5"},
        {0.00005, "5E-5", "5E-5"},
        {-0.000012, "-1.2E-5", "-1,2E-5"},
        {1e-20, "1E-20", "1E-20"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value);
        EXPECT_EQ(formatSpread(c.value, "."), c.point);
        EXPECT_EQ(formatSpread(c.value, ","), c.comma);
    }
}

TEST(GraphFormat, ReadoutRoundsHalvesAwayFromZero) {
    struct Case {
        double value;
        const char* text;
    } const cases[] = {
        {250.5, " 251"},      {7.4, "   7"},  {0.5, "   1"},  {2.5, "   3"},      {1.5, "   2"},
        {-250.5, "-251"},     {-3.2, "  -3"}, {-2.5, "  -3"}, {12345.6, "12346"}, {0, "   0"},
        {-12345.5, "-12346"}, {-0.4, "  -0"}, // a negative number keeps its sign, as printf does
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value);
        EXPECT_EQ(formatReadout(c.value), c.text);
    }
}
