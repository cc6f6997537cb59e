#include "app/App.h"
#include "app/Handlers.h"
#include "link/ComPort.h"
#include "link/InstrumentLink.h"
#include "text/Cp1252.h"

void FormCreate(App& app, const QStringList& arguments) {
    try {
        app.port.openPort();
    } catch (const EComPort&) {
        app.dialogs.beep();
        app.controls.setReadLogEnabled(false);
        app.dialogs.message("Unable to open comport: " + toCp1252(app.port.port()) +
                            "\n\rPort may be opened by another application");
    }
    app.controls.setGraphEnabled(false);
    app.controls.setGraphVisible(false);
    if (!arguments.isEmpty()) {
        const QString first = arguments.first().toUpper();
        if (first == QLatin1String("G") || first == QLatin1String("GRAPH")) {
            app.session.productionMode = true;
            app.controls.setGraphVisible(true);
        }
    }
}

QStringList ArgumentsAsGiven(int argc, const char* const argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void FormActivate(App& app) {
    ResetTable(app);
    if (app.port.connected())
        app.controls.focusReadLog();
    else
        app.controls.focusPortSelector();
    app.session.graphViewed = false;
}

bool FormCloseQuery(App& app) {
    if (app.session.dataSaved)
        return true;
    if (!app.dialogs.confirmYesNo("Data not saved - exit anyway?"))
        return false;
    app.port.closePort();
    return true;
}

void ComboBox1Click(App& app, const QString& text) {
    app.port.closePort();
    app.port.setPort(text);
    try {
        app.port.openPort();
        app.controls.setReadLogEnabled(true);
        app.controls.focusReadLog();
    } catch (const EComPort&) {
        app.controls.setReadLogEnabled(false);
        app.port.closePort();
        app.dialogs.message("Error opning: " + toCp1252(text));
    }
}
