// Downloads recorded in the process as the window records them, listed, opened and deleted in
// the Downloads window.
#include "SimRig.h"
#include "app/Commands.h"
#include "app/Console.h"
#include "app/Downloads.h"
#include "app/Commands.h"
#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"
#include "widgets/main/DownloadsDialog.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every row of the table with its marks, as one text.
std::string tableDump(const LogTable& table) {
    std::string dump;
    for (int row = 0; row < table.rows(); ++row) {
        for (int col = 0; col < table.cols(); ++col)
            dump += table.cell(col, row) + "|" +
                    std::to_string(static_cast<int>(table.mark(col, row))) + "\t";
        dump += '\n';
    }
    return dump;
}

sim::Scenario scenario(const char* model, int count, std::optional<long long> announced = {}) {
    sim::Scenario s;
    s.model = model;
    s.count = count;
    s.lsCount = announced;
    return s;
}

} // namespace

TEST(DownloadsWindow, RecordsListsOpensAndDeletes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    struct Case {
        const char* model;
        int count;
        std::optional<long long> announced;
        const char* ended;
    };
    const std::vector<Case> cases = {{"RVM600", 12, {}, "complete"},
                                     {"RVM600PK", 9, 15, "incomplete"},
                                     {"VX40", 7, {}, "complete"}};
    std::vector<std::string> tables;
    std::vector<std::vector<std::string>> memos;
    {
        ArchiveWriter writer(path);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.model);
            SimRig rig(scenario(c.model, c.count, c.announced));
            rig.app.setArchive(&writer);
            activateMainWindow(rig.app);
            readLog(rig.app);
            tables.push_back(tableDump(rig.app.table()));
            memos.push_back(rig.view.messages);
            for (const std::string& event : rig.view.messages)
                EXPECT_EQ(event.find("Archive:"), std::string::npos) << event;
        }
    }
    Archive archive(path, QStringLiteral("check"));
    const std::vector<DownloadSummary> listed = archive.list();
    ASSERT_EQ(listed.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const DownloadSummary& d = listed[cases.size() - 1 - i]; // newest first
        EXPECT_EQ(d.ended.toStdString(), cases[i].ended);
        EXPECT_EQ(d.records, cases[i].count);
        EXPECT_FALSE(archive.load(d.id)->stream.empty());
    }

    SimRig viewer;
    activateMainWindow(viewer.app);
    viewer.app.setArchive(nullptr);
    DownloadsDialog dialog(viewer.app, path);
    ASSERT_EQ(dialog.list()->rowCount(), 3);
    EXPECT_EQ(dialog.list()->item(0, 1)->text(), QStringLiteral("VX40"));
    EXPECT_EQ(dialog.list()->item(1, 3)->text(), QStringLiteral("9 of 15"));
    dialog.filter()->setText(QStringLiteral("0815"));
    EXPECT_EQ(dialog.list()->rowCount(), 0);
    EXPECT_FALSE(dialog.openButton()->isEnabled());
    dialog.filter()->setText(QStringLiteral("4711"));
    ASSERT_EQ(dialog.list()->rowCount(), 3);

    // Open: each download comes back into the table exactly, unsaved.
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        DownloadsDialog chooser(viewer.app, path);
        chooser.list()->selectRow(row);
        chooser.openSelected();
        ASSERT_TRUE(chooser.opened());
        EXPECT_EQ(tableDump(viewer.app.table()), tables[static_cast<size_t>(2 - row)]);
        EXPECT_EQ(viewer.view.messages, memos[static_cast<size_t>(2 - row)]);
        EXPECT_FALSE(viewer.app.session().dataSaved);
    }

    // A save of the download opened is kept with it and shown as its last.
    {
        ArchiveWriter writer(path);
        viewer.app.setArchive(&writer);
        const QString saved = dir.filePath(QStringLiteral("road.Log"));
        viewer.dialogs.saveAnswer = SaveDialogResult{saved, 2};
        saveLogAs(viewer.app);
        viewer.app.setArchive(nullptr);
    }
    dialog.filter()->clear();
    ASSERT_EQ(dialog.list()->rowCount(), 3);
    EXPECT_EQ(dialog.list()->item(2, 5)->text(), dir.filePath(QStringLiteral("road.Log")));

    QDir().mkpath(QStringLiteral("screenshots"));
    dialog.show();
    EXPECT_TRUE(
        dialog.grab().save(QDir::current().filePath(QStringLiteral("screenshots/downloads.png"))));

    // Delete asks first; No keeps it, Yes removes it for good.
    viewer.dialogs.yesNoAnswers = {false, true};
    dialog.list()->selectRow(0);
    dialog.deleteSelected();
    EXPECT_EQ(dialog.list()->rowCount(), 3);
    dialog.list()->selectRow(0);
    dialog.deleteSelected();
    EXPECT_EQ(dialog.list()->rowCount(), 2);
    EXPECT_EQ(archive.list().size(), 2u);
}

