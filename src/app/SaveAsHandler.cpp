#include "app/SaveAsHandler.h"

#include "app/App.h"
#include "app/Handlers.h"

SaveSource saveSourceOf(App& app) {
    return {app.table, app.session, app.statistics, [&app](const RequiredClasses& required) {
                return SectionReportOf(app, true, required);
            }};
}

void btnSaveAsClick(App& app) {
    saveAs(saveSourceOf(app), app.dialogs, systemFileLayer(), QString::fromLatin1(kWorkFolder));
}
