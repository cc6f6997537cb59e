#pragma once

#include "link/PortCatalogue.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class IClock;
class ISerialLine;

// Told before each port is tried (index from 0); returning false stops the search there.
using PortSearchProgress = std::function<bool(int index, int count, const QString& port)>;

// Tries each port in turn with the "Read log" handshake on the given line. A port that cannot be
// opened (busy, no permission, gone) is passed over without a word. Returns the first port that
// answers, with the line left open on it; otherwise the line is closed.
std::optional<QString> findAnsweringPort(ISerialLine& line, IClock& clock,
                                         const std::vector<PortInfo>& ports,
                                         const PortSearchProgress& progress);
