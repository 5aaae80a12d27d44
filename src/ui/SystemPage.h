#pragma once

#include <QTimer>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sonaro {
class SonaroCore;
}

namespace sonaro::ui {

class PaintedButton;
class Knob;
class IpAddressEdit;

// The system page: the unit-wide settings of the current unit (panel lock, device mode, automix
// threshold mode, threshold and hold time, maximum open channels), the unit's address, the
// factory restore and the account change. Every control calls the control surface or the
// session; the page repaints from the record.
class SystemPage : public QWidget
{
    Q_OBJECT
public:
    // Knob turns and wheel notches within this time are one setting (one command, one "Set ok.").
    static constexpr int kKnobCommitDelayMs = 350;

    explicit SystemPage(SonaroCore& core, QWidget* parent = nullptr);

    // Sets every control from the current unit's record; a control is only touched when its
    // shown value differs.
    void refresh();

    PaintedButton* panelLockButton() const { return m_panelLock; }
    PaintedButton* deviceModeButton() const { return m_deviceMode; }
    PaintedButton* thresholdModeButton() const { return m_thresholdMode; }
    Knob* thresholdKnob() const { return m_threshold; }
    Knob* holdTimeKnob() const { return m_holdTime; }
    QComboBox* maxOpenList() const { return m_maxOpen; }
    QPushButton* maxOpenOkButton() const { return m_maxOpenOk; }
    IpAddressEdit* addressEdit() const { return m_address; }
    QPushButton* addressOkButton() const { return m_addressOk; }
    QPushButton* factoryRestoreButton() const { return m_restore; }
    QComboBox* accountList() const { return m_account; }
    QLineEdit* newUserEdit() const { return m_newUser; }
    QLineEdit* oldPasswordEdit() const { return m_oldPassword; }
    QLineEdit* newPasswordEdit() const { return m_newPassword; }
    QLineEdit* confirmPasswordEdit() const { return m_confirmPassword; }
    QPushButton* changeUserButton() const { return m_changeUser; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildPanel();
    void buildAutomix();
    void buildNetwork();
    void buildAccount();
    void commitThreshold();
    void commitHoldTime();
    void changeAddress();
    void changeAccount();
    void retranslate();
    void setButtonTexts();

    SonaroCore& m_core;
    QLabel* m_title = nullptr;
    QGroupBox* m_panelBox = nullptr;
    QGroupBox* m_automixBox = nullptr;
    QGroupBox* m_networkBox = nullptr;
    QGroupBox* m_factoryBox = nullptr;
    QGroupBox* m_accountBox = nullptr;

    QLabel* m_panelLockLabel = nullptr;
    PaintedButton* m_panelLock = nullptr;
    QLabel* m_deviceModeLabel = nullptr;
    PaintedButton* m_deviceMode = nullptr;

    QLabel* m_modeLabel = nullptr;
    PaintedButton* m_thresholdMode = nullptr;
    Knob* m_threshold = nullptr;
    Knob* m_holdTime = nullptr;
    QLabel* m_maxOpenLabel = nullptr;
    QComboBox* m_maxOpen = nullptr;
    QPushButton* m_maxOpenOk = nullptr;
    QTimer m_thresholdCommit;
    QTimer m_holdTimeCommit;

    QLabel* m_addressLabel = nullptr;
    IpAddressEdit* m_address = nullptr;
    QPushButton* m_addressOk = nullptr;
    QLabel* m_restoreLabel = nullptr;
    QPushButton* m_restore = nullptr;

    QLabel* m_accountLabel = nullptr;
    QComboBox* m_account = nullptr;
    QLabel* m_newUserLabel = nullptr;
    QLineEdit* m_newUser = nullptr;
    QLabel* m_oldPasswordLabel = nullptr;
    QLineEdit* m_oldPassword = nullptr;
    QLabel* m_newPasswordLabel = nullptr;
    QLineEdit* m_newPassword = nullptr;
    QLabel* m_confirmPasswordLabel = nullptr;
    QLineEdit* m_confirmPassword = nullptr;
    QPushButton* m_changeUser = nullptr;
};

} // namespace sonaro::ui
