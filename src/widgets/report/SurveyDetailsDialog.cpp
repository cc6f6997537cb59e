#include "widgets/report/SurveyDetailsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

SurveyDetailsDialog::SurveyDetailsDialog(const SurveyDetails& details, QWidget* parent)
    : QDialog(parent), m_project(new QLineEdit(details.project, this)),
      m_road(new QLineEdit(details.road, this)),
      m_direction(new QLineEdit(details.direction, this)),
      m_operator(new QLineEdit(details.operatorName, this)),
      m_notes(new QPlainTextEdit(details.notes, this)) {
    setWindowTitle(QStringLiteral("Survey details"));
    m_project->setObjectName(QStringLiteral("projectEdit"));
    m_road->setObjectName(QStringLiteral("roadEdit"));
    m_direction->setObjectName(QStringLiteral("directionEdit"));
    m_operator->setObjectName(QStringLiteral("operatorEdit"));
    m_notes->setObjectName(QStringLiteral("notesEdit"));
    m_notes->setTabChangesFocus(true);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Project"), m_project);
    form->addRow(QStringLiteral("Road"), m_road);
    form->addRow(QStringLiteral("Direction"), m_direction);
    form->addRow(QStringLiteral("Operator"), m_operator);
    form->addRow(QStringLiteral("Notes"), m_notes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    resize(420, sizeHint().height());
}

SurveyDetails SurveyDetailsDialog::details() const {
    SurveyDetails d;
    d.project = m_project->text();
    d.road = m_road->text();
    d.direction = m_direction->text();
    d.operatorName = m_operator->text();
    d.notes = m_notes->toPlainText();
    return d;
}