TEST(DownloadsWindow, ALostUnsavedDownloadIsOfferedOnceAtStart) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    std::string lost;
    {
        ArchiveWriter writer(path);
        SimRig rig(scenario("RVM600", 8));
        rig.app.setArchive(&writer);
        activateMainWindow(rig.app);
        readLog(rig.app);
        lost = tableDump(rig.app.table());
    }
    {
        // As a program killed before the end leaves it.
        Archive archive(path, QStringLiteral("edit"));
        archive.begin();
        archive.endDownload(archive.list().front().id, DownloadEnding::Interrupted);
        archive.commit();
    }
    SimRig first;
    activateMainWindow(first.app);
    first.dialogs.yesNoAnswers = {true};
    const std::optional<DownloadSummary> opened = offerUnsavedDownload(first.app, path);
    ASSERT_TRUE(opened);
    ASSERT_EQ(first.dialogs.events.size(), 1u);
    EXPECT_EQ(first.dialogs.events[0], "yesno: The log read on " +
                                           downloadTime(*opened).toStdString() +
                                           " (8 records) was not saved. Open it now?");
    EXPECT_EQ(tableDump(first.app.table()), lost);
    EXPECT_FALSE(first.app.session().dataSaved);

    SimRig second;
    activateMainWindow(second.app);
    EXPECT_FALSE(offerUnsavedDownload(second.app, path));
    EXPECT_TRUE(second.dialogs.events.empty());
    // No archive yet: nothing is offered and none is made.
    EXPECT_FALSE(offerUnsavedDownload(second.app, dir.filePath(QStringLiteral("none.sqlite"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("none.sqlite"))));
}

TEST(DownloadsWindow, EveryEndingIsKeptWithTheRowsRead) {
    struct Case {
        const char* name;
        std::function<void(sim::Scenario&)> change;
        const char* ended;
    };
    const std::vector<Case> cases = {
        {"complete", [](sim::Scenario&) {}, "complete"},
        {"fewer than announced", [](sim::Scenario& s) { s.lsCount = 30; }, "incomplete"},
        {"a bound", [](sim::Scenario& s) { s.endless = true; }, "bound"},
        {"the line cut", [](sim::Scenario& s) { s.disconnectAtByte = 500; }, "error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        std::string table;
        std::vector<std::string> memo;
        {
            ArchiveWriter writer(path);
            sim::Scenario s = scenario("RVM600P", 20);
            c.change(s);
            SimRig rig(s);
            rig.app.setArchive(&writer);
            activateMainWindow(rig.app);
            DownloadLimits limits;
            limits.maxLinesWithoutRecord = 50;
            try {
                readLog(rig.app, limits);
            } catch (const std::exception&) {
                // the port error the window's handler would show
            }
            table = tableDump(rig.app.table());
            memo = rig.view.messages;
        }
        Archive archive(path, QStringLiteral("check"));
        ASSERT_EQ(archive.list().size(), 1u);
        EXPECT_EQ(archive.list().front().ended.toStdString(), c.ended);
        SimRig viewer;
        activateMainWindow(viewer.app);
        showArchivedDownload(viewer.app, *archive.load(archive.list().front().id));
        EXPECT_EQ(tableDump(viewer.app.table()), table);
        EXPECT_EQ(viewer.view.messages, memo);
    }
}
