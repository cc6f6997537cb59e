#pragma once

#include "Fakes.h"
#include "InstrumentSim.h"
#include "SimSerialLine.h"
#include "VirtualClock.h"
#include "app/App.h"
#include "app/SessionUpdater.h"
#include "link/LogDownload.h"
#include "link/WorkerThreadRunner.h"
#include "log/InstrumentModel.h"

#include <memory>

// A whole program core wired to the simulated instrument on a virtual clock, with recording
// fakes for the user and the main window. Port open, main window activated.
struct SimRig {
    explicit SimRig(sim::Scenario scenario = {})
        : instrument(std::move(scenario)), line(instrument, clock), app(line, clock, dialogs, view),
          updater(app.session(), app.table(), app.view(), app.dialogs(), app.port(), nullptr) {
        line.openPort();
        // The same cases once more with every exchange on a worker thread, as the window runs
        // them: what a user sees must not change in the hand-off.
        if (qEnvironmentVariableIsSet("LOGDUMP_TEST_WORKER_THREAD")) {
            runner = std::make_unique<WorkerThreadRunner>(line);
            app.setRunner(runner.get());
        }
    }
    // Milliseconds on the virtual clock since the rig was made.
    double elapsedMs() const {
        return std::chrono::duration<double, std::milli>(clock.now()).count();
    }
    // The table laid out for the session's model, as an identification does.
    void layoutTable() { updater.identified(*app.session().model, app.session().identLine); }
    // The download alone, after a dialogue that left the session as it stands.
    ReadLogEnd download(const DownloadLimits& limits = {}) {
        DownloadContext context;
        context.announced = app.session().logCount;
        context.identLine = app.session().identLine;
        context.tableRows = app.table().rows();
        return downloadLog(app.line(), updater, context, limits);
    }

    VirtualClock clock;
    sim::InstrumentSim instrument;
    SimSerialLine line;
    FakeDialogs dialogs;
    FakeView view;
    App app;
    SessionUpdater updater;
    std::unique_ptr<WorkerThreadRunner> runner;
};
