#pragma once

#include <functional>
#include <string>

class IDialogs;

// The text of the general error box: a full stop is added when the last byte, unsigned, is
// above ".".
std::string withFullStop(const std::string& text);

// Runs one event handler; any exception ends it and is shown in the general error box, so
// nothing crosses the event loop. True when the handler ran through.
bool runGuarded(IDialogs& dialogs, const std::function<void()>& handler) noexcept;
