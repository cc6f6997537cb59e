#include "log/StatusDecoding.h"

#include "app/InstrumentModels.h"
#include "text/TextFieldHelpers.h"

#include <array>
#include <cstdint>

namespace {

using BitTexts = std::array<const char*, 8>;

// Bits 0 to 7 per model; an empty text is a bit that only gives an empty line.
constexpr BitTexts kRvm600 = {"",
                              "Stray Light (Warning)",
                              "Log Full (Warning)",
                              "Test Log Full (Warning)",
                              "Low Battery Voltage (Warning)",
                              "High Zero Signal (Warning)",
                              "High Signal With Lamp On (Error)",
                              "High Signal With Lamp Off (Error)"};
constexpr BitTexts kVx40 = {
    "Converter Error (Error)", "High Leak (Warning)",           "Log Full (Warning)",
    "Test Log Full (Warning)", "Low Battery Voltage (Warning)", "",
    "Ref Signal (Warning)",    "High Signal (Warning)"};
constexpr BitTexts kRvm600P = {"Error In Rl Result (Error)",
                               "Stray Light (Warning)",
                               "Log Full (Warning)",
                               "",
                               "Low Battery Voltage (Warning)",
                               "High Zero Signal (Warning)",
                               "High Zero Signal (Warning)",
                               "High Signal With Lamp On (Error)"};
constexpr BitTexts kRvm600PK = {"Error In Qd or Rl Result (Error)",
                                "Stray Light (Warning)",
                                "Log Full (Warning)",
                                "",
                                "Low Battery Voltage (Warning)",
                                "",
                                "",
                                "High Signal With Lamp On (Error)"};

const BitTexts* bitTextsOf(const std::string& model) {
    if (model == Models::RVM600)
        return &kRvm600;
    if (model == Models::VX40)
        return &kVx40;
    if (model == Models::RVM600P)
        return &kRvm600P;
    if (model == Models::RVM600PK)
        return &kRvm600PK;
    return nullptr;
}

} // namespace

std::string DecodeStatus(const std::string& modelName, const std::string& statusText) {
    const std::string text = IsNumeric(statusText) ? statusText : "0";
    int32_t code = 0;
    std::string report;
    if (TryStrToInt(text, code)) {
        report = "Status Code Breakdown: \r\r";
    } else {
        // A number that is not whole (2.5, 1e3) shows itself instead of the heading.
        code = 0;
        report = text;
    }
    const BitTexts* texts = bitTextsOf(modelName);
    if (!texts)
        return report;
    const auto bits = static_cast<uint32_t>(code);
    for (int bit = 0; bit < 8; ++bit) {
        if (bits & (1u << bit)) {
            report += (*texts)[static_cast<size_t>(bit)];
            report += '\r';
        }
    }
    if (code == 0)
        report += "No errors";
    return report;
}
