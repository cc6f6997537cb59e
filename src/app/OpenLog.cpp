#include "app/OpenLog.h"

#include "app/App.h"
#include "app/Commands.h"
#include "export/LogFileReader.h"
#include "log/InstrumentModel.h"
#include "log/LogRecord.h"
#include "text/Cp1252.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool emptyRow(const std::vector<std::string>& cells) {
    for (const std::string& cell : cells)
        if (!cell.empty())
            return false;
    return true;
}

} // namespace

std::string openedFrom(const QString& path) {
    return "Opened from " + toCp1252(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

std::string savedLogEntry(const SavedLog& log) {
    return log.title + " (" + std::to_string(log.records()) + " records)";
}

void showSavedLog(App& app, const SavedLog& log, const std::string& origin) {
    resetLog(app);
    Session& session = app.session();
    const InstrumentModel& model = savedLogModel(log);
    session.model = &model;
    session.serialLine = savedLogSerialLine(log);
    session.serialNo = session.serialLine.size() > 5 ? session.serialLine.substr(5) : std::string();
    session.logCount = log.records();
    LogTable& table = app.table();
    applyLayout(table, savedLogLayout(log), model.valueName);
    const int rows = std::max(2, static_cast<int>(log.rows.size()));
    table.setRows(rows);
    const bool combined = table.layout() == &kCombinedLayout;
    for (int row = 1; row < static_cast<int>(log.rows.size()); ++row) {
        const std::vector<std::string>& cells = log.rows[static_cast<size_t>(row)];
        if (emptyRow(cells))
            continue;
        for (const std::string& note : writeRecord(table, row, readRecord(cells, combined), model))
            app.view().addMessage(note);
        // The cells as saved, byte for byte; the record gave their colours.
        for (int col = 0; col < table.cols(); ++col)
            table.setCell(col, row, col < static_cast<int>(cells.size()) ? cells[col] : "");
    }
    session.logOrigin = origin;
    app.statistics().setLines(log.statistics);
    table.setEnabled(true);
    session.dataSaved = true;
    session.graphViewed = false;
    app.view().setSaveAsEnabled(true);
    app.view().setGraphEnabled(table.rows() > 2);
}

std::optional<QString> openLog(App& app) {
    if (!app.session().dataSaved && !app.dialogs().confirmYesNo("Data not saved - continue?"))
        return std::nullopt;
    const std::optional<QString> path = app.dialogs().openFile(
        {QStringLiteral("Logs (*.Log *.xls *.xlsx)"), QStringLiteral("All files (*)")});
    if (!path)
        return std::nullopt;
    std::vector<SavedLog> logs;
    {
        const BusyCursor busy(app.dialogs());
        logs = readSavedLogs(*path); // a refusal is the handler's box; the table stays
    }
    int chosen = static_cast<int>(logs.size()) - 1;
    if (logs.size() > 1) {
        std::vector<std::string> entries;
        for (const SavedLog& log : logs)
            entries.push_back(savedLogEntry(log));
        const std::optional<int> answer =
            app.dialogs().chooseItem("Which log do you want to open?", entries, chosen);
        if (!answer)
            return std::nullopt;
        chosen = *answer;
    }
    showSavedLog(app, logs[static_cast<size_t>(chosen)], openedFrom(*path));
    return QFileInfo(*path).fileName();
}
