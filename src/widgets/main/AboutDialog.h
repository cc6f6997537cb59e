#pragma once

#include <QDialog>

class QLabel;

// Registers the program's pictures (window icon, About picture): they sit in a static library,
// whose resources are not registered on their own.
void loadProgramResources();

// The About box: program name, version and date, closed with OK.
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_versionLabel = nullptr;
    QLabel* m_dateLabel = nullptr;
};
