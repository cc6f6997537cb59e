#include "log/InstrumentModel.h"

#include <gtest/gtest.h>

TEST(InstrumentModel, EveryNameFindsItsEntryAndNoOther) {
    for (const char* name : {"RVM600PK", "VX40", "RVM600P", "RVM600", "?"}) {
        SCOPED_TRACE(name);
        EXPECT_STREQ(modelNamed(name).name, name);
    }
    EXPECT_EQ(&modelNamed("rvm600"), &unknownModel());
    EXPECT_EQ(&modelNamed(""), &unknownModel());
    EXPECT_EQ(instrumentModels().size(), 4u);
}

// The first entry whose mark the identification holds wins; only the combined model's mark is
// matched with its case.
TEST(InstrumentModel, DetectionTakesTheFirstMarkInItsOrder) {
    struct Case {
        const char* ident;
        const char* model;
    } const cases[] = {
        {"Virelon RVM600PK\r\n", "RVM600PK"},
        {"RVM600PK Qd\r\n", "RVM600PK"},
        {"RVM600PKQD\r\nline 2\r\n", "RVM600PK"},
        {"RVM600 with qd option\r\n", "VX40"},
        {"Qd meter RVM600\r\n", "VX40"},
        {"Virelon VX40 QD\r\n", "VX40"},
        {"virelon rvm600pk\r\n", "RVM600P"},
        {"rvm600p\r\n", "RVM600P"},
        {"Virelon Rvm600\r\n", "RVM600"},
        {"Virelon thing\r\n", "?"},
        {"RVM 600\r\n", "?"},
        {"VX40\r\n", "?"},
        {"", "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ident);
        EXPECT_STREQ(detectModel(c.ident).name, c.model);
    }
}
