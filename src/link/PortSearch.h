#pragma once

#include "link/PortCatalogue.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class App;
class IClock;
class ISerialLine;

// Told before each port is tried (index from 0); returning false stops the search there.
using PortSearchProgress = std::function<bool(int index, int count, const QString& port)>;

// Tries each port in turn with the "Read log" handshake on the given line. A port that cannot be
// opened (busy, no permission, gone) is passed over without a word. Returns the first port that
// answers, with the line left open on it; otherwise the line is closed.
std::optional<QString> FindInstrument(ISerialLine& line, IClock& clock,
                                      const std::vector<PortInfo>& ports,
                                      const PortSearchProgress& progress);

// Before a search from the window: the app's own port is let go so the search can open it.
// Returns whether it was open.
bool BeginPortSearch(App& app);
// After it: the port found is chosen as in the selector and remembered; with none found the
// user is told (unless they stopped the search) and the earlier port is taken up again.
void EndPortSearch(App& app, const std::optional<QString>& found, bool stopped, bool wasOpen);
