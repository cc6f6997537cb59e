#include "widgets/main/MainWindow.h"

#include "app/App.h"
#include "app/Commands.h"
#include "app/Downloads.h"
#include "app/HandlerGuard.h"
#include "app/OpenLog.h"
#include "app/TeamArchiveSetting.h"
#include "app/TeamPusher.h"
#include "archive/ArchiveWriter.h"
#include "graph/GraphBuild.h"
#include "link/InstrumentPort.h"
#include "link/PortMemory.h"
#include "link/PortSearch.h"
#include "link/ThreadHandOff.h"
#include "link/WorkerThreadRunner.h"
#include "text/Cp1252.h"
#include "widgets/main/AboutDialog.h"
#include "widgets/main/DownloadsDialog.h"
#include "widgets/main/QtDialogs.h"
#include "widgets/main/TeamArchiveDialog.h"
#include "widgets/report/ReportPrinting.h"
#include "widgets/report/SurveyDetailsDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolTip>

namespace {
// The designed client area; the window may grow but never shrink below it.
constexpr int kClientWidth = 693;
constexpr int kClientHeight = 442;
// While a run shows "Stop", the progress bar ends short of it.
constexpr int kStopLeft = 624;
} // namespace

MainWindow::MainWindow(ISerialLine& port, IClock& clock, const QStringList& arguments,
                       QWidget* parent)
    : MainWindow(port, clock, arguments, nullptr, parent) {}

MainWindow::MainWindow(ISerialLine& port, IClock& clock, const QStringList& arguments,
                       IDialogs& dialogs, QWidget* parent)
    : MainWindow(port, clock, arguments, &dialogs, parent) {}

MainWindow::MainWindow(ISerialLine& port, IClock& clock, const QStringList& arguments,
                       IDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), m_dialogs(std::make_unique<QtDialogs>(this)) {
    m_app = std::make_unique<App>(port, clock, dialogs ? *dialogs : *m_dialogs, *this);
    // The exchanges run on a worker thread: the window repaints and reacts meanwhile.
    m_runner = std::make_unique<WorkerThreadRunner>(port);
    m_runner->onRunning = [this](bool running) { setRunning(running); };
    m_app->setRunner(m_runner.get());
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    loadProgramResources();
    setWindowIcon(QIcon(QStringLiteral(":/logdump.png")));
    // The controls' places were drawn for an 8 point font; larger system fonts would clip
    // captions such as the port selector's "COM1".
    QFont designed = font();
    designed.setPointSize(8);
    setFont(designed);
    buildControls();
    buildMenu();
    // Client area 693 x 442 below the menu bar, as designed; it is also the minimum.
    centralWidget()->setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    guarded([&] { startMainWindow(*m_app, arguments); });
}

MainWindow::~MainWindow() = default;

