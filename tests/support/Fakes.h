#pragma once

#include "app/MainControls.h"
#include "text/Dialogs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Records every box, dialog and cursor change in order and answers from scripts.
class FakeDialogs final : public IDialogs {
public:
    void message(const std::string& text) override;
    bool confirmYesNo(const std::string& text) override;
    bool confirmOkCancel(const std::string& text) override;
    void error(const std::string& text) override;
    std::optional<SaveDialogResult> saveFile(const SaveDialogSetup& setup) override;
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
    // Runs when the save dialog closes, before its answer is used.
    std::function<void()> onSave;
    // Runs while a modal window "is shown".
    std::function<void(ModalWindow)> onModal;
    // Runs while a plain message box is shown.
    std::function<void()> onMessage;
    int busyDepth = 0;
    int busyMaxDepth = 0;
};

// The main window's controls as plain fields.
class FakeControls final : public IMainControls {
public:
    void memErrClear() override { memErr.clear(); }
    void memErrAddLine(const std::string& line) override { memErr.push_back(line); }
    void setDataReadCaption(const std::string& caption) override { dataRead = caption; }
    void repaintDataRead() override { dataReadRepaints.push_back(dataRead); }
    void setGaugeMax(int max) override { gaugeMax = max; }
    void setGaugePosition(int position) override { gaugePosition = position; }
    void setReadLogEnabled(bool enabled) override { readLogEnabled = enabled; }
    void focusReadLog() override { focus = "ReadLog"; }
    void focusPortSelector() override { focus = "PortSelector"; }
    void setGraphEnabled(bool enabled) override { graphEnabled = enabled; }
    void setGraphVisible(bool visible) override { graphVisible = visible; }
    void setSaveAsEnabled(bool enabled) override { saveAsEnabled = enabled; }
    void setTableClientWidth(int width) override { tableClientWidth = width; }
    int tableClientHeight() const override { return clientHeight; }
    void scrollTableToEnd() override { ++scrolledToEnd; }
    void repaintNow() override { ++repaints; }

    std::vector<std::string> memErr;
    std::string dataRead = "0 / 0";
    std::vector<std::string> dataReadRepaints;
    int gaugeMax = 0;
    int gaugePosition = 0;
    bool readLogEnabled = true;
    std::string focus;
    bool graphEnabled = false;
    bool graphVisible = true;
    bool saveAsEnabled = true;
    int tableClientWidth = 0;
    int clientHeight = 388;
    int scrolledToEnd = 0;
    int repaints = 0;
};
