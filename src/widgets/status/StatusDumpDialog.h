#pragma once

#include "service/StatusReport.h"

#include <QDialog>

class IDialogs;
class IExchangeRunner;
class InstrumentLine;
class QPlainTextEdit;
class QPushButton;

// The status dump window: fetches the instrument's report for support.
class StatusDumpDialog final : public QDialog, private IStatusDumpView {
    Q_OBJECT
public:
    // The report's exchange runs on the runner when there is one.
    StatusDumpDialog(InstrumentLine& line, IDialogs& dialogs, IExchangeRunner* runner = nullptr,
                     QWidget* parent = nullptr);

    StatusReport& core() { return m_core; }

    // "Copy to clipboard" and the hidden "Send as mail".
    void copyToClipboard();
    void sendAsMail();

protected:
    void showEvent(QShowEvent* event) override;
    // Not while the report comes in: it would be lost, and its message shown after the window.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void fetchReport();
    void activateWhenPainted(int showing, int attempt);
    void showReport();
    void takeEditedReport();
    void guarded(const std::function<void()>& handler);

    // IStatusDumpView
    void repaintNow() override;
    void focusCopyButton() override;

    InstrumentLine& m_line;
    IDialogs& m_dialogs;
    IExchangeRunner* m_runner;
    StatusReport m_core;
    QPlainTextEdit* m_report = nullptr;
    QPushButton* m_copyButton = nullptr;
    QPushButton* m_sendMailButton = nullptr;
    int m_showing = 0;       // counts the showings, so each runs its activation once
    bool m_syncing = false;  // the edit and the core's report are being matched
    bool m_fetching = false; // the report is coming in
};