void MainWindow::guarded(const std::function<void()>& handler) {
    runGuarded(m_app->dialogs(), handler);
    if (m_closeAfterRun && !running()) {
        // The window was closed during a run: now the close rule applies.
        m_closeAfterRun = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);

    auto* topLine = new QFrame(client);
    topLine->setObjectName(QStringLiteral("topLine"));
    topLine->setFrameShape(QFrame::HLine);
    topLine->setFrameShadow(QFrame::Sunken);
    topLine->setGeometry(0, 0, 701, 1);

    m_table = new QTableView(client);
    m_table->setObjectName(QStringLiteral("logTable"));
    m_table->setGeometry(8, 16, 433, 409);
    m_table->setModel(&m_app->table());
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(LogTable::kDefaultRowHeight);
    m_table->verticalHeader()->setMinimumSectionSize(LogTable::kDefaultRowHeight);
    m_table->horizontalHeader()->setDefaultSectionSize(LogTable::kDefaultColWidth);
    m_table->horizontalHeader()->setMinimumSectionSize(5);
    m_table->horizontalHeader()->setFixedHeight(LogTable::kDefaultRowHeight);
    m_table->horizontalHeader()->setSectionsMovable(true);
    m_table->horizontalHeader()->setHighlightSections(false);
    // The columns are sized for Tahoma; where it is missing, a narrow face keeps the date and
    // time readable in its 112 pixels.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans Condensed"),
                                                          QStringLiteral("Liberation Sans Narrow"),
                                                          QStringLiteral("Arial Narrow")});
    m_table->setFont(QFont(QStringLiteral("Tahoma"), 8));
    m_table->setStyleSheet(QStringLiteral("QTableView { gridline-color: silver; }"));
    m_table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_table->setWordWrap(false);
    // The scroll bar keeps its place even for a short log, so the client area is exactly the
    // columns' width whether or not the rows fill the table.
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The table is disabled while a log comes in; the rows must stay readable as they arrive.
    QPalette readable = m_table->palette();
    for (const auto role :
         {QPalette::Text, QPalette::ButtonText, QPalette::WindowText, QPalette::Base})
        readable.setColor(QPalette::Disabled, role, readable.color(QPalette::Active, role));
    m_table->setPalette(readable);
    m_table->horizontalHeader()->setPalette(readable);
    m_table->viewport()->installEventFilter(this);
    connect(&m_app->table(), &LogTable::columnWidthsChanged, this, &MainWindow::applyColumnWidths);
    connect(&m_app->table(), &QAbstractItemModel::modelReset, this, &MainWindow::applyColumnWidths);
    connect(&m_app->table(), &QAbstractItemModel::rowsInserted, this,
            &MainWindow::keepNewestRowsInView);
    connect(&m_app->table(), &LogTable::enabledChanged, m_table, &QWidget::setEnabled);
    connect(m_table, &QTableView::clicked, this, [this](const QModelIndex& index) {
        guarded([&] { explainStatus(*m_app, index.column(), index.row() + 1); });
    });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int col) { guarded([&] { explainStatus(*m_app, col, 0); }); });

    m_readLogButton = new QPushButton(QStringLiteral("Read log"), client);
    m_readLogButton->setObjectName(QStringLiteral("readLogButton"));
    m_readLogButton->setGeometry(456, 16, 73, 25);
    m_readLogButton->setToolTip(QStringLiteral("Click to read instrument log"));
    connect(m_readLogButton, &QPushButton::clicked, this, &MainWindow::readLog);

    m_graphButton = new QPushButton(QStringLiteral("Graph"), client);
    m_graphButton->setObjectName(QStringLiteral("graphButton"));
    m_graphButton->setGeometry(536, 16, 57, 25);
    connect(m_graphButton, &QPushButton::clicked, this,
            [this] { guarded([&] { openGraph(*m_app); }); });

    m_portSelector = new PortSelector(client);
    m_portSelector->setObjectName(QStringLiteral("portSelector"));
    m_portSelector->setGeometry(624, 16, 57, 21);
    // 57 pixels hold "COM1" and the arrow only with a slim frame and a narrow arrow field.
    m_portSelector->setStyleSheet(QStringLiteral("QComboBox { padding: 0px 0px 0px 2px; }"));
    m_portSelector->setCurrentPort(m_app->port().port());
    // Only choosing an entry changes the port: typed characters are dropped.
    m_portSelector->installEventFilter(this);
    connect(m_portSelector, qOverload<int>(&QComboBox::activated), this, [this](int) {
        guarded([&] {
            if (choosePort(*m_app, m_portSelector->currentText()))
                m_readLogButton->setFocus();
        });
    });

    m_progressLabel = new QLabel(QStringLiteral("0 / 0"), client);
    m_progressLabel->setObjectName(QStringLiteral("progressLabel"));
    m_progressLabel->setTextFormat(Qt::PlainText);
    m_progressLabel->setGeometry(456, 56, 225, 13);

    m_progressBar = new QProgressBar(client);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setGeometry(456, 72, 225, 25);
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(true);
    m_progressBar->setAlignment(Qt::AlignCenter);
    m_progressBar->setFormat(QStringLiteral("%p%"));

    m_stopButton = new QPushButton(QStringLiteral("Stop"), client);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setGeometry(kStopLeft, 72, 681 - kStopLeft, 25);
    m_stopButton->setToolTip(QStringLiteral("Stop reading the log (Esc)"));
    m_stopButton->setShortcut(QKeySequence(Qt::Key_Escape));
    m_stopButton->hide();
    connect(m_stopButton, &QPushButton::clicked, this, [this] { requestStop(*m_app); });

    m_messagesLabel = new QLabel(QStringLiteral("Message:"), client);
    m_messagesLabel->setObjectName(QStringLiteral("messagesLabel"));
    m_messagesLabel->move(456, 112);

    m_messages = new QPlainTextEdit(client);
    m_messages->setObjectName(QStringLiteral("messageList"));
    m_messages->setGeometry(458, 128, 224, 297);
    m_messages->setReadOnly(true);
    m_messages->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_messages->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_messages->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    client->installEventFilter(this);
    setTabOrder(m_table, m_readLogButton);
    setTabOrder(m_readLogButton, m_messages);
    setTabOrder(m_messages, m_portSelector);
    setTabOrder(m_portSelector, m_graphButton);
}

