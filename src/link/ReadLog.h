#pragma once

class App;

// How a "Read log" run ended, for front-ends that report it (the window shows it all already).
enum class ReadLogEnd {
    Declined,     // the user kept the unsaved data
    Refused,      // the instrument refused the dialogue; its message was shown
    NoConnection, // no answer to the download's wake-up
    Complete,     // the log was read to its end
    Incomplete,   // read to its end, with fewer records than announced; the user was told
    Stopped,      // a bound stopped a device that kept sending; the records read are kept
};

// The whole "Read log" procedure: question, reset, handshake, log status, identification,
// layout and download. Port and conversion errors pass through after the buttons are enabled.
ReadLogEnd ReadLog(App& app);
