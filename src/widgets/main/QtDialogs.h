#pragma once

#include "text/Dialogs.h"

#include <QDialog>
#include <QPointer>
#include <map>

class QWidget;

// The boxes and dialogs of the program, shown with Qt widgets over the main window.
class QtDialogs final : public IDialogs {
public:
    explicit QtDialogs(QWidget* owner);
    ~QtDialogs() override;

    void message(const std::string& text) override;
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

    void setWindow(ModalWindow which, QDialog* dialog) { m_windows[which] = dialog; }

private:
    QWidget* m_owner;
    std::map<ModalWindow, QPointer<QDialog>> m_windows;
    // Kept between saves so the dialog keeps its last filter entry.
    QString m_lastFilter;
    QString m_openFolder; // where the last Open found its file
};

// The title of the program's boxes.
inline constexpr const char* kApplicationTitle = "VELKOR - Virelon Log Dump";
