// Status decoding on any text and model: a report always, agreeing with the number it read.
#include "FuzzSupport.h"
#include "log/InstrumentModel.h"
#include "log/StatusDecoding.h"
#include "text/TextFieldHelpers.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::string model = fuzz::modelFor(data[0]);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string report = decodeStatus(modelNamed(model), text);

    const std::string heading = "Status Code Breakdown: \r\r";
    int32_t code = 0;
    // A model that explains bits says of any other non-empty text that it is no number.
    if (modelNamed(model).statusBits && !text.empty() && !tryStrToInt(text, code)) {
        CHECK(report == heading + "Status '" + text + "' is not a number");
        return 0;
    }
    const bool numeric = isNumeric(text);
    const bool converts = !numeric || tryStrToInt(text, code);
    if (!numeric)
        code = 0;
    // The heading, or the text itself when it looked like a number but was not a whole one.
    CHECK(report.rfind(converts ? heading : text, 0) == 0);
    const std::string body = report.substr(converts ? heading.size() : text.size());
    if (model == "?") {
        CHECK(body.empty());
        return 0;
    }
    if (!converts)
        code = 0;
    // One CR per set bit of the low byte, and "No errors" exactly for code 0.
    int bits = 0;
    for (int b = 0; b < 8; ++b)
        bits += (static_cast<uint32_t>(code) >> b) & 1u;
    int crs = 0;
    for (char c : body)
        crs += c == '\r';
    CHECK(crs == bits);
    CHECK((code == 0) == (body == "No errors"));
    return 0;
}
