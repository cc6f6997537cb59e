#pragma once

#include "app/MainView.h"
#include "text/Dialogs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Records every box, dialog and cursor change in order and answers from scripts.
class FakeDialogs final : public IDialogs {
public:
    void message(const std::string& text) override;
    // Recorded as a message, in UTF-8.
    void messageText(const QString& text) override;
    bool confirmYesNo(const std::string& text) override;
    bool confirmOkCancel(const std::string& text) override;
    void error(const std::string& text) override;
    std::optional<SaveDialogResult> saveFile(const SaveDialogSetup& setup) override;
    std::optional<QString> openFile(const QStringList& filters) override;
    std::optional<int> chooseItem(const std::string& question,
                                  const std::vector<std::string>& items, int index) override;
    void beep() override;
    void setBusyCursor(bool busy) override;
    void showModal(ModalWindow window) override;

    // "message: ...", "yesno: ...", "okcancel: ...", "error: ...", "save", "beep", "modal: Graph".
    std::vector<std::string> events;
    // Answers, used front first; when empty, Yes / OK.
    std::deque<bool> yesNoAnswers;
    std::deque<bool> okCancelAnswers;
    // The save dialog's answer; nullopt cancels.
    std::optional<SaveDialogResult> saveAnswer;
    SaveDialogSetup lastSaveSetup;
    // The open dialog's answer; nullopt cancels. The choice's answer: nullopt takes the
    // preselected entry; -1 cancels.
    std::optional<QString> openAnswer;
    std::optional<int> chooseAnswer;
    std::vector<std::string> lastChoiceItems;
    // Runs when the save dialog closes, before its answer is used.
    std::function<void()> onSave;
    // Runs while a modal window "is shown".
    std::function<void(ModalWindow)> onModal;
    // Runs while a plain message box is shown.
    std::function<void()> onMessage;
    int busyDepth = 0;
    int busyMaxDepth = 0;
};

// The main window's view as plain fields.
class FakeView final : public IMainView {
public:
    void clearMessages() override { messages.clear(); }
    void addMessage(const std::string& line) override { messages.push_back(line); }
    void setProgressText(const std::string& text) override { progressText = text; }
    void setProgressRange(int max) override { progressMax = max; }
    void setProgress(int position) override { progress = position; }
    void setReadLogEnabled(bool enabled) override { readLogEnabled = enabled; }
    void setGraphEnabled(bool enabled) override { graphEnabled = enabled; }
    void setGraphVisible(bool visible) override { graphVisible = visible; }
    void setSaveAsEnabled(bool enabled) override { saveAsEnabled = enabled; }

    std::vector<std::string> messages;
    std::string progressText = "0 / 0";
    int progressMax = 0;
    int progress = 0;
    bool readLogEnabled = true;
    bool graphEnabled = false;
    bool graphVisible = true;
    bool saveAsEnabled = true;
};
