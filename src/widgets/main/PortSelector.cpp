#include "widgets/main/PortSelector.h"

#include <QAbstractItemView>
#include <QStyledItemDelegate>

namespace {

// Drop-down entries show the adapter's texts; the closed box keeps to the name.
class PortLabelDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString label = index.data(PortSelector::kLabelRole).toString();
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
    m_ports = selectorPorts(m_catalogue ? m_catalogue->ports() : std::vector<PortInfo>{});
    const QSignalBlocker blocker(this);
    clear();
    for (const PortInfo& port : m_ports)
        addItem(port.name);
    for (int i = 0; i < count(); ++i)
        setItemData(i, portLabel(m_ports[static_cast<size_t>(i)]), kLabelRole);
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
