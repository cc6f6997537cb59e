#include "app/widgets/Logsave.h"

#include "app/App.h"
#include "app/HandlerGuard.h"
#include "app/Handlers.h"
#include "app/widgets/AboutUnit.h"
#include "app/widgets/QtDialogs.h"
#include "link/ComPort.h"
#include "link/PortMemory.h"
#include "link/PortSearch.h"
#include "text/Cp1252.h"

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
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

namespace {
// The designed client area; the window may grow but never shrink below it.
constexpr int kClientWidth = 693;
constexpr int kClientHeight = 442;
} // namespace

TForm1::TForm1(ISerialLine& port, IClock& clock, const QStringList& arguments, QWidget* parent)
    : TForm1(port, clock, arguments, nullptr, parent) {}

TForm1::TForm1(ISerialLine& port, IClock& clock, const QStringList& arguments, IDialogs& dialogs,
               QWidget* parent)
    : TForm1(port, clock, arguments, &dialogs, parent) {}

TForm1::TForm1(ISerialLine& port, IClock& clock, const QStringList& arguments, IDialogs* dialogs,
               QWidget* parent)
    : QMainWindow(parent), m_dialogs(std::make_unique<QtDialogs>(this)) {
    m_app = std::make_unique<App>(port, clock, dialogs ? *dialogs : *m_dialogs, *this);
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    LoadProgramResources();
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
    guarded([&] { FormCreate(*m_app, arguments); });
}

TForm1::~TForm1() = default;

void TForm1::guarded(const std::function<void()>& handler) {
    RunGuarded(m_app->dialogs, handler);
}

void TForm1::buildControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);

    auto* bevel1 = new QFrame(client);
    bevel1->setObjectName(QStringLiteral("Bevel1"));
    bevel1->setFrameShape(QFrame::HLine);
    bevel1->setFrameShadow(QFrame::Sunken);
    bevel1->setGeometry(0, 0, 701, 1);

    m_grdData = new QTableView(client);
    m_grdData->setObjectName(QStringLiteral("grdData"));
    m_grdData->setGeometry(8, 16, 433, 409);
    m_grdData->setModel(&m_app->table);
    m_grdData->verticalHeader()->hide();
    m_grdData->verticalHeader()->setDefaultSectionSize(LogTable::kDefaultRowHeight);
    m_grdData->verticalHeader()->setMinimumSectionSize(LogTable::kDefaultRowHeight);
    m_grdData->horizontalHeader()->setDefaultSectionSize(LogTable::kDefaultColWidth);
    m_grdData->horizontalHeader()->setMinimumSectionSize(5);
    m_grdData->horizontalHeader()->setFixedHeight(LogTable::kDefaultRowHeight);
    m_grdData->horizontalHeader()->setSectionsMovable(true);
    m_grdData->horizontalHeader()->setHighlightSections(false);
    // The columns are sized for Tahoma; where it is missing, a narrow face keeps the date and
    // time readable in its 112 pixels.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("DejaVu Sans Condensed"),
                                QStringLiteral("Liberation Sans Narrow"),
                                QStringLiteral("Arial Narrow")});
    m_grdData->setFont(QFont(QStringLiteral("Tahoma"), 8));
    m_grdData->setStyleSheet(QStringLiteral("QTableView { gridline-color: silver; }"));
    m_grdData->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_grdData->setWordWrap(false);
    // The scroll bar keeps its place even for a short log, so the client area is exactly the
    // columns' width whether or not the rows fill the table.
    m_grdData->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The table is disabled while a log comes in; the rows must stay readable as they arrive.
    QPalette readable = m_grdData->palette();
    for (const auto role :
         {QPalette::Text, QPalette::ButtonText, QPalette::WindowText, QPalette::Base})
        readable.setColor(QPalette::Disabled, role, readable.color(QPalette::Active, role));
    m_grdData->setPalette(readable);
    m_grdData->horizontalHeader()->setPalette(readable);
    m_grdData->viewport()->installEventFilter(this);
    connect(&m_app->table, &LogTable::columnWidthsChanged, this, &TForm1::applyColumnWidths);
    connect(&m_app->table, &QAbstractItemModel::modelReset, this, &TForm1::applyColumnWidths);
    connect(&m_app->table, &LogTable::enabledChanged, m_grdData, &QWidget::setEnabled);
    connect(m_grdData, &QTableView::clicked, this, [this](const QModelIndex& index) {
        guarded([&] { grdDataClickCell(*m_app, index.column(), index.row() + 1); });
    });
    connect(m_grdData->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int col) { guarded([&] { grdDataClickCell(*m_app, col, 0); }); });

    m_btnEmpty = new QPushButton(QStringLiteral("Read log"), client);
    m_btnEmpty->setObjectName(QStringLiteral("btnEmpty"));
    m_btnEmpty->setGeometry(456, 16, 73, 25);
    m_btnEmpty->setToolTip(QStringLiteral("Click to read instrument log"));
    connect(m_btnEmpty, &QPushButton::clicked, this,
            [this] { guarded([&] { btnEmptyClick(*m_app); }); });

    m_btnGraph = new QPushButton(QStringLiteral("Graph"), client);
    m_btnGraph->setObjectName(QStringLiteral("btnGraph"));
    m_btnGraph->setGeometry(536, 16, 57, 25);
    connect(m_btnGraph, &QPushButton::clicked, this,
            [this] { guarded([&] { btnGraphClick(*m_app); }); });

    m_comboBox1 = new PortSelector(client);
    m_comboBox1->setObjectName(QStringLiteral("ComboBox1"));
    m_comboBox1->setGeometry(624, 16, 57, 21);
    // 57 pixels hold "COM1" and the arrow only with a slim frame and a narrow arrow field.
    m_comboBox1->setStyleSheet(QStringLiteral("QComboBox { padding: 0px 0px 0px 2px; }"));
    m_comboBox1->setCurrentPort(m_app->port.port());
    // Only choosing an entry changes the port: typed characters are dropped.
    m_comboBox1->installEventFilter(this);
    connect(m_comboBox1, qOverload<int>(&QComboBox::activated), this,
            [this](int) { guarded([&] { ComboBox1Click(*m_app, m_comboBox1->currentText()); }); });

    m_lblDataRead = new QLabel(QStringLiteral("0 / 0"), client);
    m_lblDataRead->setObjectName(QStringLiteral("lblDataRead"));
    m_lblDataRead->setTextFormat(Qt::PlainText);
    m_lblDataRead->setGeometry(456, 56, 225, 13);

    m_logGauge = new QProgressBar(client);
    m_logGauge->setObjectName(QStringLiteral("LogGauge"));
    m_logGauge->setGeometry(456, 72, 225, 25);
    m_logGauge->setRange(0, 1);
    m_logGauge->setValue(0);
    m_logGauge->setTextVisible(true);
    m_logGauge->setAlignment(Qt::AlignCenter);
    m_logGauge->setFormat(QStringLiteral("%p%"));

    m_label1 = new QLabel(QStringLiteral("Message:"), client);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->move(456, 112);

    m_memErr = new QPlainTextEdit(client);
    m_memErr->setObjectName(QStringLiteral("memErr"));
    m_memErr->setGeometry(458, 128, 224, 297);
    m_memErr->setReadOnly(true);
    m_memErr->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memErr->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memErr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    client->installEventFilter(this);
    setTabOrder(m_grdData, m_btnEmpty);
    setTabOrder(m_btnEmpty, m_memErr);
    setTabOrder(m_memErr, m_comboBox1);
    setTabOrder(m_comboBox1, m_btnGraph);
}

