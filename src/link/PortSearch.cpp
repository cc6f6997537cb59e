#include "link/PortSearch.h"

#include "app/App.h"
#include "app/Handlers.h"
#include "link/ComPort.h"
#include "link/InstrumentLink.h"
#include "link/PortMemory.h"

std::optional<QString> FindInstrument(ISerialLine& line, IClock& clock,
                                      const std::vector<PortInfo>& ports,
                                      const PortSearchProgress& progress) {
    const int count = static_cast<int>(ports.size());
    for (int i = 0; i < count; ++i) {
        const QString& name = ports[static_cast<size_t>(i)].name;
        if (progress && !progress(i, count, name))
            break;
        line.closePort();
        line.setPort(name);
        try {
            line.openPort();
        } catch (const EComPort&) {
            continue; // held by another program, not ours to use, or gone since it was listed
        }
        try {
            std::string reply;
            if (AnswersHandshake(line, clock, reply))
                return name;
        } catch (const EComPort&) {
            // The device failed while it was asked (an adapter pulled out): try the next.
        }
        line.closePort();
    }
    line.closePort();
    return std::nullopt;
}

bool BeginPortSearch(App& app) {
    const bool wasOpen = app.port.connected();
    app.port.closePort();
    return wasOpen;
}

void EndPortSearch(App& app, const std::optional<QString>& found, bool stopped, bool wasOpen) {
    if (found) {
        ComboBox1Click(app, *found);
        if (app.port.connected())
            RememberAnsweringPort(app);
        return;
    }
    if (!stopped)
        app.dialogs.message("No instrument found");
    if (wasOpen) {
        try {
            app.port.openPort();
        } catch (const EComPort&) {
            // Taken by another program meanwhile: as at start, "Read log" waits for a free one.
            app.controls.setReadLogEnabled(false);
        }
    }
}
