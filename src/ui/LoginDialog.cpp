#include "ui/LoginDialog.h"

#include "link/Session.h"
#include "model/UnitRecord.h"
#include "ui/MessageLine.h"
#include "ui/kit/Theme.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonaro::ui {

namespace {
constexpr int kEditWidth = 200;
constexpr int kButtonWidth = 88;
// Account names and passwords travel as 7 characters, the last one at least a filler.
constexpr int kMaxTyped = kAccountLength - 1;

bool acceptable(const QString& text)
{
    return !text.isEmpty() && text.size() <= kMaxTyped;
}
} // namespace

LoginDialog::LoginDialog(CheckFactory makeCheck, const QString& proposedName, OperatorInterface& op,
                         QWidget* parent)
    : QDialog(parent), m_makeCheck(std::move(makeCheck)), m_op(op)
{
    const Theme& theme = Theme::instance();
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_nameLabel = new QLabel(this);
    m_passwordLabel = new QLabel(this);
    for (QLabel* label : {m_nameLabel, m_passwordLabel})
        label->setFont(theme.font(12, true));
    m_name = new QLineEdit(proposedName, this);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {m_name, m_password})
        edit->setMinimumWidth(kEditWidth);
    m_nameLabel->setBuddy(m_name);
    m_passwordLabel->setBuddy(m_password);

    m_ok = new QPushButton(this);
    m_ok->setDefault(true);
    m_ok->setMinimumWidth(kButtonWidth);
    m_cancel = new QPushButton(this);
    m_cancel->setMinimumWidth(kButtonWidth);
    connect(m_ok, &QPushButton::clicked, this, &LoginDialog::tryLogin);
    connect(m_cancel, &QPushButton::clicked, this, &LoginDialog::reject);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(12);
    fields->setVerticalSpacing(10);
    fields->addWidget(m_nameLabel, 0, 0);
    fields->addWidget(m_name, 0, 1);
    fields->addWidget(m_passwordLabel, 1, 0);
    fields->addWidget(m_password, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(18);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    // A refused login is said here, under the fields.
    layout->addWidget(new MessageLine(this));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme.panel);
    setPalette(palette);
    setAutoFillBackground(true);
    // The name is usually right: the operator starts with the password.
    if (proposedName.isEmpty())
        m_name->setFocus();
    else
        m_password->setFocus();
    retranslate();
}

LoginDialog::~LoginDialog() = default;

QString LoginDialog::name() const
{
    return m_name->text();
}

QString LoginDialog::password() const
{
    return m_password->text();
}

bool LoginDialog::isChecking() const
{
    return m_check && m_check->isRunning();
}

void LoginDialog::tryLogin()
{
    if (isChecking()) return;
    if (!acceptable(name()) || !acceptable(password())) return;
    m_check = m_makeCheck();
    connect(m_check.get(), &LoginCheck::finished, this, &LoginDialog::checked);
    m_ok->setEnabled(false);
    m_check->checkLogin(name(), password());
}

void LoginDialog::checked(bool accepted)
{
    m_ok->setEnabled(true);
    if (accepted) {
        accept();
        return;
    }
    m_op.showMessage(Severity::Error, QStringLiteral("User Password Error!"));
    m_password->clear();
    m_password->setFocus();
}

void LoginDialog::reject()
{
    // A check still waiting holds the link port; the link restarts right after this dialog.
    m_check.reset();
    m_ok->setEnabled(true);
    QDialog::reject();
}

void LoginDialog::retranslate()
{
    setWindowTitle(tr("Login"));
    m_nameLabel->setText(tr("USER NAME"));
    m_passwordLabel->setText(tr("USER PSW"));
    m_ok->setText(tr("OK"));
    m_cancel->setText(tr("Cancel"));
}

void LoginDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