void MainWindow::buildMenu() {
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    m_openAction = fileMenu->addAction(QStringLiteral("&Open..."));
    m_openAction->setObjectName(QStringLiteral("openAction"));
    m_openAction->setShortcut(QKeySequence::Open);
    connect(m_openAction, &QAction::triggered, this, [this] { openSavedLog(); });
    m_downloadsAction = fileMenu->addAction(QStringLiteral("&Downloads..."));
    m_downloadsAction->setObjectName(QStringLiteral("downloadsAction"));
    m_downloadsAction->setEnabled(false); // until there is an archive
    connect(m_downloadsAction, &QAction::triggered, this, [this] { showDownloads(); });
    m_saveAsAction = addCommand(fileMenu, "Save As", "saveAsAction", [this] { saveLogAs(*m_app); });
    // The report commands work on the log in the table, so they open and close with "Save As".
    m_surveyAction =
        addCommand(fileMenu, "Survey details...", "surveyAction", [this] { editSurveyDetails(); });
    m_reportAction =
        addCommand(fileMenu, "Report...", "reportAction", [this] { saveReport(*m_app); });
    m_printAction = addCommand(fileMenu, "Print...", "printAction", [this] {
        previewAndPrintReport(reportOf(*m_app), m_app->dialogs(), this);
    });
    fileMenu->addSeparator()->setObjectName(QStringLiteral("exitSeparator"));
    m_exitAction = fileMenu->addAction(QStringLiteral("Exit"));
    m_exitAction->setObjectName(QStringLiteral("exitAction"));
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);

    QMenu* optionsMenu = menuBar()->addMenu(QStringLiteral("&Options"));
    optionsMenu->setObjectName(QStringLiteral("optionsMenu"));
    optionsMenu->setToolTipsVisible(true);
    m_statusDumpAction = addCommand(optionsMenu, "&Status dump", "statusDumpAction",
                                    [this] { requestStatusDump(*m_app); });
    m_statusDumpAction->setToolTip(
        QStringLiteral("In case of trouble you can generate an instrument repport"));
    // The graph and its section report in every mode; the "Graph" button stays with
    // production mode.
    m_graphAction = addCommand(optionsMenu, "&Graph and sections", "graphAction",
                               [this] { openGraph(*m_app); });
    m_findAction =
        addCommand(optionsMenu, "Find instrument", "findAction", [this] { findInstrument(); });
    m_makeSearchLine = [] { return std::make_unique<InstrumentPort>(); };

    m_teamArchiveAction = optionsMenu->addAction(QStringLiteral("&Team archive..."));
    m_teamArchiveAction->setObjectName(QStringLiteral("teamArchiveAction"));
    m_teamArchiveAction->setEnabled(false); // until there is a place to keep its address
    connect(m_teamArchiveAction, &QAction::triggered, this, [this] { showTeamArchiveSettings(); });

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    m_aboutAction = addCommand(helpMenu, "About", "aboutAction",
                               [this] { m_app->dialogs().showModal(ModalWindow::About); });
}

QAction* MainWindow::addCommand(QMenu* menu, const char* text, const char* name,
                                std::function<void()> handler) {
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, [this, handler] { guarded(handler); });
    return action;
}

void MainWindow::editSurveyDetails() {
    SurveyDetailsDialog dialog(m_app->session().survey, this);
    if (dialog.exec() == QDialog::Accepted)
        m_app->session().survey = dialog.details();
}

void MainWindow::usePorts(IPortCatalogue& catalogue, IPortMemory* memory,
                          SearchLineFactory makeLine) {
    m_app->setPortMemory(memory);
    m_makeSearchLine = std::move(makeLine);
    m_portSelector->setCatalogue(&catalogue);
    m_portSelector->refresh();
}

