#include "ui/SystemPage.h"

#include "mixer/SonaroCore.h"
#include "model/HostAddressRules.h"
#include "model/ValueConventions.h"
#include "ui/IpAddressEdit.h"
#include "ui/kit/Knob.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/Theme.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace sonaro::ui {

namespace {

constexpr int kFieldWidth = 170;
constexpr int kStateButtonWidth = 120;
constexpr int kOkWidth = 72;
constexpr int kLabelWidth = 118; // one label column in every box, so that the controls line up
constexpr int kListWidth = 72;
constexpr int kBoxSpacing = 14;
constexpr int kPageMargin = 20;
// Account names and passwords are typed with at most 6 characters; the edit boxes allow a few
// more so that the length check can say what is wrong.
constexpr int kAccountEditLength = 16;

QString groupBoxStyle()
{
    const Theme& t = Theme::instance();
    return QStringLiteral("QGroupBox { background-color: %1; border: 1px solid %2;"
                          " border-radius: 6px; margin-top: 9px; padding: 18px 12px 12px 12px; }"
                          "QGroupBox::title { subcontrol-origin: margin; left: 12px;"
                          " padding: 0 6px; color: %3; background-color: %4; }")
        .arg(t.panel.name(), t.panelEdge.name(), t.accentBright.name(), t.window.name());
}

QLabel* rowLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFont(Theme::instance().font(12, true));
    label->setMinimumWidth(kLabelWidth);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Theme::instance().textDim);
    label->setPalette(p);
    return label;
}

template <typename T> void setIfDifferent(T current, T wanted, const auto& set)
{
    if (current != wanted) set(wanted);
}

} // namespace

SystemPage::SystemPage(SonaroCore& core, QWidget* parent) : QWidget(parent), m_core(core)
{
    const Theme& theme = Theme::instance();
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme.window);
    setPalette(palette);

    m_title = new QLabel(this);
    m_title->setFont(theme.font(18, true));

    buildPanel();
    buildAutomix();
    buildNetwork();
    buildAccount();
    for (QGroupBox* box : {m_panelBox, m_automixBox, m_networkBox, m_factoryBox, m_accountBox}) {
        box->setStyleSheet(groupBoxStyle());
        box->setFont(theme.font(12, true));
    }

    auto* left = new QVBoxLayout;
    left->setSpacing(kBoxSpacing);
    left->addWidget(m_panelBox);
    left->addWidget(m_automixBox);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->setSpacing(kBoxSpacing);
    right->addWidget(m_networkBox);
    right->addWidget(m_accountBox);
    right->addWidget(m_factoryBox);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->setSpacing(kBoxSpacing + 4);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->setSpacing(kBoxSpacing);
    layout->addWidget(m_title);
    layout->addLayout(columns, 1);

    ControlSurface& surface = core.surface();
    connect(&surface, &ControlSurface::systemChanged, this, &SystemPage::refresh);
    connect(&surface, &ControlSurface::refreshNeeded, this, &SystemPage::refresh);
    connect(&core, &SonaroCore::addressReported, this,
            [this](const QString& address, quint16) { m_address->setAddress(address); });

    retranslate();
    refresh();
}

