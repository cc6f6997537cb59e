#include "app/App.h"
#include "app/Handlers.h"
#include "graph/GraphLogic.h"

void btnGraphClick(App& app) {
    if (!HasGraphRecords(app.table))
        return;
    app.session.graphViewed = true;
    app.dialogs.showModal(ModalWindow::Graph);
}
