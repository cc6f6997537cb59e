#include "app/App.h"
#include "app/Handlers.h"
#include "graph/GraphBuild.h"

void btnGraphClick(App& app) {
    if (!hasGraphRecords(app.table))
        return;
    app.session.graphViewed = true;
    app.dialogs.showModal(ModalWindow::Graph);
}
