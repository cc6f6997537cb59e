#include "widgets/main/AboutDialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

void loadProgramResources() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(loaded);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    loadProgramResources();
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(298, 190);

    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setGeometry(8, 8, 281, 137);
    panel1->setFrameShape(QFrame::Panel);
    panel1->setFrameShadow(QFrame::Raised);
    panel1->setLineWidth(2);

    auto* programIcon = new QLabel(panel1);
    programIcon->setObjectName(QStringLiteral("ProgramIcon"));
    programIcon->setGeometry(8, 8, 65, 57);
    programIcon->setPixmap(QPixmap(QStringLiteral(":/logdump.png")));
    programIcon->setScaledContents(true);

    auto* productName = new QLabel(QStringLiteral("Virelon Log Dump"), panel1);
    productName->setObjectName(QStringLiteral("ProductName"));
    productName->move(88, 16);

    m_lblVersion = new QLabel(QStringLiteral("Version: --"), panel1);
    m_lblVersion->setObjectName(QStringLiteral("lblVersion"));
    m_lblVersion->setGeometry(88, 40, 180, 13);

    m_lblVerDate = new QLabel(panel1);
    m_lblVerDate->setObjectName(QStringLiteral("lblVerDate"));
    m_lblVerDate->setGeometry(88, 56, 180, 13);

    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("OKButton"));
    okButton->setGeometry(111, 156, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutDialog::showEvent(QShowEvent* event) {
    m_lblVersion->setText(QStringLiteral("Version: 1.2"));
    m_lblVerDate->setText(QStringLiteral("26. August 2005"));
    QDialog::showEvent(event);
}
