#include "app/widgets/PortSelector.h"

#include "link/PortSearch.h"
#include "link/SerialLine.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kLabelRole = Qt::UserRole + 1;

// Drop-down entries show the adapter's texts; the closed box keeps to the name.
class PortLabelDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString label = index.data(kLabelRole).toString();
        if (!label.isEmpty())
            option->text = label;
    }
};

} // namespace

PortSelector::PortSelector(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new PortLabelDelegate(this));
    refresh();
}

void PortSelector::refresh() {
    const QString current = currentText();
    m_ports = SelectorPorts(m_catalogue ? m_catalogue->ports() : std::vector<PortInfo>{});
    const QSignalBlocker blocker(this);
    clear();
    for (const PortInfo& port : m_ports)
        addItem(port.name);
    for (int i = 0; i < count(); ++i)
        setItemData(i, PortLabel(m_ports[static_cast<size_t>(i)]), kLabelRole);
    if (!current.isEmpty())
        setCurrentPort(current);
}

void PortSelector::setCurrentPort(const QString& name) {
    const QSignalBlocker blocker(this);
    int index = findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        // The port the line is on stays shown, though the system no longer reports it.
        m_ports.push_back({name, QString(), QString(), QString(), QString()});
        addItem(name);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

void PortSelector::showPopup() {
    refresh();
    // The drop-down is as wide as its longest entry, however narrow the box is.
    QAbstractItemView* list = view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 24);
    QComboBox::showPopup();
    // It opens leftwards, over the window, rather than past the window's right edge.
    QWidget* popup = list->window();
    const int right = mapToGlobal(QPoint(width(), 0)).x();
    if (popup->geometry().right() >= right)
        popup->move(right - popup->width(), popup->y());
}

PortSearchDialog::PortSearchDialog(std::vector<PortInfo> ports, SearchLineFactory makeLine,
                                   IClock& clock, QWidget* parent)
    : QDialog(parent), m_ports(std::move(ports)), m_makeLine(std::move(makeLine)), m_clock(clock) {
    setObjectName(QStringLiteral("PortSearch"));
    setWindowTitle(QStringLiteral("Find instrument"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setMinimumWidth(300);
    layout->addWidget(m_label);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, std::max<int>(1, static_cast<int>(m_ports.size())));
    m_bar->setValue(0);
    layout->addWidget(m_bar);
    m_btnStop = new QPushButton(QStringLiteral("Stop"), this);
    m_btnStop->setObjectName(QStringLiteral("btnStop"));
    layout->addWidget(m_btnStop, 0, Qt::AlignRight);
    connect(m_btnStop, &QPushButton::clicked, this, &PortSearchDialog::reject);
}

PortSearchDialog::~PortSearchDialog() {
    if (m_thread) {
        m_stop = true;
        m_thread->wait();
    }
}

std::optional<QString> PortSearchDialog::run() {
    m_thread = QThread::create([this] {
        // Every failure ends in "not found"; nothing may leave this thread as an exception.
        try {
            const std::unique_ptr<ISerialLine> line = m_makeLine();
            m_found = FindInstrument(
                *line, m_clock, m_ports, [this](int index, int count, const QString& port) {
                    QMetaObject::invokeMethod(this, [=] { showProgress(index, count, port); });
                    return !m_stop.load();
                });
            line->closePort();
        } catch (...) {
            m_found.reset();
        }
    });
    m_thread->setParent(this);
    connect(m_thread, &QThread::finished, this, &QDialog::accept);
    m_thread->start();
    exec();
    m_thread->wait();
    return m_found;
}

void PortSearchDialog::reject() {
    m_stop = true;
    m_btnStop->setEnabled(false);
    if (m_thread && m_thread->isFinished())
        QDialog::reject();
}

void PortSearchDialog::showProgress(int index, int count, const QString& port) {
    m_label->setText(QStringLiteral("Trying %1 (%2 of %3)").arg(port).arg(index + 1).arg(count));
    m_bar->setValue(index);
}
