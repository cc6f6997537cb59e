#include "widgets/main/PortSearchDialog.h"

#include "link/PortSearch.h"
#include "link/SerialLine.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

PortSearchDialog::PortSearchDialog(std::vector<PortInfo> ports, SearchLineFactory makeLine,
                                   IClock& clock, QWidget* parent)
    : QDialog(parent), m_ports(std::move(ports)), m_makeLine(std::move(makeLine)), m_clock(clock) {
    setObjectName(QStringLiteral("portSearchDialog"));
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
    m_stopButton = new QPushButton(QStringLiteral("Stop"), this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    layout->addWidget(m_stopButton, 0, Qt::AlignRight);
    connect(m_stopButton, &QPushButton::clicked, this, &PortSearchDialog::reject);
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
            m_found = findAnsweringPort(
                *line, m_clock, m_ports, [this](int index, int count, const QString& port) {
                    m_handOff.post([=] { showProgress(index, count, port); });
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
    m_stopButton->setEnabled(false);
    if (m_thread && m_thread->isFinished())
        QDialog::reject();
}

void PortSearchDialog::showProgress(int index, int count, const QString& port) {
    m_label->setText(QStringLiteral("Trying %1 (%2 of %3)").arg(port).arg(index + 1).arg(count));
    m_bar->setValue(index);
}
