#include "log/LogLayout.h"

#include "app/App.h"
#include "log/InstrumentModel.h"
#include "log/LogRecord.h"

void LayoutTable(App& app) {
    const Session& s = app.session;
    applyLayout(app.table, *s.model->layout, s.model->valueName);
    app.controls.setTableClientWidth(app.table.widthSum());
}

void WriteRecordRow(App& app, int row, const LogRecord& record) {
    LogTable& t = app.table;
    for (const std::string& note : writeRecord(t, row, record, *app.session.model))
        app.controls.memErrAddLine(note);
    // Every row has the default height, the header row included.
    const long long rowsHeight = static_cast<long long>(t.rows()) * LogTable::kDefaultRowHeight;
    if (rowsHeight > app.controls.tableClientHeight())
        app.controls.scrollTableToEnd();
}

bool IsStatusCell(const LogTable& table, int col, int row) {
    if (row < 1)
        return false;
    if (table.cols() == 8)
        return col == 4 || col == 5;
    if (table.cols() == 6)
        return col == 3;
    return false;
}
