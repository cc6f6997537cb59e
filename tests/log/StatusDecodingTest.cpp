#include "log/StatusDecoding.h"

#include "log/InstrumentModel.h"

#include <gtest/gtest.h>

namespace {
const std::string kHead = "Status Code Breakdown: \r\r";
}

TEST(DecodeStatus, ReportsEverySetBitInTheModelsWords) {
    struct Case {
        const char* model;
        const char* status;
        std::string report;
    } const cases[] = {
        {"RVM600", "18", kHead + "Stray Light (Warning)\rLow Battery Voltage (Warning)\r"},
        {"VX40", "33", kHead + "Converter Error (Error)\r\r"},
        {"RVM600", "0", kHead + "No errors"},
        {"VX40", "0", kHead + "No errors"},
        {"RVM600P", "0", kHead + "No errors"},
        {"RVM600PK", "0", kHead + "No errors"},
        {"RVM600", "1", kHead + "\r"},
        {"RVM600", "255",
         kHead + "\rStray Light (Warning)\rLog Full (Warning)\rTest Log Full (Warning)\r"
                 "Low Battery Voltage (Warning)\rHigh Zero Signal (Warning)\r"
                 "High Signal With Lamp On (Error)\rHigh Signal With Lamp Off (Error)\r"},
        {"RVM600P", "96", kHead + "High Zero Signal (Warning)\rHigh Zero Signal (Warning)\r"},
        {"RVM600P", "9", kHead + "Error In Rl Result (Error)\r\r"},
        {"RVM600PK", "104", kHead + "\r\r\r"},
        {"RVM600PK", "145",
         kHead + "Error In Qd or Rl Result (Error)\rLow Battery Voltage (Warning)\r"
                 "High Signal With Lamp On (Error)\r"},
        {"VX40", "256", kHead},
        {"VX40", "196",
         kHead + "Log Full (Warning)\rRef Signal (Warning)\rHigh Signal (Warning)\r"},
        {"VX40", "-1",
         kHead + "Converter Error (Error)\rHigh Leak (Warning)\rLog Full (Warning)\r"
                 "Test Log Full (Warning)\rLow Battery Voltage (Warning)\r\rRef Signal (Warning)\r"
                 "High Signal (Warning)\r"},
        {"RVM600PK", "-1",
         kHead + "Error In Qd or Rl Result (Error)\rStray Light (Warning)\rLog Full (Warning)\r\r"
                 "Low Battery Voltage (Warning)\r\r\rHigh Signal With Lamp On (Error)\r"},
        {"RVM600", " 16", kHead + "Low Battery Voltage (Warning)\r"},
        {"RVM600", "abc", kHead + "Status 'abc' is not a number"},
        {"RVM600PK", "E9", kHead + "Status 'E9' is not a number"},
        {"VX40", "<b>9</b>", kHead + "Status '<b>9</b>' is not a number"},
        {"RVM600", "16 ", kHead + "Status '16 ' is not a number"},
        {"RVM600", " ", kHead + "Status ' ' is not a number"},
        {"RVM600", "", kHead + "No errors"},
        {"RVM600", "2.5", kHead + "Status '2.5' is not a number"},
        {"RVM600P", "1,5", kHead + "Status '1,5' is not a number"},
        {"VX40", "1e3", kHead + "Status '1e3' is not a number"},
        {"RVM600", "99999999999", kHead + "Status '99999999999' is not a number"},
        {"?", "16", kHead},
        {"?", "0", kHead},
        {"rvm600", "16", kHead},
        {"?", "2.5", "2.5"},
        {"?", "E9", "E9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " / " + c.status);
        EXPECT_EQ(decodeStatus(modelNamed(c.model), c.status), c.report);
    }
}
