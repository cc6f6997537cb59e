#include "log/StatusDecoding.h"

#include "log/InstrumentModel.h"
#include "text/TextFieldHelpers.h"

#include <cstdint>

std::string decodeStatus(const InstrumentModel& model, const std::string& statusText) {
    // The message list and the graph take such a status for none, not for "No errors".
    int32_t whole = 0;
    if (model.statusBits && !statusText.empty() && !tryStrToInt(statusText, whole))
        return "Status Code Breakdown: \r\rStatus '" + statusText + "' is not a number";
    const std::string text = isNumeric(statusText) ? statusText : "0";
    int32_t code = 0;
    std::string report;
    if (tryStrToInt(text, code)) {
        report = "Status Code Breakdown: \r\r";
    } else {
        // A number that is not whole (2.5, 1e3) shows itself instead of the heading.
        code = 0;
        report = text;
    }
    const StatusBitTexts* texts = model.statusBits;
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
