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

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("panel"));
    panel->setGeometry(8, 8, 281, 137);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(2);

    auto* programIcon = new QLabel(panel);
    programIcon->setObjectName(QStringLiteral("programIcon"));
    programIcon->setGeometry(8, 8, 65, 57);
    programIcon->setPixmap(QPixmap(QStringLiteral(":/logdump.png")));
    programIcon->setScaledContents(true);

    auto* productName = new QLabel(QStringLiteral("Virelon Log Dump"), panel);
    productName->setObjectName(QStringLiteral("productName"));
    productName->move(88, 16);

    m_versionLabel = new QLabel(QStringLiteral("Version: --"), panel);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    m_versionLabel->setGeometry(88, 40, 180, 13);

    m_dateLabel = new QLabel(panel);
    m_dateLabel->setObjectName(QStringLiteral("dateLabel"));
    m_dateLabel->setGeometry(88, 56, 180, 13);

    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(111, 156, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutDialog::showEvent(QShowEvent* event) {
    m_versionLabel->setText(QStringLiteral("Version: 1.2"));
    m_dateLabel->setText(QStringLiteral("26. August 2005"));
    QDialog::showEvent(event);
}
