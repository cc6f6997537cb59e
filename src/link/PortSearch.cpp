#include "link/PortSearch.h"

#include "link/InstrumentLine.h"
#include "link/InstrumentPort.h"

std::optional<QString> findAnsweringPort(ISerialLine& line, IClock& clock,
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
        } catch (const PortError&) {
            continue; // held by another program, not ours to use, or gone since it was listed
        }
        try {
            InstrumentLine instrument(line, clock);
            if (shakeHands(instrument).answered)
                return name;
        } catch (const PortError&) {
            // The device failed while it was asked (an adapter pulled out): try the next.
        }
        line.closePort();
    }
    line.closePort();
    return std::nullopt;
}
