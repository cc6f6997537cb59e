#include "widgets/main/TeamArchiveDialog.h"

#include "app/TeamArchiveSetting.h"
#include "archive/ArchiveError.h"
#include "archive/TeamArchive.h"
#include "text/Cp1252.h"
#include "widgets/main/BackgroundCall.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <atomic>
#include <optional>

namespace {

// The outcome of a test: nothing when the team archive answered, else what went wrong.
std::optional<QString> tryTeamArchive(const QString& uri) {
    static std::atomic<int> tests{0};
    try {
        const TeamArchive team(uri, QStringLiteral("logdump-team-test-%1").arg(++tests));
        return std::nullopt;
    } catch (const std::exception& e) {
        return fromCp1252(e.what());
    }
}

} // namespace

TeamArchiveDialog::TeamArchiveDialog(ITeamArchiveSetting& setting, QWidget* parent)
    : QDialog(parent), m_setting(setting), m_uri(new QLineEdit(this)),
      m_testButton(new QPushButton(QStringLiteral("&Test connection"), this)),
      m_status(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Team archive"));
    setObjectName(QStringLiteral("teamArchiveDialog"));
    m_uri->setObjectName(QStringLiteral("teamArchiveUri"));
    m_uri->setPlaceholderText(QStringLiteral("postgresql://user@host:5432/dbname?sslmode=require"));
    m_uri->setMinimumWidth(420);
    m_uri->setClearButtonEnabled(true);
    m_uri->setText(setting.stored());
    m_testButton->setObjectName(QStringLiteral("testConnectionButton"));
    m_status->setObjectName(QStringLiteral("teamArchiveStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* intro = new QLabel(
        QStringLiteral("Every download this computer reads is sent to the team archive, at once "
                       "when it can be reached, else later. Leave the address empty for none."),
        this);
    intro->setWordWrap(true);
    auto* hint = new QLabel(
        QStringLiteral("The password is never part of the address: put it in the PostgreSQL "
                       "password file, ~/.pgpass (%APPDATA%\\postgresql\\pgpass.conf on "
                       "Windows), or the file PGPASSFILE names."),
        this);
    hint->setObjectName(QStringLiteral("teamArchiveHint"));
    hint->setWordWrap(true);

    auto* form = new QFormLayout;
    auto* uriRow = new QHBoxLayout;
    uriRow->addWidget(m_uri, 1);
    uriRow->addWidget(m_testButton);
    auto* uriLabel = new QLabel(QStringLiteral("&Address:"), this);
    uriLabel->setBuddy(m_uri);
    form->addRow(uriLabel, uriRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(hint);
    const QString variable = teamArchiveVariable();
    if (!variable.isEmpty()) {
        // A password in it is not repeated: the problem is shown instead.
        const std::optional<QString> problem = teamAddressProblem(variable);
        const QString name = QLatin1String(kTeamArchiveVariable);
        auto* overridden = new QLabel(
            problem ? QStringLiteral("%1 is set and wins over the address kept here, but it "
                                     "cannot be used: %2")
                          .arg(name, *problem)
                    : QStringLiteral("%1 is set: this program uses %2 in place of the address "
                                     "kept here.")
                          .arg(name, variable),
            this);
        overridden->setObjectName(QStringLiteral("teamArchiveVariableNote"));
        overridden->setWordWrap(true);
        layout->addWidget(overridden);
    }
    layout->addWidget(m_status);
    layout->addStretch(1);
    layout->addWidget(buttons);
    m_status->setVisible(false);

    connect(buttons, &QDialogButtonBox::accepted, this, &TeamArchiveDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_testButton, &QPushButton::clicked, this, [this] { testConnection(); });
    connect(m_uri, &QLineEdit::textEdited, this, [this] { m_status->setVisible(false); });
}

void TeamArchiveDialog::say(const QString& text, bool problem) {
    m_status->setText(text);
    m_status->setStyleSheet(problem ? QStringLiteral("color: #b00020;") : QString());
    m_status->setVisible(true);
}

void TeamArchiveDialog::testConnection() {
    const QString uri = m_uri->text().trimmed();
    if (uri.isEmpty()) {
        say(QStringLiteral("No address to test."), true);
        return;
    }
    if (const std::optional<QString> problem = teamAddressProblem(uri)) {
        say(*problem, true);
        return;
    }
    const int test = ++m_tests;
    m_testing = true;
    m_testButton->setEnabled(false);
    say(QStringLiteral("Connecting..."), false);
    runInBackground<TeamArchiveDialog, std::optional<QString>>(
        this, [uri] { return tryTeamArchive(uri); },
        [this, test](std::optional<QString> failure) {
            if (test != m_tests)
                return;
            m_testing = false;
            m_testButton->setEnabled(true);
            if (failure)
                say(*failure, true);
            else
                say(QStringLiteral("Connected: the team archive answers."), false);
        });
}

void TeamArchiveDialog::accept() {
    if (const std::optional<QString> problem = storeTeamArchiveAddress(m_setting, m_uri->text())) {
        say(*problem, true);
        m_uri->setFocus();
        return;
    }
    QDialog::accept();
}
