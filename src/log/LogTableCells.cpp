#include "app/App.h"
#include "app/Handlers.h"

// Clicks and hints on status cells: to be built.
void grdDataClickCell(App&, int, int) {}

std::optional<std::string> grdDataGridHint(const App&, int, int) {
    return std::nullopt;
}
