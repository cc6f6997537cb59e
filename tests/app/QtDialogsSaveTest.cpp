#include "app/widgets/QtDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
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
