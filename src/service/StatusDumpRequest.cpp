#include "app/App.h"
#include "app/Handlers.h"
#include "link/InstrumentLink.h"
#include "link/PortMemory.h"
#include "service/StatusReport.h"

void btnStDumpClick(App& app) {
    app.port.discardBuffers(true, true);
    SendLine(app.port, "");
    ReadLine(app, 10, app.session.lastReply);
    // Some instruments answer the empty command with an empty line before the "?".
    if (app.session.lastReply.empty())
        ReadLine(app, 10, app.session.lastReply);
    // Left to the handler guard: the general error box shows it with a full stop.
    if (app.session.lastReply != "?")
        throw EDataError("No connection with instrument");
    RememberAnsweringPort(app);
    if (!app.dialogs.confirmOkCancel(kStatusDumpQuestion))
        return;
    app.dialogs.showModal(ModalWindow::StatusDump);
}
