#include "Fakes.h"

namespace {
const char* windowName(ModalWindow w) {
    switch (w) {
    case ModalWindow::About:
        return "About";
    case ModalWindow::Graph:
        return "Graph";
    case ModalWindow::StatusDump:
        return "StatusDump";
    }
    return "?";
}

bool next(std::deque<bool>& answers) {
    if (answers.empty())
        return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}
} // namespace

void FakeDialogs::message(const std::string& text) {
    events.push_back("message: " + text);
    if (onMessage)
        onMessage();
}

void FakeDialogs::messageText(const QString& text) {
    message(text.toUtf8().toStdString());
}

bool FakeDialogs::confirmYesNo(const std::string& text) {
    events.push_back("yesno: " + text);
    return next(yesNoAnswers);
}

bool FakeDialogs::confirmOkCancel(const std::string& text) {
    events.push_back("okcancel: " + text);
    return next(okCancelAnswers);
}

void FakeDialogs::error(const std::string& text) {
    events.push_back("error: " + text);
}

std::optional<SaveDialogResult> FakeDialogs::saveFile(const SaveDialogSetup& setup) {
    events.push_back("save");
    lastSaveSetup = setup;
    if (onSave)
        onSave();
    return saveAnswer;
}

std::optional<QString> FakeDialogs::openFile(const QStringList&) {
    events.push_back("open");
    return openAnswer;
}

std::optional<int> FakeDialogs::chooseItem(const std::string& question,
                                           const std::vector<std::string>& items, int index) {
    events.push_back("choose: " + question);
    lastChoiceItems = items;
    if (!chooseAnswer)
        return index;
    if (*chooseAnswer < 0)
        return std::nullopt;
    return chooseAnswer;
}

void FakeDialogs::beep() {
    events.push_back("beep");
}

void FakeDialogs::setBusyCursor(bool busy) {
    busyDepth += busy ? 1 : -1;
    busyMaxDepth = std::max(busyMaxDepth, busyDepth);
}

void FakeDialogs::showModal(ModalWindow window) {
    events.push_back(std::string("modal: ") + windowName(window));
    if (onModal)
        onModal(window);
}