void TForm1::buildMenu() {
    QMenu* file1 = menuBar()->addMenu(QStringLiteral("&File"));
    file1->setObjectName(QStringLiteral("File1"));
    m_btnSaveAs = file1->addAction(QStringLiteral("Save As"));
    m_btnSaveAs->setObjectName(QStringLiteral("btnSaveAs"));
    connect(m_btnSaveAs, &QAction::triggered, this,
            [this] { guarded([&] { btnSaveAsClick(*m_app); }); });
    file1->addSeparator()->setObjectName(QStringLiteral("N1"));
    m_exit1 = file1->addAction(QStringLiteral("Exit"));
    m_exit1->setObjectName(QStringLiteral("Exit1"));
    connect(m_exit1, &QAction::triggered, this, &QWidget::close);

    QMenu* options1 = menuBar()->addMenu(QStringLiteral("&Options"));
    options1->setObjectName(QStringLiteral("Options1"));
    options1->setToolTipsVisible(true);
    m_btnStDump = options1->addAction(QStringLiteral("&Status dump"));
    m_btnStDump->setObjectName(QStringLiteral("btnStDump"));
    m_btnStDump->setToolTip(
        QStringLiteral("In case of trouble you can generate an instrument repport"));
    connect(m_btnStDump, &QAction::triggered, this,
            [this] { guarded([&] { btnStDumpClick(*m_app); }); });

    m_btnFind = options1->addAction(QStringLiteral("Find instrument"));
    m_btnFind->setObjectName(QStringLiteral("btnFind"));
    m_makeSearchLine = [] { return std::make_unique<TComPort>(); };
    connect(m_btnFind, &QAction::triggered, this, [this] { guarded([&] { findInstrument(); }); });

    QMenu* about1 = menuBar()->addMenu(QStringLiteral("Help"));
    about1->setObjectName(QStringLiteral("About1"));
    m_btnAbout = about1->addAction(QStringLiteral("About"));
    m_btnAbout->setObjectName(QStringLiteral("btnAbout"));
    connect(m_btnAbout, &QAction::triggered, this,
            [this] { guarded([&] { m_app->dialogs.showModal(ModalWindow::About); }); });
}

