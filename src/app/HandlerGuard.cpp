#include "app/HandlerGuard.h"

#include "text/Dialogs.h"

#include <exception>

std::string withFullStop(const std::string& text) {
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        return text + ".";
    return text;
}

bool runGuarded(IDialogs& dialogs, const std::function<void()>& handler) noexcept {
    try {
        try {
            handler();
            return true;
        } catch (const std::bad_alloc&) {
            dialogs.error(withFullStop("Out of memory"));
        } catch (const std::exception& e) {
            dialogs.error(withFullStop(e.what()));
        } catch (...) {
            dialogs.error(withFullStop("Unexpected error"));
        }
    } catch (...) {
        // The error box itself failed; there is nobody left to tell.
    }
    return false;
}
