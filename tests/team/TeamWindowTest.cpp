// The team archive in the window against a real server: the window sends the downloads of its
// archive when it starts, and the Team tab of the Downloads window lists, filters and opens them.
#include "SimRig.h"
#include "TeamServer.h"
#include "app/Downloads.h"
#include "app/Commands.h"
#include "app/TeamArchiveSetting.h"
#include "app/TeamPusher.h"
#include "archive/ArchiveWriter.h"
#include "archive/TeamArchive.h"
#include "widgets/main/DownloadsDialog.h"
#include "widgets/main/MainWindow.h"
#include "widgets/main/TeamDownloadsPanel.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class KeptAddress final : public ITeamArchiveSetting {
public:
    explicit KeptAddress(QString uri) : m_uri(std::move(uri)) {}
    QString stored() const override { return m_uri; }
    void store(const QString& uri) override { m_uri = uri; }

private:
    QString m_uri;
};

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

} // namespace

TEST(TeamWindow, SendsAtStartAndTheTeamTabListsFiltersAndOpens) {
    TeamDatabase server;
    ASSERT_TRUE(server.ready());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    ArchiveWriter writer(path);
    const struct {
        const char* model;
        int count;
    } reads[] = {{"RVM600", 12}, {"RVM600PK", 9}, {"VX40", 7}};
    std::vector<std::string> tables;
    for (const auto& r : reads) {
        sim::Scenario s;
        s.model = r.model;
        s.count = r.count;
        SimRig rig(s);
        rig.app.setArchive(&writer);
        activateMainWindow(rig.app);
        readLog(rig.app);
        tables.push_back(tableDump(rig.app.table()));
    }
    ASSERT_TRUE(writer.flush(std::chrono::seconds(10)));

    // The window sends them when it starts and says so once.
    KeptAddress address(server.uri());
    {
        SimRig rig;
        MainWindow form(rig.line, rig.clock, {}, rig.dialogs);
        form.useArchive(&writer);
        form.useTeamArchive(&address);
        QTRY_VERIFY_WITH_TIMEOUT(form.messages()->toPlainText().contains(
                                     QStringLiteral("Team archive: 3 downloads sent")),
                                 30000);
        // And each download as soon as it has ended.
        form.activateOnce();
        form.readLogButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(form.messages()->toPlainText().contains(
                                     QStringLiteral("Team archive: 1 download sent")),
                                 30000);
        form.useTeamArchive(nullptr);
    }
    EXPECT_EQ(server.sql(QStringLiteral("SELECT count(*) FROM logdump_download")).toInt(), 4);
    {
        Archive local(path, QStringLiteral("check"));
        EXPECT_EQ(waitingForTeam(local), 0);
        EXPECT_EQ(local.list().size(), 4u);
    }

    SimRig viewer;
    activateMainWindow(viewer.app);
    DownloadsDialog dialog(viewer.app, path);
    dialog.useTeamArchive(address.stored());
    TeamDownloadsPanel* team = dialog.teamPanel();
    EXPECT_FALSE(team->busy()); // not asked before the tab is looked at
    dialog.tabs()->setCurrentWidget(team);
    EXPECT_TRUE(team->busy());
    QTRY_VERIFY_WITH_TIMEOUT(!team->busy(), 30000);
    ASSERT_EQ(team->list()->rowCount(), 4) << team->status()->text().toStdString();
    EXPECT_EQ(team->list()->item(1, 1)->text(), QStringLiteral("VX40")); // newest first
    EXPECT_EQ(team->list()->item(0, 5)->text(), teamComputerName());
    EXPECT_EQ(team->list()->item(0, 6)->text(), teamUserName());
    EXPECT_TRUE(dialog.openButton()->isEnabled());
    EXPECT_FALSE(dialog.deleteButton()->isEnabled()); // never deleted from the team archive

    QDir().mkpath(QStringLiteral("screenshots"));
    dialog.show();
    EXPECT_TRUE(dialog.grab().save(
        QDir::current().filePath(QStringLiteral("screenshots/team-downloads.png"))));

    const QString tomorrow = QDate::currentDate().addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    const QString yesterday =
        QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyy-MM-dd"));
    const struct {
        const char* name;
        QString serial, user, from, to;
        int rows;
    } filters[] = {
        {"the serial number", QStringLiteral("4711"), {}, {}, {}, 4},
        {"another serial number", QStringLiteral("0815"), {}, {}, {}, 0},
        {"the technician", {}, teamUserName(), {}, {}, 4},
        {"another technician", {}, QStringLiteral("nobody-here"), {}, {}, 0},
        {"around today", {}, {}, yesterday, tomorrow, 4},
        {"from tomorrow", {}, {}, tomorrow, {}, 0},
        {"up to yesterday", {}, {}, {}, yesterday, 0},
        {"nothing", {}, {}, {}, {}, 4},
    };
    for (const auto& f : filters) {
        SCOPED_TRACE(f.name);
        team->serialFilter()->setText(f.serial);
        team->userFilter()->setText(f.user);
        team->fromFilter()->setText(f.from);
        team->toFilter()->setText(f.to);
        team->reload();
        QTRY_VERIFY_WITH_TIMEOUT(!team->busy(), 30000);
        EXPECT_EQ(team->list()->rowCount(), f.rows) << team->status()->text().toStdString();
    }

    // Open: the download comes into the table as it was read, and a save of it is not recorded
    // under the team archive's id in this computer's archive.
    team->list()->selectRow(3);
    dialog.openSelected();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.opened().has_value(), 30000);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(tableDump(viewer.app.table()), tables[0]);
    EXPECT_EQ(viewer.app.archived(), nullptr);
}
