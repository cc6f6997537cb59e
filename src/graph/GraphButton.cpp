#include "app/App.h"
#include "app/Handlers.h"

void btnGraphClick(App& app) {
    // A graph needs at least two records below the header row.
    if (app.table.rows() < 3)
        return;
    app.state.GraphViewed = true;
    app.dialogs.showModal(ModalWindow::Graph);
}