void MainWindow::findInstrument() {
    m_portSelector->refresh();
    const bool wasOpen = beginPortSearch(*m_app);
    PortSearchDialog search(m_portSelector->ports(), m_makeSearchLine, m_app->clock(), *m_runner,
                            this);
    const std::optional<QString> found = search.run();
    if (found)
        m_portSelector->setCurrentPort(*found);
    if (endPortSearch(*m_app, found, search.stopped(), wasOpen).end == ReadLogEnd::Complete)
        m_readLogButton->setFocus();
}

void MainWindow::applyColumnWidths() {
    const LogTable& table = m_app->table();
    for (int c = 0; c < table.cols(); ++c)
        m_table->setColumnWidth(c, table.colWidth(c));
    fitTableToColumns();
}

void MainWindow::fitTableToColumns() {
    const int scrollBar = m_table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                        m_table->verticalScrollBar());
    const int outer = m_app->table().widthSum() + 2 * m_table->frameWidth() + scrollBar;
    m_table->resize(outer, m_table->height());
}

void MainWindow::keepNewestRowsInView() {
    // Every row has the default height, the header row included.
    const long long rowsHeight =
        static_cast<long long>(m_app->table().rows()) * LogTable::kDefaultRowHeight;
    if (rowsHeight > m_table->viewport()->height() + m_table->horizontalHeader()->height())
        m_table->scrollToBottom();
}

void MainWindow::openSavedLog() {
    std::optional<QString> opened;
    guarded([&] { opened = openLog(*m_app); });
    if (opened)
        setWindowTitle(*opened + QStringLiteral(" - ") + QString::fromLatin1(kApplicationTitle));
}

void MainWindow::useArchive(ArchiveWriter* writer) {
    m_app->setArchive(writer);
    applyCommandStates();
}

void MainWindow::offerUnsavedDownload() {
    if (!m_app->archive() || running())
        return;
    std::optional<DownloadSummary> opened;
    guarded([&] { opened = ::offerUnsavedDownload(*m_app, m_app->archive()->path()); });
    if (opened)
        setWindowTitle(QStringLiteral("Download of ") + downloadTime(*opened) +
                       QStringLiteral(" - ") + QString::fromLatin1(kApplicationTitle));
}

void MainWindow::useTeamArchive(ITeamArchiveSetting* setting) {
    m_teamSetting = setting;
    m_teamArchiveAction->setEnabled(setting != nullptr);
    m_teamPusher.reset();
    if (!setting || !m_app->archive())
        return;
    m_teamHandOff = std::make_unique<ThreadHandOff>();
    ArchiveWriter* writer = m_app->archive();
    m_teamPusher = std::make_unique<TeamPusher>(
        [path = writer->path()](const QString& uri) { return makeTeamPushTarget(path, uri); },
        [this, handOff = m_teamHandOff.get()](const std::string& line) {
            handOff->postNow([this, line] { addMessage(line); });
        },
        [writer] { return writer->flush(std::chrono::milliseconds(0)); });
    m_teamPusher->setAddress(teamArchiveAddress(*setting));
}

void MainWindow::showTeamArchiveSettings() {
    if (!m_teamSetting)
        return;
    TeamArchiveDialog dialog(*m_teamSetting, this);
    if (dialog.exec() == QDialog::Accepted && m_teamPusher)
        m_teamPusher->setAddress(teamArchiveAddress(*m_teamSetting));
}

void MainWindow::showDownloads() {
    if (!m_app->archive() || running())
        return;
    DownloadsDialog dialog(*m_app, m_app->archive()->path(), this);
    if (m_teamSetting)
        dialog.useTeamArchive(teamArchiveAddress(*m_teamSetting));
    dialog.exec();
    if (dialog.opened())
        setWindowTitle(QStringLiteral("Download of ") + downloadTime(*dialog.opened()) +
                       QStringLiteral(" - ") + QString::fromLatin1(kApplicationTitle));
}

void MainWindow::readLog() {
    CommandResult result;
    if (m_teamPusher)
        m_teamPusher->downloadStarting();
    guarded([&] { result = ::readLog(*m_app); });
    if (m_teamPusher)
        m_teamPusher->downloadEnded(m_app->archived());
    // Unless the user kept the table, it no longer holds an opened file (also after an error).
    if (result.failed || result.end != ReadLogEnd::Declined)
        setWindowTitle(QString::fromLatin1(kApplicationTitle));
    if (result.end == ReadLogEnd::Refused)
        m_readLogButton->setFocus();
}