void TForm1::usePorts(IPortCatalogue& catalogue, IPortMemory* memory, SearchLineFactory makeLine) {
    m_app->portMemory = memory;
    m_makeSearchLine = std::move(makeLine);
    m_comboBox1->setCatalogue(&catalogue);
    m_comboBox1->refresh();
}

void TForm1::findInstrument() {
    m_comboBox1->refresh();
    const bool wasOpen = BeginPortSearch(*m_app);
    PortSearchDialog search(m_comboBox1->ports(), m_makeSearchLine, m_app->clock, this);
    const std::optional<QString> found = search.run();
    if (found)
        m_comboBox1->setCurrentPort(*found);
    EndPortSearch(*m_app, found, search.stopped(), wasOpen);
}

void TForm1::applyColumnWidths() {
    const LogTable& table = m_app->table;
    for (int c = 0; c < table.cols(); ++c)
        m_grdData->setColumnWidth(c, table.colWidth(c));
}

void TForm1::activateOnce() {
    if (m_activated)
        return;
    m_activated = true;
    guarded([&] { FormActivate(*m_app); });
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_activated)
        QTimer::singleShot(0, this, &TForm1::activateOnce);
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool mayClose = true;
    guarded([&] { mayClose = FormCloseQuery(*m_app); });
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        // The table keeps its left, top and bottom distances; the memo all four.
        const QSize size = centralWidget()->size();
        const int bottomGap = kClientHeight - (16 + 409);
        m_grdData->resize(m_grdData->width(), size.height() - 16 - bottomGap);
        m_memErr->resize(size.width() - 458 - (kClientWidth - (458 + 224)),
                         size.height() - 128 - (kClientHeight - (128 + 297)));
        if (auto* bevel = centralWidget()->findChild<QFrame*>(QStringLiteral("Bevel1")))
            bevel->resize(size.width(), 1);
    }
    if (watched == m_comboBox1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            return true;
    }
    if (m_grdData && watched == m_grdData->viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = m_grdData->indexAt(help->pos());
        std::optional<std::string> hint;
        if (index.isValid())
            guarded([&] { hint = grdDataGridHint(*m_app, index.column(), index.row() + 1); });
        if (hint)
            QToolTip::showText(help->globalPos(),
                               Qt::convertFromPlainText(displayText(*hint), Qt::WhiteSpacePre),
                               m_grdData->viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::memErrClear() {
    m_memErr->clear();
}

void TForm1::memErrAddLine(const std::string& line) {
    m_memErr->appendPlainText(displayText(line));
}

void TForm1::setDataReadCaption(const std::string& caption) {
    m_lblDataRead->setText(fromCp1252(caption));
}

void TForm1::repaintDataRead() {
    m_lblDataRead->repaint();
}

void TForm1::setGaugeMax(int max) {
    // A range of 0..0 would make Qt draw a busy bar; an empty log shows 0 % instead.
    m_logGauge->setRange(0, std::max(max, 1));
}

void TForm1::setGaugePosition(int position) {
    m_logGauge->setValue(std::min(position, m_logGauge->maximum()));
    m_logGauge->repaint();
}

void TForm1::setReadLogEnabled(bool enabled) {
    m_btnEmpty->setEnabled(enabled);
}

void TForm1::focusReadLog() {
    m_btnEmpty->setFocus();
}

void TForm1::focusPortSelector() {
    m_comboBox1->setFocus();
}

void TForm1::setGraphEnabled(bool enabled) {
    m_btnGraph->setEnabled(enabled);
}

void TForm1::setGraphVisible(bool visible) {
    m_btnGraph->setVisible(visible);
}

void TForm1::setSaveAsEnabled(bool enabled) {
    m_btnSaveAs->setEnabled(enabled);
}

void TForm1::setTableClientWidth(int width) {
    m_tableClientWidth = width;
    // The client area holds the columns; frame and vertical scroll bar come on top.
    const int scrollBar = m_grdData->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                          m_grdData->verticalScrollBar());
    const int outer = width + 2 * m_grdData->frameWidth() + scrollBar;
    m_grdData->resize(outer, m_grdData->height());
}

int TForm1::tableClientHeight() const {
    return m_grdData->viewport()->height() + m_grdData->horizontalHeader()->height();
}

void TForm1::scrollTableToEnd() {
    m_grdData->scrollToBottom();
}

void TForm1::repaintNow() {
    repaint();
}
