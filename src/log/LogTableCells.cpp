#include "app/App.h"
#include "app/Handlers.h"
#include "log/LogLayout.h"
#include "log/StatusDecoding.h"

void grdDataClickCell(App& app, int col, int row) {
    if (!IsStatusCell(app.table, col, row))
        return;
    app.dialogs.message(DecodeStatus(*app.session.model, app.table.cell(col, row)));
}

std::optional<std::string> grdDataGridHint(const App& app, int col, int row) {
    if (!IsStatusCell(app.table, col, row))
        return std::nullopt;
    return std::string("Click to see warning/error");
}
