#include "widgets/status/StatusDumpDialog.h"

#include "app/HandlerGuard.h"
#include "text/Cp1252.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace {
// The designed outer size; the client area is what remains inside the frame.
constexpr int kOuterWidth = 473;
constexpr int kOuterHeight = 547;
// Until the frame is known: the client area inside a classic Windows frame of that size.
constexpr int kClientWidth = 465;
constexpr int kClientHeight = 513;
// How long the activation waits for the window to reach the screen before running anyway.
constexpr int kExposeRetryMs = 10;
constexpr int kExposeRetries = 50;
} // namespace

StatusDumpDialog::StatusDumpDialog(InstrumentLine& line, IDialogs& dialogs, IExchangeRunner* runner,
                                   QWidget* parent)
    : QDialog(parent), m_line(line), m_dialogs(dialogs), m_runner(runner) {
    setObjectName(QStringLiteral("statusDumpDialog"));
    setWindowTitle(QStringLiteral("VELKOR - Virelon Instrument Status Dump"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    move(192, 107);
    resize(kClientWidth, kClientHeight);

    m_report = new QPlainTextEdit(this);
    m_report->setObjectName(QStringLiteral("reportEdit"));
    m_report->setGeometry(24, 16, 305, 489);
    m_report->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_report->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    connect(m_report, &QPlainTextEdit::textChanged, this, &StatusDumpDialog::takeEditedReport);

    const auto addButton = [this](const char* caption, const char* name, int top,
                                  void (StatusDumpDialog::*handler)()) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(352, top, 97, 25);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
        return button;
    };
    m_copyButton =
        addButton("Copy to clipboard", "copyButton", 24, &StatusDumpDialog::copyToClipboard);
    // Kept for the maker's own use; nothing in the program shows it.
    m_sendMailButton =
        addButton("Send as mail", "sendMailButton", 72, &StatusDumpDialog::sendAsMail);
    m_sendMailButton->hide();

    m_core.report.onChanged = [this] { showReport(); };
}

void StatusDumpDialog::guarded(const std::function<void()>& handler) {
    runGuarded(m_dialogs, handler);
}

void StatusDumpDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Restoring a minimised window is not a new showing.
    if (event->spontaneous())
        return;
    if (const QWindow* window = windowHandle()) {
        const QMargins frame = window->frameMargins();
        if (!frame.isNull())
            resize(kOuterWidth - frame.left() - frame.right(),
                   kOuterHeight - frame.top() - frame.bottom());
    }
    // The memo holds the last report until the transfer clears it; a repaint from inside the
    // show handler would paint nothing, so the transfer starts once the window is on screen.
    const int showing = ++m_showing;
    QTimer::singleShot(0, this, [this, showing] { activateWhenPainted(showing, 0); });
}

void StatusDumpDialog::activateWhenPainted(int showing, int attempt) {
    if (showing != m_showing || !isVisible())
        return; // closed (or shown anew) before the window reached the screen
    const QWindow* window = windowHandle();
    if (window && !window->isExposed() && attempt < kExposeRetries) {
        QTimer::singleShot(kExposeRetryMs, this,
                           [this, showing, attempt] { activateWhenPainted(showing, attempt + 1); });
        return;
    }
    fetchReport();
}

void StatusDumpDialog::fetchReport() {
    m_fetching = true;
    guarded([&] { m_core.fetch(m_line, m_dialogs, *this, m_runner); });
    m_fetching = false;
}

void StatusDumpDialog::closeEvent(QCloseEvent* event) {
    if (m_fetching) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void StatusDumpDialog::reject() {
    if (!m_fetching)
        QDialog::reject();
}

void StatusDumpDialog::repaintNow() {
    repaint();
    m_report->repaint();
}

void StatusDumpDialog::focusCopyButton() {
    m_copyButton->setFocus(Qt::OtherFocusReason);
}

void StatusDumpDialog::showReport() {
    if (m_syncing)
        return;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(m_core.report.lines().size()));
    for (const std::string& line : m_core.report.lines())
        lines.append(fromCp1252(line));
    m_syncing = true;
    m_report->setPlainText(lines.join(QLatin1Char('\n')));
    m_syncing = false;
}

void StatusDumpDialog::takeEditedReport() {
    if (m_syncing)
        return;
    // The user's edits count: the mail link reads the memo as it stands.
    std::vector<std::string> lines;
    const QString text = m_report->toPlainText();
    if (!text.isEmpty()) {
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines.push_back(toCp1252(line));
    }
    m_syncing = true;
    m_core.report.setLines(std::move(lines));
    m_syncing = false;
}

void StatusDumpDialog::copyToClipboard() {
    QGuiApplication::clipboard()->setText(m_report->toPlainText(), QClipboard::Clipboard);
}

void StatusDumpDialog::sendAsMail() {
    // The system's mail program takes it up; whether it did is not reported.
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(m_core.mailLink())));
}
