#pragma once

#include <QDialog>

class ITeamArchiveSetting;
class QLabel;
class QLineEdit;
class QPushButton;

// "Options / Team archive...": the address of the team archive the window sends its downloads
// to, kept in the user's settings; "Test connection" tries it without holding up the window.
class TeamArchiveDialog final : public QDialog {
    Q_OBJECT
public:
    TeamArchiveDialog(ITeamArchiveSetting& setting, QWidget* parent = nullptr);

    QLineEdit* uriEdit() const { return m_uri; }
    QPushButton* testConnectionButton() const { return m_testButton; }
    QLabel* status() const { return m_status; }
    // True while a test runs.
    bool testing() const { return m_testing; }

    void testConnection();
    // OK: the address is kept unless it cannot be used as given, which the dialog then says.
    void accept() override;

private:
    void say(const QString& text, bool problem);

    ITeamArchiveSetting& m_setting;
    QLineEdit* m_uri;
    QPushButton* m_testButton;
    QLabel* m_status;
    bool m_testing = false;
    int m_tests = 0; // the answer of an earlier test that ends late is not shown
};
