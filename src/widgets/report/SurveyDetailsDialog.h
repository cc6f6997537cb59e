#pragma once

#include "log/Session.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

// "Survey details": Project, Road, Direction, Operator and Notes of the log in the table, as
// plain text.
class SurveyDetailsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SurveyDetailsDialog(const SurveyDetails& details, QWidget* parent = nullptr);

    SurveyDetails details() const;

    QLineEdit* projectEdit() const { return m_project; }
    QLineEdit* roadEdit() const { return m_road; }
    QLineEdit* directionEdit() const { return m_direction; }
    QLineEdit* operatorEdit() const { return m_operator; }
    QPlainTextEdit* notesEdit() const { return m_notes; }

private:
    QLineEdit* m_project;
    QLineEdit* m_road;
    QLineEdit* m_direction;
    QLineEdit* m_operator;
    QPlainTextEdit* m_notes;
};
