#include "widgets/main/QtDialogs.h"

#include "text/Cp1252.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QListView>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>

QtDialogs::QtDialogs(QWidget* owner) : m_owner(owner) {}

QtDialogs::~QtDialogs() = default;

namespace {

// Room in a title bar besides the title: the window's icon and its buttons.
constexpr int kTitleBarExtras = 160; // px

// A message box is laid out for its text alone; a short text would cut the title.
void fitTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    const int width = title.horizontalAdvance(box.windowTitle()) + kTitleBarExtras;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox::StandardButton ask(QWidget* owner, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton escape) {
    QMessageBox box(icon, QString::fromLatin1(kApplicationTitle), text, buttons, owner);
    // Texts may hold instrument bytes or file names: never taken as markup or links.
    box.setTextFormat(Qt::PlainText);
    box.setEscapeButton(escape);
    fitTitle(box);
    const int result = box.exec();
    return static_cast<QMessageBox::StandardButton>(result);
}

} // namespace

void QtDialogs::message(const std::string& text) {
    ask(m_owner, QMessageBox::NoIcon, displayText(text), QMessageBox::Ok, QMessageBox::Ok);
}

void QtDialogs::messageText(const QString& text) {
    ask(m_owner, QMessageBox::NoIcon, displayLines(text), QMessageBox::Ok, QMessageBox::Ok);
}

bool QtDialogs::confirmYesNo(const std::string& text) {
    return ask(m_owner, QMessageBox::Question, displayText(text),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool QtDialogs::confirmOkCancel(const std::string& text) {
    return ask(m_owner, QMessageBox::Question, displayText(text),
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
}

void QtDialogs::error(const std::string& text) {
    ask(m_owner, QMessageBox::Critical, displayText(text), QMessageBox::Ok, QMessageBox::Ok);
}

std::optional<SaveDialogResult> QtDialogs::saveFile(const SaveDialogSetup& setup) {
    QFileDialog dialog(m_owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !setup.confirmOverwrite);
    dialog.setNameFilters(setup.filters);
    if (!setup.folder.isEmpty())
        dialog.setDirectory(setup.folder);
    if (setup.selectedFilter >= 1 && setup.selectedFilter <= setup.filters.size())
        dialog.selectNameFilter(setup.filters.at(setup.selectedFilter - 1));
    else if (!m_lastFilter.isEmpty())
        dialog.selectNameFilter(m_lastFilter);
    // The suffix added to a bare name follows the filter entry, also when the user switches.
    const auto suffixFor = [&setup](const QString& filter) {
        const qsizetype i = setup.filters.indexOf(filter);
        return i >= 0 && i < setup.filterSuffixes.size() ? setup.filterSuffixes.at(i)
                                                         : setup.defaultSuffix;
    };
    dialog.setDefaultSuffix(suffixFor(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, suffixFor](const QString& filter) {
                         dialog.setDefaultSuffix(suffixFor(filter));
                     });
    dialog.selectFile(setup.proposedName);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        // A typed folder that does not exist is refused here, not by the save after it.
        const QString folder = QFileInfo(dialog.selectedFiles().first()).absolutePath();
        if (QFileInfo(folder).isDir())
            break;
        QMessageBox missing(
            QMessageBox::Warning, dialog.windowTitle(),
            QDir::toNativeSeparators(folder) +
                QStringLiteral("\nPath does not exist.\nCheck the path and try again."),
            QMessageBox::Ok, &dialog);
        missing.setTextFormat(Qt::PlainText);
        missing.exec();
    }
    m_lastFilter = dialog.selectedNameFilter();
    SaveDialogResult result;
    result.fileName = dialog.selectedFiles().first();
    result.filterIndex = static_cast<int>(setup.filters.indexOf(m_lastFilter)) + 1;
    if (result.filterIndex < 1)
        result.filterIndex = 1;
    return result;
}

std::optional<QString> QtDialogs::openFile(const QStringList& filters) {
    QFileDialog dialog(m_owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (!m_openFolder.isEmpty())
        dialog.setDirectory(m_openFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString file = dialog.selectedFiles().first();
    m_openFolder = QFileInfo(file).absolutePath();
    return file;
}

std::optional<int> QtDialogs::chooseItem(const std::string& question,
                                         const std::vector<std::string>& items, int index) {
    QStringList entries;
    for (const std::string& item : items)
        entries << displayText(item);
    QInputDialog dialog(m_owner);
    dialog.setWindowTitle(QString::fromLatin1(kApplicationTitle));
    dialog.setLabelText(displayText(question));
    dialog.setComboBoxItems(entries);
    dialog.setComboBoxEditable(false);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    if (index >= 0 && index < entries.size())
        dialog.setTextValue(entries.at(index));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QString chosen = dialog.textValue();
    // Entries may repeat; the selected row of the list tells which one was meant.
    if (const auto* list = dialog.findChild<QListView*>())
        if (list->currentIndex().isValid())
            return list->currentIndex().row();
    const qsizetype at = entries.indexOf(chosen);
    return at >= 0 ? std::optional<int>(static_cast<int>(at)) : std::nullopt;
}

void QtDialogs::beep() {
    QApplication::beep();
}

void QtDialogs::setBusyCursor(bool busy) {
    if (busy)
        // The pointer stays: "Stop" can be clicked while the log comes in.
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtDialogs::showModal(ModalWindow window) {
    const auto found = m_windows.find(window);
    if (found != m_windows.end() && found->second)
        found->second->exec();
}
