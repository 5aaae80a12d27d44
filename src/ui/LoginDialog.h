#pragma once

#include "link/Session.h"
#include "model/OperatorInterface.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace sonaro {
class LoginCheck;
}

namespace sonaro::ui {

// The login dialog: "USER NAME" (the proposed account) and "USER PSW". OK checks the account
// with the unit itself, on the link port, without blocking: the link must be stopped while the
// dialog is open (the connect sequence does that). A refused login says "User Password Error!",
// empties the password and keeps the dialog open.
class LoginDialog : public QDialog
{
    Q_OBJECT
public:
    // Makes the exchange that checks one login attempt.
    using CheckFactory = std::function<std::unique_ptr<LoginCheck>()>;

    LoginDialog(CheckFactory makeCheck, const QString& proposedName, OperatorInterface& op,
                QWidget* parent = nullptr);
    ~LoginDialog() override;

    // As typed (the record pads them).
    QString name() const;
    QString password() const;
    bool isChecking() const;

    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* passwordEdit() const { return m_password; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

public slots:
    // OK: nothing happens for an empty text or one longer than 6 characters.
    void tryLogin();
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void checked(bool accepted);
    void retranslate();

    CheckFactory m_makeCheck;
    OperatorInterface& m_op;
    // Made per attempt and dropped on Cancel, so that the link port is free when the dialog ends.
    std::unique_ptr<LoginCheck> m_check;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace sonaro::ui