bool MainWindow::running() const {
    return m_runner && m_runner->running();
}

void MainWindow::setRunning(bool running) {
    m_progressBar->resize(running ? kStopLeft - 6 - m_progressBar->x() : 225,
                          m_progressBar->height());
    m_stopButton->setVisible(running);
    if (!running)
        m_app->stopRequested() = false; // a stop pressed as the run ended must not end the next
    applyCommandStates();
}

void MainWindow::applyCommandStates() {
    const bool idle = !running();
    m_readLogButton->setEnabled(m_readLogWanted && idle);
    m_graphButton->setEnabled(m_graphWanted && idle);
    // Only what the graph window can draw: rows left by lines that were no records do not count.
    m_graphAction->setEnabled(m_graphWanted && idle && hasGraphRecords(m_app->table()));
    m_saveAsAction->setEnabled(m_saveAsWanted && idle);
    m_surveyAction->setEnabled(m_saveAsWanted && idle);
    m_reportAction->setEnabled(m_saveAsWanted && idle);
    m_printAction->setEnabled(m_saveAsWanted && idle);
    m_statusDumpAction->setEnabled(idle);
    m_findAction->setEnabled(idle);
    m_openAction->setEnabled(idle);
    m_downloadsAction->setEnabled(idle && m_app->archive());
    m_portSelector->setEnabled(idle);
}

void MainWindow::activateOnce() {
    if (m_activated)
        return;
    m_activated = true;
    guarded([&] { activateMainWindow(*m_app); });
    if (m_app->port().connected())
        m_readLogButton->setFocus();
    else
        m_portSelector->setFocus();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_activated)
        QTimer::singleShot(0, this, &MainWindow::activateOnce);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        // The run stops first; its end closes the window again.
        m_closeAfterRun = true;
        requestStop(*m_app);
        event->ignore();
        return;
    }
    bool mayClose = true;
    guarded([&] { mayClose = mayCloseMainWindow(*m_app); });
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        // The table keeps its left, top and bottom distances; the message list all four.
        const QSize size = centralWidget()->size();
        const int bottomGap = kClientHeight - (16 + 409);
        m_table->resize(m_table->width(), size.height() - 16 - bottomGap);
        m_messages->resize(size.width() - 458 - (kClientWidth - (458 + 224)),
                           size.height() - 128 - (kClientHeight - (128 + 297)));
        if (auto* line = centralWidget()->findChild<QFrame*>(QStringLiteral("topLine")))
            line->resize(size.width(), 1);
    }
    if (watched == m_portSelector && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            return true;
    }
    if (m_table && watched == m_table->viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = m_table->indexAt(help->pos());
        std::optional<std::string> hint;
        if (index.isValid())
            guarded([&] { hint = cellHint(*m_app, index.column(), index.row() + 1); });
        if (hint)
            // Plain text, so a screen reader reads the hint and not its markup.
            QToolTip::showText(help->globalPos(), displayText(*hint), m_table->viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::clearMessages() {
    m_messages->clear();
}

void MainWindow::addMessage(const std::string& line) {
    m_messages->appendPlainText(displayText(line));
}

void MainWindow::setProgressText(const std::string& text) {
    m_progressLabel->setText(fromCp1252(text));
}

void MainWindow::setProgressRange(int max) {
    // A range of 0..0 would make Qt draw a busy bar; an empty log shows 0 % instead.
    m_progressBar->setRange(0, std::max(max, 1));
}

void MainWindow::setProgress(int position) {
    m_progressBar->setValue(std::min(position, m_progressBar->maximum()));
}

void MainWindow::setReadLogEnabled(bool enabled) {
    m_readLogWanted = enabled;
    applyCommandStates();
}

void MainWindow::setGraphEnabled(bool enabled) {
    m_graphWanted = enabled;
    applyCommandStates();
}

void MainWindow::setGraphVisible(bool visible) {
    m_graphButton->setVisible(visible);
}

void MainWindow::setSaveAsEnabled(bool enabled) {
    m_saveAsWanted = enabled;
    applyCommandStates();
}
