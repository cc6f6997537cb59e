#pragma once

#include "InstrumentSim.h"
#include "SimSerialLine.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "app/Commands.h"
#include "app/Console.h"

#include <chrono>
#include <cstdio>
#include <string>

// The floor a real "Read log" is measured against: the same procedure on a virtual clock
// against the same simulated instrument, which costs the line time of the bytes plus the waits
// the dialogue prescribes, and nothing for the program.
struct Floor {
    double seconds = 0;     // the procedure on the virtual clock
    double lineSeconds = 0; // bytes received x 10 bits / 9600
    size_t bytes = 0;
    int rows = 0;
};

inline Floor replayFloor(const std::string& model, int count) {
    sim::Scenario s;
    s.model = model;
    s.count = count;
    VirtualClock clock;
    sim::InstrumentSim instrument(s);
    SimSerialLine line(instrument, clock);
    std::FILE* null = std::fopen("/dev/null", "w");
    ConsoleOutput out(null, false);
    ConsoleDialogs dialogs(out);
    ConsoleView view(out);
    App app(line, clock, dialogs, view);
    line.openPort();
    activateMainWindow(app);
    const auto start = clock.now();
    readLog(app);
    Floor f;
    f.seconds = std::chrono::duration<double>(clock.now() - start).count();
    f.bytes = line.bytesRead;
    f.lineSeconds = static_cast<double>(line.bytesRead) * 10.0 / 9600.0;
    f.rows = app.table().rows();
    std::fclose(null);
    return f;
}
