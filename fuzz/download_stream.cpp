// Any bytes as the log stream of any model: the table stays whole and holds every record once.
#include "Fakes.h"
#include "FuzzSupport.h"
#include "InstrumentSim.h"
#include "SimSerialLine.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "app/Commands.h"
#include "app/SessionUpdater.h"
#include "link/LogDownload.h"
#include "log/LogLayout.h"
#include "text/TextFieldHelpers.h"

#include <cstdint>
#include <vector>

namespace {

// The records the stream holds, read independently of the download.
struct Expected {
    int records = 0;
    int lines = 0;
};

Expected expectedOf(const std::string& stream) {
    Expected e;
    std::string line;
    for (char c : stream) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0 || c == '*')
            break;
        if (c == '\t') {
            line.push_back(',');
        } else if (c == '\r') {
            ++e.lines;
            const int commas = countChar(line, ',');
            if ((commas == 4 || commas == 6) && line.find("Date") == std::string::npos)
                ++e.records;
            line.clear();
        } else if (b >= 32 && b != 96) {
            line.push_back(c);
        }
    }
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    sim::Scenario scenario;
    scenario.model = fuzz::modelFor(data[0]);
    scenario.paced = false;
    scenario.count = 0;
    scenario.stream = std::string(reinterpret_cast<const char*>(data + 1), size - 1);

    VirtualClock clock;
    sim::InstrumentSim instrument(scenario);
    SimSerialLine line(instrument, clock);
    FakeDialogs dialogs;
    FakeView view;
    App app(line, clock, dialogs, view);
    line.openPort();
    resetLog(app);
    app.session().model = &modelNamed(scenario.model);
    SessionUpdater updater(app.session(), app.table(), app.view(), dialogs, app.port(), nullptr);
    updater.identified(*app.session().model, "");
    std::vector<std::string> headers;
    for (int c = 0; c < app.table().cols(); ++c)
        headers.push_back(app.table().cell(c, 0));

    DownloadLimits limits;
    limits.maxLinesWithoutRecord = 64;
    limits.maxTableRows = 400;
    limits.maxLineBytes = 512;
    // A status that is no number is a memo line, never the end of the download.
    DownloadContext context;
    context.tableRows = app.table().rows();
    const ReadLogEnd end = downloadLog(app.line(), updater, context, limits);

    const Expected expected = expectedOf(*scenario.stream);
    const int rowNo = view.progress; // records read
    CHECK(dialogs.busyDepth == 0);
    CHECK(app.table().rows() >= 2);
    CHECK(app.table().rows() <= limits.maxTableRows + 1);
    for (int c = 0; c < app.table().cols(); ++c)
        CHECK(app.table().cell(c, 0) == headers[static_cast<size_t>(c)]);
    CHECK(rowNo >= 0 && rowNo <= expected.lines);
    CHECK(rowNo <= expected.records);
    for (int r = 1; r <= rowNo; ++r)
        CHECK(app.table().cell(0, r) == std::to_string(r));
    for (int r = rowNo + 1; r < app.table().rows(); ++r)
        for (int c = 0; c < app.table().cols(); ++c)
            CHECK(app.table().cell(c, r).empty());
    if (end == ReadLogEnd::Complete)
        CHECK(rowNo == expected.records);
    if (end != ReadLogEnd::NoConnection) {
        CHECK(app.table().isEnabled());
        CHECK(!app.session().dataSaved);
    }
    return 0;
}
