#pragma once

#include <QDialog>

class QLabel;

// The About box: program name, version and date, closed with OK.
class TAboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* lblVersion() const { return m_lblVersion; }
    QLabel* lblVerDate() const { return m_lblVerDate; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblVerDate = nullptr;
};
