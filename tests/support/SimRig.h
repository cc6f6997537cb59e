#pragma once

#include "Fakes.h"
#include "InstrumentSim.h"
#include "SimSerialLine.h"
#include "app/App.h"
#include "text/Clock.h"

#include <memory>

// A whole program core wired to the simulated instrument on a virtual clock, with recording
// fakes for the user and the main window. Port open, main window activated.
struct SimRig {
    explicit SimRig(sim::Scenario scenario = {})
        : instrument(std::move(scenario)), line(instrument, clock),
          app(line, clock, dialogs, controls) {
        line.openPort();
    }
    // Milliseconds on the virtual clock since the rig was made.
    double elapsedMs() const {
        return std::chrono::duration<double, std::milli>(clock.now()).count();
    }

    VirtualClock clock;
    sim::InstrumentSim instrument;
    SimSerialLine line;
    FakeDialogs dialogs;
    FakeControls controls;
    App app;
};