void SystemPage::buildPanel()
{
    const Theme& theme = Theme::instance();
    m_panelBox = new QGroupBox(this);
    m_panelLockLabel = rowLabel(m_panelBox);
    m_panelLock = new PaintedButton(m_panelBox);
    m_panelLock->setCheckable(true);
    m_panelLock->setLampVisible(true);
    m_panelLock->setCheckedColour(theme.priorityAmber);
    m_deviceModeLabel = rowLabel(m_panelBox);
    m_deviceMode = new PaintedButton(m_panelBox);
    m_deviceMode->setCheckable(true);
    m_deviceMode->setLampVisible(true);
    m_deviceMode->setCheckedColour(theme.activeGreen);
    for (PaintedButton* b : {m_panelLock, m_deviceMode})
        b->setFixedWidth(kStateButtonWidth);
    m_panelLockLabel->setBuddy(m_panelLock);
    m_deviceModeLabel->setBuddy(m_deviceMode);

    // A click asks for the opposite of the record; a refusal leaves the button as it was.
    connect(m_panelLock, &PaintedButton::clicked, this, [this] {
        m_core.surface().setPanelLock(m_core.table().current().panelLock == 0);
        refresh();
    });
    connect(m_deviceMode, &PaintedButton::clicked, this, [this] {
        const bool master = m_core.table().current().deviceMode != 0;
        m_core.surface().setDeviceMode(master ? DeviceMode::Slave : DeviceMode::Master);
        refresh();
    });

    auto* grid = new QGridLayout(m_panelBox);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(10);
    grid->addWidget(m_panelLockLabel, 0, 0);
    grid->addWidget(m_panelLock, 0, 1, Qt::AlignLeft);
    grid->addWidget(m_deviceModeLabel, 1, 0);
    grid->addWidget(m_deviceMode, 1, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
}

void SystemPage::buildAutomix()
{
    const Theme& theme = Theme::instance();
    m_automixBox = new QGroupBox(this);
    m_modeLabel = rowLabel(m_automixBox);
    m_thresholdMode = new PaintedButton(m_automixBox);
    m_thresholdMode->setCheckable(true);
    m_thresholdMode->setLampVisible(true);
    m_thresholdMode->setCheckedColour(theme.accent);
    m_thresholdMode->setFixedWidth(kStateButtonWidth);
    m_modeLabel->setBuddy(m_thresholdMode);

    // The knobs show the stored values (the record stores max - knob position).
    m_threshold = new Knob(m_automixBox);
    m_threshold->setRange(0, kGainMax);
    m_threshold->setPageStep(5);
    m_threshold->setFormatter([](int value) { return QString::asprintf("%ddB", gainToDb(value)); });
    m_holdTime = new Knob(m_automixBox);
    m_holdTime->setRange(0, kHoldTimeMax);
    m_holdTime->setPageStep(4);
    m_holdTime->setDefaultValue(6);
    m_holdTime->setFormatter([](int value) {
        return QString::asprintf("%dms", value * ControlSurface::kHoldTimeStepMs);
    });
    for (Knob* knob : {m_threshold, m_holdTime})
        knob->setFocusPolicy(Qt::StrongFocus);

    m_maxOpenLabel = rowLabel(m_automixBox);
    m_maxOpen = new QComboBox(m_automixBox);
    for (int n = 1; n <= kMaxOpenChannelsMax; ++n)
        m_maxOpen->addItem(QString::number(n));
    m_maxOpen->setFixedWidth(kListWidth);
    m_maxOpenLabel->setBuddy(m_maxOpen);
    m_maxOpenOk = new QPushButton(m_automixBox);
    m_maxOpenOk->setFixedWidth(kOkWidth);

    connect(m_thresholdMode, &PaintedButton::clicked, this, [this] {
        const bool manual = m_core.table().current().thresholdMode == 1;
        m_core.surface().setThresholdMode(manual ? ThresholdMode::Auto : ThresholdMode::Manual);
        refresh();
    });
    // A knob turn is committed once it rests: one command and one confirmation per setting,
    // however many wheel notches or key presses it took.
    for (QTimer* timer : {&m_thresholdCommit, &m_holdTimeCommit}) {
        timer->setSingleShot(true);
        timer->setInterval(kKnobCommitDelayMs);
    }
    connect(&m_thresholdCommit, &QTimer::timeout, this, &SystemPage::commitThreshold);
    connect(&m_holdTimeCommit, &QTimer::timeout, this, &SystemPage::commitHoldTime);
    for (auto signal : {&Knob::released, &Knob::valueEntered}) {
        connect(m_threshold, signal, this, [this] { m_thresholdCommit.start(); });
        connect(m_holdTime, signal, this, [this] { m_holdTimeCommit.start(); });
    }
    connect(m_maxOpenOk, &QPushButton::clicked, this, [this] {
        m_core.surface().setMaxOpenChannels(maxOpenForListIndex(m_maxOpen->currentIndex()));
        refresh();
    });

    auto* knobs = new QHBoxLayout;
    knobs->setSpacing(28);
    knobs->addWidget(m_threshold);
    knobs->addWidget(m_holdTime);
    knobs->addStretch();
    auto* maxOpen = new QHBoxLayout;
    maxOpen->setSpacing(8);
    maxOpen->addWidget(m_maxOpen);
    maxOpen->addWidget(m_maxOpenOk);
    maxOpen->addStretch();

    auto* grid = new QGridLayout(m_automixBox);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(10);
    grid->addWidget(m_modeLabel, 0, 0);
    grid->addWidget(m_thresholdMode, 0, 1, Qt::AlignLeft);
    grid->addLayout(knobs, 1, 0, 1, 3);
    grid->addWidget(m_maxOpenLabel, 2, 0);
    grid->addLayout(maxOpen, 2, 1, 1, 2);
    grid->setColumnStretch(2, 1);
}

void SystemPage::buildNetwork()
{
    m_networkBox = new QGroupBox(this);
    m_addressLabel = rowLabel(m_networkBox);
    m_address = new IpAddressEdit(m_networkBox);
    m_address->setAddress(m_core.deviceAddress());
    m_addressLabel->setBuddy(m_address);
    m_addressOk = new QPushButton(m_networkBox);
    m_addressOk->setFixedWidth(kOkWidth);
    connect(m_addressOk, &QPushButton::clicked, this, &SystemPage::changeAddress);

    auto* row = new QHBoxLayout(m_networkBox);
    row->setSpacing(12);
    row->addWidget(m_addressLabel);
    row->addWidget(m_address);
    row->addWidget(m_addressOk);
    row->addStretch();

    m_factoryBox = new QGroupBox(this);
    m_restoreLabel = rowLabel(m_factoryBox);
    m_restoreLabel->setWordWrap(true);
    m_restore = new QPushButton(m_factoryBox);
    m_restore->setMinimumWidth(kStateButtonWidth);
    m_restoreLabel->setBuddy(m_restore);
    connect(m_restore, &QPushButton::clicked, this, [this] { m_core.files().factoryRestore(); });
    auto* factory = new QHBoxLayout(m_factoryBox);
    factory->setSpacing(12);
    factory->addWidget(m_restoreLabel, 1);
    factory->addWidget(m_restore);
}

void SystemPage::buildAccount()
{
    m_accountBox = new QGroupBox(this);
    m_accountLabel = rowLabel(m_accountBox);
    m_account = new QComboBox(m_accountBox);
    m_account->addItems({QStringLiteral("admin"), QStringLiteral("user")});
    m_account->setCurrentIndex(0);
    m_newUserLabel = rowLabel(m_accountBox);
    // Shows the account whose password changes; the unit keeps its account names, so the name
    // is chosen in the list, never typed.
    m_newUser = new QLineEdit(m_account->currentText(), m_accountBox);
    m_newUser->setReadOnly(true);
    m_newUser->setFocusPolicy(Qt::NoFocus);
    QPalette shown = m_newUser->palette();
    shown.setColor(QPalette::Base, Theme::instance().panel);
    shown.setColor(QPalette::Text, Theme::instance().textDim);
    m_newUser->setPalette(shown);
    m_oldPasswordLabel = rowLabel(m_accountBox);
    m_oldPassword = new QLineEdit(m_accountBox);
    m_newPasswordLabel = rowLabel(m_accountBox);
    m_newPassword = new QLineEdit(m_accountBox);
    m_confirmPasswordLabel = rowLabel(m_accountBox);
    m_confirmPassword = new QLineEdit(m_accountBox);
    for (QLineEdit* edit : {m_newUser, m_oldPassword, m_newPassword, m_confirmPassword}) {
        edit->setMaxLength(kAccountEditLength);
        edit->setFixedWidth(kFieldWidth);
    }
    m_account->setFixedWidth(kFieldWidth);
    for (QLineEdit* edit : {m_oldPassword, m_newPassword, m_confirmPassword})
        edit->setEchoMode(QLineEdit::Password);
    m_accountLabel->setBuddy(m_account);
    m_newUserLabel->setBuddy(m_newUser);
    m_oldPasswordLabel->setBuddy(m_oldPassword);
    m_newPasswordLabel->setBuddy(m_newPassword);
    m_confirmPasswordLabel->setBuddy(m_confirmPassword);
    m_changeUser = new QPushButton(m_accountBox);
    m_changeUser->setMinimumWidth(kStateButtonWidth);
    connect(m_account, &QComboBox::currentTextChanged, m_newUser, &QLineEdit::setText);
    connect(m_changeUser, &QPushButton::clicked, this, &SystemPage::changeAccount);
    connect(m_confirmPassword, &QLineEdit::returnPressed, this, &SystemPage::changeAccount);

    auto* grid = new QGridLayout(m_accountBox);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(8);
    const std::pair<QLabel*, QWidget*> rows[] = {{m_accountLabel, m_account},
                                                 {m_newUserLabel, m_newUser},
                                                 {m_oldPasswordLabel, m_oldPassword},
                                                 {m_newPasswordLabel, m_newPassword},
                                                 {m_confirmPasswordLabel, m_confirmPassword}};
    int r = 0;
    for (const auto& [label, field] : rows) {
        grid->addWidget(label, r, 0);
        grid->addWidget(field, r, 1, Qt::AlignLeft);
        ++r;
    }
    grid->addWidget(m_changeUser, r, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
}

void SystemPage::commitThreshold()
{
    // In Auto the unit chooses the threshold itself; the disabled knob changes nothing.
    if (!m_core.surface().thresholdAdjustable()) return;
    // The knob shows the stored threshold.
    m_core.surface().setThreshold(gainToDb(m_threshold->value()));
    refresh();
}

void SystemPage::commitHoldTime()
{
    // The knob shows the stored hold time, in steps of the unit.
    m_core.surface().setHoldTime(m_holdTime->value() * ControlSurface::kHoldTimeStepMs);
    refresh();
}

void SystemPage::changeAddress()
{
    OperatorInterface& op = m_core.operatorInterface();
    const QString typed = m_address->text();
    quint32 address = 0;
    if (!parseIpv4(typed, &address)) {
        op.showMessage(Severity::Error, tr("Type all four parts of the address, each 0 to 255."));
        return;
    }
    // A 127.x unit is reachable only when the link itself runs on loopback (demo, tests).
    const bool loopbackAllowed = m_core.bindAddress().isLoopback();
    const HostAddressProblem problem = hostAddressProblem(address, loopbackAllowed);
    if (problem != HostAddressProblem::None) {
        op.showMessage(Severity::Error, hostAddressProblemText(problem, typed));
        return;
    }
    Session& session = m_core.session();
    // Asked only when the change can go out; otherwise the session says why it cannot.
    if (session.connection() == Connection::Connected && m_core.table().record(1).connected) {
        const QString question =
            tr("Change the unit's address from %1 to %2?\n\nThe unit will move to %2 at once and "
               "the connection will drop. The program follows it: connect again to reach the "
               "unit at its new address.")
                .arg(m_core.deviceAddress(), typed);
        if (!op.confirm(Severity::Warning, question)) return;
    }
    session.changeAddress(QHostAddress(address));
}

void SystemPage::changeAccount()
{
    // The account whose password changes is the one chosen in the list.
    m_core.session().changeAccount(m_account->currentText(), m_oldPassword->text(),
                                   m_newPassword->text(), m_confirmPassword->text());
}

void SystemPage::refresh()
{
    const UnitRecord& r = m_core.table().current();
    const bool locked = r.panelLock != 0;
    const bool master = r.deviceMode != 0;
    const bool manual = r.thresholdMode == 1;
    setIfDifferent(m_panelLock->isChecked(), locked,
                   [this](bool v) { m_panelLock->setChecked(v); });
    setIfDifferent(m_deviceMode->isChecked(), master,
                   [this](bool v) { m_deviceMode->setChecked(v); });
    setIfDifferent(m_thresholdMode->isChecked(), manual,
                   [this](bool v) { m_thresholdMode->setChecked(v); });
    // The click itself toggled the button already: the texts follow the state, not the change.
    setButtonTexts();
    if (m_threshold->isEnabled() != manual) {
        m_threshold->setEnabled(manual);
        if (!manual) m_thresholdCommit.stop();
    }
    // A turn that is not committed yet keeps what the operator set.
    if (!m_thresholdCommit.isActive())
        setIfDifferent(m_threshold->value(), std::clamp(r.threshold, 0, kGainMax),
                       [this](int v) { m_threshold->setValue(v); });
    if (!m_holdTimeCommit.isActive())
        setIfDifferent(m_holdTime->value(), std::clamp(r.holdTime, 0, kHoldTimeMax),
                       [this](int v) { m_holdTime->setValue(v); });
    const int index = listIndexForMaxOpen(std::clamp(r.maxOpenChannels, 1, kMaxOpenChannelsMax));
    setIfDifferent(m_maxOpen->currentIndex(), index,
                   [this](int v) { m_maxOpen->setCurrentIndex(v); });
}

void SystemPage::setButtonTexts()
{
    const auto set = [](PaintedButton* button, const QString& text) {
        if (button->text() != text) button->setText(text);
    };
    set(m_panelLock, m_panelLock->isChecked() ? tr("LOCK") : tr("UNLOCK"));
    set(m_deviceMode, m_deviceMode->isChecked() ? tr("MASTER") : tr("SLAVE"));
    set(m_thresholdMode, m_thresholdMode->isChecked() ? tr("MANUAL") : tr("AUTO"));
}

void SystemPage::retranslate()
{
    m_title->setText(tr("SYSTEM SETTING"));
    m_panelBox->setTitle(tr("UNIT"));
    m_panelLockLabel->setText(tr("PANEL LOCK"));
    m_deviceModeLabel->setText(tr("DEVICE MODE"));

    m_automixBox->setTitle(tr("AUTOMIX"));
    m_modeLabel->setText(tr("MODE"));
    m_threshold->setCaption(tr("THRESHOLD"));
    m_holdTime->setCaption(tr("HOLD TIME"));
    m_maxOpenLabel->setText(tr("MAX. OPEN CH"));
    m_maxOpenOk->setText(tr("OK"));

    m_networkBox->setTitle(tr("NETWORK"));
    m_addressLabel->setText(tr("DEVICE IP"));
    m_addressOk->setText(tr("OK"));

    m_factoryBox->setTitle(tr("FACTORY SETTINGS"));
    m_restoreLabel->setText(tr("Every setting of the unit returns to its factory value."));
    m_restore->setText(tr("RESTORE"));

    m_accountBox->setTitle(tr("CHANGE USER"));
    m_accountLabel->setText(tr("ACCOUNT"));
    m_newUserLabel->setText(tr("USER"));
    m_oldPasswordLabel->setText(tr("OLD PSW"));
    m_newPasswordLabel->setText(tr("NEW PSW"));
    m_confirmPasswordLabel->setText(tr("CONFIRM PSW"));
    m_changeUser->setText(tr("CHANGE USER"));
    // The two OK buttons say what they apply.
    m_maxOpenOk->setAccessibleName(tr("OK: %1").arg(
        SettingCatalogue::label({m_core.table().currentUnit(), SettingId::MaxOpen, 0})));
    m_addressOk->setAccessibleName(tr("OK: change the unit's address"));
    m_threshold->setAccessibleName(
        SettingCatalogue::label({m_core.table().currentUnit(), SettingId::Threshold, 0}));
    m_holdTime->setAccessibleName(
        SettingCatalogue::label({m_core.table().currentUnit(), SettingId::HoldTime, 0}));
    setButtonTexts();
}

void SystemPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

} // namespace sonaro::ui
