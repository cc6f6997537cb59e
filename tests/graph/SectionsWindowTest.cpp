#include "SimRig.h"
#include "graph/SectionsModel.h"
#include "graph/widgets/GraphDialog.h"
#include "graph/widgets/SectionsPanel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <gtest/gtest.h>

namespace {

// Every test starts with empty user settings in a folder of its own.
class SectionsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_settings.isValid());
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, m_settings.path());
    }

    QTemporaryDir m_settings;
};

// An RVM600PK log of two runs; the second ends in three low-battery records.
void loadPk(App& app) {
    app.session.model = &modelNamed("RVM600PK");
    app.session.serialLine = "s/n: 4711";
    LogTable& t = app.table;
    t.setCols(8);
    const int records = 40;
    t.setRows(records + 1);
    const char* headers[] = {"#", "Date / Time", "Rl", "Qd", "RStat", "QStat", "Seq-Id", "Seq#"};
    for (int c = 0; c < 8; ++c)
        t.setCell(c, 0, headers[c]);
    for (int row = 1; row <= records; ++row) {
        const bool second = row > 20;
        const bool lowBat = row > records - 3; // 38 to 40: the stop at 40
        t.setCell(0, row, std::to_string(row));
        t.setCell(1, row, "12.05.26 10:" + std::to_string(10 + row) + ":00");
        // Run 1 well above R2 and around Q2; run 2 just under R3 and above Q3.
        t.setCell(2, row, std::to_string(second ? 130 + (row * 7) % 25 : 240 + (row * 13) % 60));
        t.setCell(3, row, std::to_string(second ? 135 + (row * 5) % 20 : 92 + (row * 3) % 16));
        t.setCell(4, row, lowBat ? "16" : row == 7 ? "1" : "0");
        t.setCell(5, row, lowBat ? "16" : "0");
        t.setCell(6, row, second ? "N7-east" : "N7-west");
        t.setCell(7, row, std::to_string(second ? row - 20 : row));
    }
}

struct Window {
    explicit Window(App& app) : form(app.table, app.session, app.statistics, app.dialogs) {
        form.setLocale(QLocale::c());
    }
    void build() {
        form.show();
        QApplication::processEvents();
        form.btnGraph()->click();
        QApplication::processEvents();
    }
    std::vector<std::string> row(int r) const {
        std::vector<std::string> texts;
        const SectionsModel* m = form.sections()->model();
        for (int c = 0; c < m->columnCount(); ++c)
            texts.push_back(m->index(r, c).data().toString().toStdString());
        return texts;
    }
    GraphDialog form;
};

} // namespace

TEST_F(SectionsWindow, TableFollowsTheBuildAndTheRequiredClass) {
    SimRig rig;
    loadPk(rig.app);
    Window w(rig.app);
    QAbstractItemModelTester tester(w.form.sections()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(w.form.sections()->model()->rowCount(), 0);
    w.build();

    // Row 7 has an Rl error; the third low-battery record (40) stops both series.
    ASSERT_EQ(w.form.sections()->model()->rowCount(), 6);
    EXPECT_EQ(w.row(0), (std::vector<std::string>{"Rl", "N7-west", "19", "1", "268.4", "17.8",
                                                  "242", "297", "0", "0.0", "R4", "R2", "pass"}));
    EXPECT_EQ(w.row(2)[1], "ALL");
    EXPECT_EQ(w.row(2)[2], "38");
    EXPECT_EQ(w.row(2)[3], "2");
    EXPECT_EQ(w.row(3)[0], "Qd");
    EXPECT_EQ(w.row(3)[12], "fail"); // run 1 just under Q2 on average
    EXPECT_EQ(w.row(4)[12], "pass");

    // A stricter class: the rows and the line follow, the axes do not.
    QLineSeries* rlLine = w.form.levelLine(Quantity::Rl);
    ASSERT_TRUE(rlLine->isVisible());
    EXPECT_EQ(rlLine->points(), (QList<QPointF>{{1, 100}, {39, 100}}));
    const auto leftRange = std::pair(w.form.leftAxis()->min(), w.form.leftAxis()->max());
    w.form.sections()->requiredBox(Quantity::Rl)->setCurrentIndex(3); // R3
    QApplication::processEvents();
    EXPECT_EQ(w.row(1)[11], "R3");
    EXPECT_EQ(w.row(1)[12], "fail");
    EXPECT_EQ(rlLine->points(), (QList<QPointF>{{1, 150}, {39, 150}}));
    EXPECT_EQ(std::pair(w.form.leftAxis()->min(), w.form.leftAxis()->max()), leftRange);

    // The legend names the measured series only.
    int markers = 0;
    for (QLegendMarker* marker : w.form.chart()->legend()->markers())
        markers += marker->isVisible() ? 1 : 0;
    EXPECT_EQ(markers, 2);

    // No line for a hidden series or for a class without requirement.
    w.form.cbShowRl()->setChecked(false);
    QApplication::processEvents();
    EXPECT_FALSE(rlLine->isVisible());
    EXPECT_TRUE(w.form.levelLine(Quantity::Qd)->isVisible());
    w.form.sections()->requiredBox(Quantity::Qd)->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_FALSE(w.form.levelLine(Quantity::Qd)->isVisible());

    // Without the low-battery stop every record of run 2 counts.
    w.form.cbValarm()->setChecked(false);
    QApplication::processEvents();
    EXPECT_EQ(w.row(2)[2], "39");
    EXPECT_EQ(w.row(2)[3], "1");
}

TEST_F(SectionsWindow, RequiredClassIsRememberedPerUser) {
    SimRig rig;
    {
        Window w(rig.app);
        EXPECT_EQ(w.form.sections()->required(), (RequiredClasses{2, 2}));
        w.form.sections()->requiredBox(Quantity::Rl)->setCurrentIndex(4);
        w.form.sections()->requiredBox(Quantity::Qd)->setCurrentIndex(3);
    }
    Window again(rig.app);
    EXPECT_EQ(again.form.sections()->required(), (RequiredClasses{4, 3}));
    EXPECT_EQ(again.form.sections()->requiredBox(Quantity::Qd)->currentText(), "Q3");
}

TEST_F(SectionsWindow, ScreenshotOfACombinedLog) {
    SimRig rig;
    loadPk(rig.app);
    Window w(rig.app);
    w.form.sections()->requiredBox(Quantity::Rl)->setCurrentIndex(3);
    w.build();
    ASSERT_EQ(w.form.sections()->model()->rowCount(), 6);
    // Written for the README; see docs/graph-sections.png.
    QDir().mkpath(QStringLiteral("screenshots"));
    const QString path = QDir::current().filePath(QStringLiteral("screenshots/graph-sections.png"));
    ASSERT_TRUE(w.form.grab().save(path)) << path.toStdString();
}
