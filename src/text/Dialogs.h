#pragma once

#include "text/Cp1252.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

// What the save dialog is set up with.
struct SaveDialogSetup {
    QString defaultSuffix;
    QStringList filters; // Qt filter entries, in order
    // The default suffix of each filter entry, in the same order; the dialog switches to it
    // when that entry is chosen. Empty: defaultSuffix for every entry.
    QStringList filterSuffixes;
    int selectedFilter = 0; // 1-based entry to preselect; 0 keeps the dialog's last choice
    QString proposedName;   // file name without folder
    QString folder;         // start folder; empty for the dialog's own default
    bool confirmOverwrite = true;
};

// What the user chose in the save dialog.
struct SaveDialogResult {
    QString fileName;    // full path
    int filterIndex = 1; // 1-based
};

// The program's windows that are shown modally over the main window.
enum class ModalWindow { About, Graph, StatusDump };

// The boxes, dialogs and cursor the procedures talk to the user through. Texts are the
// system's own bytes; the implementation shows their line breaks as breaks.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    // Plain message box with OK.
    virtual void message(const std::string& text) = 0;
    // The same for a text of the system's own (a port's name), which may hold letters
    // Windows-1252 lacks: shown as the system names them.
    virtual void messageText(const QString& text) { message(toCp1252(text)); }
    // Question box with Yes and No; true only for Yes (Escape or closing counts as No).
    virtual bool confirmYesNo(const std::string& text) = 0;
    // Question box with OK and Cancel; true only for OK.
    virtual bool confirmOkCancel(const std::string& text) = 0;
    // The general error box: the application's title, error icon, OK; text shown as given.
    virtual void error(const std::string& text) = 0;
    virtual std::optional<SaveDialogResult> saveFile(const SaveDialogSetup& setup) = 0;
    // The open dialog with these filter entries; the chosen file, or nothing when cancelled.
    virtual std::optional<QString> openFile(const QStringList& filters) = 0;
    // A list to choose one entry from, preselected at index; the chosen index, or nothing when
    // cancelled. Texts are bytes.
    virtual std::optional<int> chooseItem(const std::string& question,
                                          const std::vector<std::string>& items, int index) = 0;
    virtual void beep() = 0;
    // Busy (hourglass) cursor on or off; calls nest.
    virtual void setBusyCursor(bool busy) = 0;
    // Shows one of the program's windows modally and returns when it is closed.
    virtual void showModal(ModalWindow window) = 0;
};

// Shows the hourglass for its lifetime, however the scope ends.
class BusyCursor {
public:
    explicit BusyCursor(IDialogs& dialogs) : m_dialogs(dialogs) { m_dialogs.setBusyCursor(true); }
    ~BusyCursor() { m_dialogs.setBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    IDialogs& m_dialogs;
};
