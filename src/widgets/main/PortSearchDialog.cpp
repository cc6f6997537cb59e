#include "widgets/main/PortSearchDialog.h"

#include "link/ExchangeRunner.h"
#include "link/PortSearch.h"
#include "link/SerialLine.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

PortSearchDialog::PortSearchDialog(std::vector<PortInfo> ports, SearchLineFactory makeLine,
                                   IClock& clock, IExchangeRunner& runner, QWidget* parent)
    : QDialog(parent), m_ports(std::move(ports)), m_makeLine(std::move(makeLine)), m_clock(clock),
      m_runner(runner) {
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

std::optional<QString> PortSearchDialog::run() {
    std::optional<QString> found;
    m_searching = true;
    show();
    m_runner.run(this, [&](ReadLogListener* listener) {
        // Every failure ends in "not found"; the line is made and used on the search's thread.
        try {
            const std::unique_ptr<ISerialLine> line = m_makeLine();
            found = findAnsweringPort(*line, m_clock, m_ports,
                                      [&](int index, int count, const QString& port) {
                                          listener->portTried(index, count, port);
                                          return !m_stop.load();
                                      });
            line->closePort();
        } catch (...) {
            found.reset();
        }
    });
    m_searching = false;
    accept();
    return found;
}

void PortSearchDialog::reject() {
    m_stop = true;
    m_stopButton->setEnabled(false);
    if (!m_searching)
        QDialog::reject();
}

void PortSearchDialog::portTried(int index, int count, const QString& port) {
    m_label->setText(QStringLiteral("Trying %1 (%2 of %3)").arg(port).arg(index + 1).arg(count));
    m_bar->setValue(index);
}
