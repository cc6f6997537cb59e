// Downloads recorded in the process as the window records them, listed, opened and deleted in
// the Downloads window.
#include "SimRig.h"
#include "app/Console.h"
#include "app/MainWindowLogic.h"
#include "app/widgets/DownloadsDialog.h"
#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"

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
            rig.app.archive = &writer;
            activateMainWindow(rig.app);
            readLog(rig.app);
            tables.push_back(tableDump(rig.app.table));
            memos.push_back(rig.view.memErr);
            for (const std::string& event : rig.view.memErr)
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
    viewer.app.archive = nullptr;
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
        EXPECT_EQ(tableDump(viewer.app.table), tables[static_cast<size_t>(2 - row)]);
        EXPECT_EQ(viewer.view.memErr, memos[static_cast<size_t>(2 - row)]);
        EXPECT_FALSE(viewer.app.session.dataSaved);
    }

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
