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
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("VELKOR - Virelon Instrument Status Dump"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    move(192, 107);
    resize(kClientWidth, kClientHeight);

    m_memStat = new QPlainTextEdit(this);
    m_memStat->setObjectName(QStringLiteral("memStat"));
    m_memStat->setGeometry(24, 16, 305, 489);
    m_memStat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memStat->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memStat->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    connect(m_memStat, &QPlainTextEdit::textChanged, this, &StatusDumpDialog::takeEditedMemo);

    m_btnCopyToClip = new QPushButton(QStringLiteral("Copy to clipboard"), this);
    m_btnCopyToClip->setObjectName(QStringLiteral("btnCopyToClip"));
    m_btnCopyToClip->setGeometry(352, 24, 97, 25);
    m_btnCopyToClip->setAutoDefault(false);
    connect(m_btnCopyToClip, &QPushButton::clicked, this,
            [this] { guarded([&] { copyToClipboard(); }); });

    // Kept for the maker's own use; nothing in the program shows it.
    m_button1 = new QPushButton(QStringLiteral("Send as mail"), this);
    m_button1->setObjectName(QStringLiteral("Button1"));
    m_button1->setGeometry(352, 72, 97, 25);
    m_button1->setAutoDefault(false);
    m_button1->hide();
    connect(m_button1, &QPushButton::clicked, this, [this] { guarded([&] { sendAsMail(); }); });

    m_core.report.onChanged = [this] { showMemo(); };
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
    m_memStat->repaint();
}

void StatusDumpDialog::focusCopyToClip() {
    m_btnCopyToClip->setFocus(Qt::OtherFocusReason);
}

void StatusDumpDialog::showMemo() {
    if (m_syncing)
        return;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(m_core.report.lines().size()));
    for (const std::string& line : m_core.report.lines())
        lines.append(fromCp1252(line));
    m_syncing = true;
    m_memStat->setPlainText(lines.join(QLatin1Char('\n')));
    m_syncing = false;
}

void StatusDumpDialog::takeEditedMemo() {
    if (m_syncing)
        return;
    // The user's edits count: the mail link reads the memo as it stands.
    std::vector<std::string> lines;
    const QString text = m_memStat->toPlainText();
    if (!text.isEmpty()) {
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines.push_back(toCp1252(line));
    }
    m_syncing = true;
    m_core.report.setLines(std::move(lines));
    m_syncing = false;
}

void StatusDumpDialog::copyToClipboard() {
    QGuiApplication::clipboard()->setText(m_memStat->toPlainText(), QClipboard::Clipboard);
}

void StatusDumpDialog::sendAsMail() {
    // The system's mail program takes it up; whether it did is not reported.
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(m_core.mailLink())));
}
