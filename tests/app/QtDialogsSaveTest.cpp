#include "widgets/main/QtDialogs.h"
#include "export/SaveAs.h"
#include "log/InstrumentModel.h"
#include "log/LogTable.h"
#include "log/Session.h"
#include "text/TextMemo.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

SaveDialogSetup logSetup(const QString& folder) {
    SaveDialogSetup setup;
    setup.defaultSuffix = "Log";
    setup.filters = {"Excel files (*.xls)", "Comma seperated file (*.Log)"};
    setup.filterSuffixes = {"xls", "Log"};
    setup.folder = folder;
    return setup;
}

// Plays the user once the dialog is up: optionally picks a filter entry (0-based, as a click in
// the list would), types a name and confirms.
void answerDialog(int pickEntry, const QString& typedName) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no save dialog shown";
            return;
        }
        QDialog* const base = dialog;
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!types || !name) {
            ADD_FAILURE() << "the dialog has no filter list or name field";
            base->reject();
            return;
        }
        if (pickEntry >= 0) {
            types->setCurrentIndex(pickEntry);
            // A click in the list emits both.
            emit types->activated(pickEntry);
            emit types->textActivated(types->itemText(pickEntry));
        }
        name->setText(typedName);
        // The question about replacing an existing file, when the dialog asks it: Yes.
        QTimer::singleShot(0, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                    yes->click();
        });
        base->accept();
    });
}

} // namespace

TEST(QtDialogsSave, SuffixFollowsTheFilterEntryAndTheEntryIsKept) {
    QTemporaryDir dir;
    QtDialogs dialogs(nullptr);
    struct Step {
        const char* name;
        int preselect; // SaveDialogSetup::selectedFilter
        int pick;      // entry the user picks, -1 none
        QString expectedFile;
        int expectedEntry;
    } const steps[] = {
        {"first save: entry 1, workbook suffix", 0, -1, "RVM4711.xls", 1},
        {"the user switches to the text log", 0, 1, "RVM4711.Log", 2},
        {"the next save keeps the text log entry", 0, -1, "RVM4711.Log", 2},
        {"switching back to the workbook", 0, 0, "RVM4711.xls", 1},
        {"production preselects the text log", 2, -1, "RVM4711.Log", 2},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        SaveDialogSetup setup = logSetup(dir.path());
        setup.selectedFilter = s.preselect;
        answerDialog(s.pick, "RVM4711");
        const std::optional<SaveDialogResult> result = dialogs.saveFile(setup);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->fileName, dir.filePath(s.expectedFile));
        EXPECT_EQ(result->filterIndex, s.expectedEntry);
    }
}

TEST(QtDialogsSave, ATypedEndingDecidesTheFormatWhateverEntryIsSelected) {
    const std::string earlier = "*Log dump from: RVM600 - s/n: 1\r\n#\t\r\n*** End ***\r\n\r\n";
    struct Case {
        const char* name;
        bool production; // preselects the text log entry and asks nothing
        int pick;        // entry the user picks, -1 none
        QString typed;
        QString file;
        bool workbook; // else a text block after the earlier content
    } const cases[] = {
        {"an existing text log typed under the workbook entry", false, 0, "weekly.Log",
         "weekly.Log", false},
        {"in capitals under the xlsx entry", false, 2, "WEEKLY.LOG", "WEEKLY.LOG", false},
        {"a workbook typed in production mode", true, -1, "RVM4711.xls", "RVM4711.xls", true},
        {"an xlsx typed under the text log entry", false, 1, "book.xlsx", "book.xlsx", true},
        {"a bare name takes the entry's ending", false, 1, "bare", "bare.Log", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(c.file);
        {
            QFile existing(path);
            ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
            existing.write(earlier.data(), static_cast<qint64>(earlier.size()));
        }
        LogTable table;
        table.setCols(2);
        table.setRows(2);
        table.setCell(0, 0, "#");
        table.setCell(1, 0, "Rl");
        table.setCell(0, 1, "1");
        table.setCell(1, 1, "250");
        Session session;
        session.model = &modelNamed("RVM600");
        session.serialLine = "s/n: 4711";
        session.serialNo = "4711";
        session.productionMode = c.production;
        session.graphViewed = true;
        session.saveFolder = dir.path() + "/";
        TextMemo statistics;
        QtDialogs dialogs(nullptr);
        answerDialog(c.pick, c.typed);
        saveAs({table, session, statistics, nullptr}, dialogs, systemFileLayer(), dir.path());
        QFile saved(path);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        const std::string bytes = saved.readAll().toStdString();
        if (c.workbook)
            EXPECT_EQ(bytes.substr(0, 2), "PK");
        else
            EXPECT_EQ(bytes, earlier +
                                 "*Log dump from: RVM600 - s/n: 4711\r\n#\tRl\t\r\n1\t250\t\r\n"
                                 "*** End ***\r\n\r\n");
        EXPECT_TRUE(session.dataSaved);
    }
}
