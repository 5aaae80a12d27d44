#include "ui/MainView.h"

#include "mixer/GroupEditor.h"
#include "model/HostAddressRules.h"
#include "ui/ConnectionIndicator.h"
#include "ui/FirstRunPanel.h"
#include "ui/GroupDialog.h"
#include "ui/GroupTabBar.h"
#include "ui/InputEqWindow.h"
#include "ui/InputStrip.h"
#include "ui/LimiterWindow.h"
#include "ui/LoginDialog.h"
#include "ui/NameDialog.h"
#include "ui/OutputEqWindow.h"
#include "ui/OutputStrip.h"
#include "ui/SearchDialog.h"
#include "ui/SystemPage.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/Theme.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace sonaro::ui {

namespace {
constexpr int kHeaderHeight = 40;
constexpr int kPageButtonWidth = 112;
constexpr int kIndicatorWidth = 190;
constexpr int kMargin = 10;
constexpr int kStripSpacing = 5;
constexpr int kMatrixMaxCell = 150;
enum PageButton
{
    kChannelsButton = 0,
    kEqButton,
    kMatrixButton,
    kSystemButton,
    kMenuButton
};
} // namespace

MainView::MainView(SonaroCore& core, QWidget* parent) : QWidget(parent), m_core(core)
{
    setObjectName(QStringLiteral("mainView"));
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    buildHeader(header);

    // A data directory that has never seen a unit has no channel rows yet: the strips get
    // theirs now, so that names and groups can be prepared offline; the first login keeps them.
    const bool firstRun = core.firstRun();

    // Channel page: the group tabs above the strips, which share the page's width (centred
    // once they reach their widest).
    m_channelPage = new QWidget(this);
    m_tabs = new GroupTabBar(m_channelPage);
    m_firstRun = new FirstRunPanel(m_channelPage);
    m_firstRun->setVisible(firstRun);
    connect(m_firstRun, &FirstRunPanel::searchRequested, this, &MainView::connectUnit);
    connect(m_firstRun, &FirstRunPanel::addressEntered, this, &MainView::connectToAddress);
    m_stripArea = new QWidget;
    m_stripLayout = new QHBoxLayout(m_stripArea);
    m_stripLayout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    m_stripLayout->setSpacing(kStripSpacing);
    m_stripLayout->addStretch();
    m_stripLayout->addStretch();
    m_stripScroll = new QScrollArea(m_channelPage);
    m_stripScroll->setWidget(m_stripArea);
    m_stripScroll->setWidgetResizable(true);
    m_stripScroll->setFrameShape(QFrame::NoFrame);
    auto* channelLayout = new QVBoxLayout(m_channelPage);
    channelLayout->setContentsMargins(0, 0, 0, 0);
    channelLayout->setSpacing(0);
    channelLayout->addWidget(m_firstRun);
    channelLayout->addSpacing(firstRun ? kMargin : 0);
    channelLayout->addWidget(m_tabs);
    channelLayout->addWidget(m_stripScroll, 1);

    ControlSurface& surface = core.surface();
    for (int ch = 0; ch < kInputCount; ++ch) {
        auto* strip = new InputStrip(surface, &core.undo(), ch, m_stripArea);
        strip->hide();
        connect(strip, &ChannelStrip::renameRequested, this,
                [this](int c) { renameStrip(ChannelKind::Input, c); });
        connect(strip, &InputStrip::eqRequested, this, &MainView::inputEqRequested);
        connect(strip, &ChannelStrip::commandsRequested, this, [this, strip](QPoint at) {
            m_lastStrip = strip;
            updateStripActions();
            QMenu menu(this);
            menu.addActions({m_actions.rename, m_actions.stripEq});
            menu.exec(at);
        });
        m_inputs[static_cast<std::size_t>(ch)] = strip;
    }
    for (int out = 0; out < kOutputCount; ++out) {
        auto* strip = new OutputStrip(surface, &core.undo(), out, m_stripArea);
        strip->hide();
        connect(strip, &ChannelStrip::renameRequested, this,
                [this](int c) { renameStrip(ChannelKind::Output, c); });
        connect(strip, &OutputStrip::eqRequested, this, &MainView::outputEqRequested);
        connect(strip, &OutputStrip::limiterRequested, this, &MainView::limiterRequested);
        connect(strip, &ChannelStrip::commandsRequested, this, [this, strip](QPoint at) {
            m_lastStrip = strip;
            updateStripActions();
            QMenu menu(this);
            menu.addActions({m_actions.rename, m_actions.stripEq, m_actions.stripLimiter});
            menu.exec(at);
        });
        m_outputs[static_cast<std::size_t>(out)] = strip;
    }

    // Matrix page.
    m_matrix = new MatrixGrid(this);
    m_matrix->setGridSize(kInputCount, kOutputCount);
    m_matrix->setRowLabels({QStringLiteral("M1"), QStringLiteral("M2")});
    m_matrix->setCellNamer([this](MatrixCell cell) {
        return SettingCatalogue::label({m_core.table().currentUnit(), SettingId::Crosspoint,
                                        cell.row * kInputCount + cell.column});
    });
    connect(m_matrix, &MatrixGrid::cellToggled, this, [this](MatrixCell cell, bool) {
        ControlSurface& s = m_core.surface();
        // A refused or unchanged crosspoint shows the record again.
        if (s.setCrosspoint(cell.column, cell.row, !s.crosspoint(cell.column, cell.row)) !=
            Outcome::Applied)
            showRouting();
    });

    m_system = new SystemPage(core, this);

    // The matrix grows with its page (it centres itself); the system settings keep their
    // natural size, centred.
    m_matrix->setMaximumCellSize(kMatrixMaxCell);
    const auto centred = [this](QWidget* page) {
        auto* holder = new QWidget(this);
        auto* grid = new QGridLayout(holder);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->addWidget(page, 0, 0, Qt::AlignCenter);
        return holder;
    };
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_channelPage);
    m_stack->addWidget(m_matrix);
    m_stack->addWidget(centred(m_system));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kMargin);
    layout->addLayout(header);
    layout->addWidget(m_stack, 1);

    buildActions();

    buildTabs();
    connect(m_tabs, &QTabBar::currentChanged, this, [this] { layoutChannelPage(); });
    connect(&surface, &ControlSurface::groupsChanged, this, [this] {
        if (m_page == ChannelsPage) layoutChannelPage();
    });
    connect(&surface, &ControlSurface::refreshNeeded, this, &MainView::refreshFromState);
    connect(&surface, &ControlSurface::matrixChanged, this, &MainView::showRouting);
    connect(&core, &SonaroCore::indicatorChanged, this, &MainView::updateIndicator);
    connect(&core, &SonaroCore::unitsReported, this, [this] {
        updateUnitPicker();
        refreshFromState();
    });
    connect(&core, &SonaroCore::currentUnitChanged, this, &MainView::unitShown);
    connect(&core.session(), &Session::connectionChanged, this, [this](Connection c) {
        // A unit logged in: the first-run offer has done its work. Leaving the unit: lamps and
        // meters show no stale life.
        if (isLoggedIn(c)) m_firstRun->hide();
        refreshFromState();
    });
    connect(&core.session(), &Session::connectionChanged, this, &MainView::leaveAdministratorPages);
    // The channel commands follow the strip the operator works in.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QWidget* w = now; w && w != this; w = w->parentWidget())
            if (auto* strip = qobject_cast<ChannelStrip*>(w)) {
                m_lastStrip = strip;
                updateStripActions();
                return;
            }
    });

    connect(this, &MainView::inputEqRequested, this, &MainView::openInputEq);
    connect(this, &MainView::outputEqRequested, this, &MainView::openOutputEq);
    connect(this, &MainView::limiterRequested, this, &MainView::openLimiter);

    retranslate();
    refreshFromState();
    showPage(ChannelsPage);
}

void MainView::buildHeader(QHBoxLayout* header)
{
    const Theme& theme = Theme::instance();
    for (int i = 0; i < 5; ++i) {
        auto* button = new PaintedButton(this);
        button->setCheckable(true);
        button->setFixedSize(kPageButtonWidth, kHeaderHeight - 8);
        button->setFocusPolicy(Qt::StrongFocus);
        header->addWidget(button);
        m_pageButtons[static_cast<std::size_t>(i)] = button;
    }
    connect(m_pageButtons[kChannelsButton], &QAbstractButton::clicked, this,
            &MainView::showChannelsPage);
    connect(m_pageButtons[kEqButton], &QAbstractButton::clicked, this, &MainView::openEqPage);
    connect(m_pageButtons[kMatrixButton], &QAbstractButton::clicked, this,
            &MainView::showMatrixPage);
    connect(m_pageButtons[kSystemButton], &QAbstractButton::clicked, this,
            &MainView::showSystemPage);
    connect(m_pageButtons[kMenuButton], &QAbstractButton::clicked, this, [this] {
        m_menuOpen = true;
        syncHighlight();
        PaintedButton* menu = m_pageButtons[kMenuButton];
        m_popup->popup(menu->mapToGlobal(QPoint(0, menu->height())));
    });
    header->addSpacing(16);
    m_indicator = new ConnectionIndicator(this);
    m_indicator->setFixedSize(kIndicatorWidth, kHeaderHeight - 8);
    header->addWidget(m_indicator);
    // The units of a chain: Alt+U reaches the list from the keyboard.
    header->addSpacing(16);
    m_unitCaption = new QLabel(this);
    m_unitCaption->setFont(theme.font(11, true));
    m_unitPicker = new QComboBox(this);
    m_unitPicker->setObjectName(QStringLiteral("unitPicker"));
    m_unitPicker->setFont(theme.font(12, true));
    m_unitPicker->setMinimumWidth(170);
    m_unitPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_unitPicker->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_unitCaption->setBuddy(m_unitPicker);
    connect(m_unitPicker, &QComboBox::activated, this, [this](int index) {
        if (!showUnit(m_unitPicker->itemData(index).toInt())) updateUnitPicker();
    });
    header->addWidget(m_unitCaption);
    header->addWidget(m_unitPicker);
    header->addStretch();
    // Where the program is connected and who is logged in.
    m_unitLabel = new QLabel(this);
    m_unitLabel->setObjectName(QStringLiteral("unitLabel"));
    m_unitLabel->setFont(theme.font(13, true));
    m_unitLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_accountLabel = new QLabel(this);
    m_accountLabel->setObjectName(QStringLiteral("accountLabel"));
    m_accountLabel->setFont(theme.font(11));
    m_accountLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette dim = m_accountLabel->palette();
    dim.setColor(QPalette::WindowText, theme.textDim);
    m_accountLabel->setPalette(dim);
    auto* who = new QVBoxLayout;
    who->setSpacing(0);
    who->addWidget(m_unitLabel);
    who->addWidget(m_accountLabel);
    header->addLayout(who);
}

void MainView::buildActions()
{
    const auto make = [this](auto slot) {
        auto* action = new QAction(this);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_actions.connect = make(&MainView::connectUnit);
    m_actions.disconnect = make(&MainView::disconnectUnit);
    m_actions.openFile = make(&MainView::openPreset);
    m_actions.saveFile = make(&MainView::savePreset);
    m_actions.group = make(&MainView::openGroupDialog);
    m_actions.exit = make(&MainView::exitRequested);
    m_actions.exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_actions.connect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    m_actions.disconnect->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    m_actions.openFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_actions.saveFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_actions.group->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    // The pages in the order of their buttons, Ctrl+1 to Ctrl+4.
    m_actions.channels = make(&MainView::showChannelsPage);
    m_actions.channels->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
    m_actions.eq = make(&MainView::openEqPage);
    m_actions.eq->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
    m_actions.matrix = make(&MainView::showMatrixPage);
    m_actions.matrix->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_3));
    m_actions.system = make(&MainView::showSystemPage);
    m_actions.system->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_4));
    m_actions.rename = make(&MainView::renameCurrentStrip);
    m_actions.rename->setShortcut(QKeySequence(Qt::Key_F2));
    m_actions.stripEq = make(&MainView::openCurrentStripEq);
    m_actions.stripEq->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_actions.stripLimiter = make(&MainView::openCurrentStripLimiter);
    m_actions.stripLimiter->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    m_actions.renameUnit = make(&MainView::renameCurrentUnit);
    m_unitPicker->addAction(m_actions.renameUnit);
    // Ready before any window holds the menus: the view's own keys.
    addActions({m_actions.connect, m_actions.disconnect, m_actions.openFile, m_actions.saveFile,
                m_actions.group, m_actions.exit, m_actions.channels, m_actions.eq, m_actions.matrix,
                m_actions.system, m_actions.rename, m_actions.stripEq, m_actions.stripLimiter,
                m_actions.renameUnit});
    for (QAction* a : QWidget::actions())
        a->setShortcutContext(Qt::WindowShortcut);
    updateStripActions();

    m_popup = new QMenu(this);
    connect(m_popup, &QMenu::aboutToHide, this, [this] {
        m_menuOpen = false;
        syncHighlight();
    });
    m_popup->addAction(m_actions.openFile);
    m_popup->addAction(m_actions.saveFile);
    m_popup->addAction(m_actions.connect);
    m_popup->addAction(m_actions.disconnect);
    m_popup->addAction(m_actions.group);
    m_popup->addAction(m_actions.renameUnit);
    m_popup->addSeparator();
    m_popup->addAction(m_actions.exit);
}

void MainView::buildTabs()
{
    // One tab per Group1 row, labelled by its position: "SINGLE", then "GROUP  1" ...
    const int tabs = m_core.groupTabCount();
    QSignalBlocker block(m_tabs);
    while (m_tabs->count() > 0)
        m_tabs->removeTab(0);
    for (int k = 0; k < tabs; ++k) {
        const QString label =
            k == 0 ? QStringLiteral("SINGLE") : QStringLiteral("GROUP  %1").arg(k);
        const int index = m_tabs->addTab(label);
        m_tabs->setTabData(index, k);
    }
    if (m_tabs->count() == 0) { // without a database the strips still have their page
        m_tabs->addTab(QStringLiteral("SINGLE"));
        m_tabs->setTabData(0, 0);
    }
    m_tabs->setCurrentIndex(0);
}

int MainView::highlightedButton() const
{
    if (m_menuOpen) return kMenuButton;
    switch (m_page) {
    case MatrixPage:
        return kMatrixButton;
    case SystemSettingsPage:
        return kSystemButton;
    case ChannelsPage:
        break;
    }
    return kChannelsButton;
}

void MainView::syncHighlight()
{
    // A click toggles a checkable button by itself; the highlight is set back from the page.
    const int lit = highlightedButton();
    for (int i = 0; i < 5; ++i)
        m_pageButtons[static_cast<std::size_t>(i)]->setChecked(i == lit);
}

bool MainView::administrator(const char* page)
{
    const bool allowed = m_core.surface().requireAdministrator(page);
    syncHighlight(); // a refused button does not stay lit
    return allowed;
}

void MainView::showChannelsPage()
{
    showPage(ChannelsPage);
}

void MainView::showMatrixPage()
{
    if (!administrator(QT_TRANSLATE_NOOP("sonaro::EventLog", "the matrix"))) return;
    showPage(MatrixPage);
}

void MainView::showSystemPage()
{
    if (!administrator(QT_TRANSLATE_NOOP("sonaro::EventLog", "the system page"))) return;
    showPage(SystemSettingsPage);
}

void MainView::leaveAdministratorPages()
{
    // Every login is checked, not only the page's opening: a user does not keep them open.
    const bool administratorPage = m_page == MatrixPage || m_page == SystemSettingsPage;
    if (administratorPage && !m_core.surface().administrator()) showChannelsPage();
}

void MainView::showPage(Page page)
{
    m_page = page;
    syncHighlight();
    m_core.surface().reloadGroups();
    switch (page) {
    case ChannelsPage:
        m_stack->setCurrentWidget(m_channelPage);
        layoutChannelPage();
        break;
    case MatrixPage:
        m_stack->setCurrentWidget(m_matrix);
        break;
    case SystemSettingsPage:
        m_system->refresh();
        m_stack->setCurrentWidget(m_system->parentWidget());
        break;
    }
}

void MainView::layoutChannelPage()
{
    const int index = m_tabs->currentIndex();
    const int page = index >= 0 ? m_tabs->pageAt(index) : 0;
    const PageLayout layout = m_core.pageLayout(page);
    for (int i = 0; i < m_tabs->count(); ++i) {
        const int p = m_tabs->pageAt(i);
        const Theme& theme = Theme::instance();
        m_tabs->setTabColour(i, p >= 0 && p < 6 && layout.tabHasMembers[static_cast<std::size_t>(p)]
                                    ? theme.tabGreen
                                    : theme.matrixLegendClosed);
    }
    // The first page lists every strip in no group; without a database that is every strip.
    std::vector<StripRef> strips = layout.strips;
    if (!m_core.hasDatabase() && page == 0) {
        for (int ch = 0; ch < kInputCount; ++ch)
            strips.push_back({ChannelKind::Input, ch});
        for (int out = 0; out < kOutputCount; ++out)
            strips.push_back({ChannelKind::Output, out});
    }
    for (InputStrip* s : m_inputs) {
        m_stripLayout->removeWidget(s);
        s->hide();
    }
    for (OutputStrip* s : m_outputs) {
        m_stripLayout->removeWidget(s);
        s->hide();
    }
    int position = 0;
    for (const StripRef& ref : strips) {
        ChannelStrip* strip = nullptr;
        if (ref.kind == ChannelKind::Input && ref.index >= 0 && ref.index < kInputCount)
            strip = m_inputs[static_cast<std::size_t>(ref.index)];
        else if (ref.kind == ChannelKind::Output && ref.index >= 0 && ref.index < kOutputCount)
            strip = m_outputs[static_cast<std::size_t>(ref.index)];
        if (!strip || strip->isVisibleTo(m_stripArea)) continue;
        // After the leading stretch; the strips take the width, the stretches what is left.
        m_stripLayout->insertWidget(1 + position++, strip, 1);
        strip->show();
    }
}

void MainView::refreshFromState()
{
    // Names come from the registry: the rows appear with the first login and change with a
    // factory restore.
    for (InputStrip* s : m_inputs)
        if (auto name = m_core.channelName(ChannelKind::Input, s->channel())) s->setName(*name);
    for (OutputStrip* s : m_outputs)
        if (auto name = m_core.channelName(ChannelKind::Output, s->channel())) s->setName(*name);
    showRouting();
    QStringList names;
    for (InputStrip* s : m_inputs) {
        s->refresh();
        names << s->name();
    }
    m_matrix->setColumnLabels(names);
    for (OutputStrip* s : m_outputs)
        s->refresh();
    m_system->refresh();
    updateIndicator();
}

void MainView::showRouting()
{
    const UnitRecord& r = m_core.table().current();
    m_matrix->setRowBits(0, static_cast<quint32>(r.routing[0]));
    m_matrix->setRowBits(1, static_cast<quint32>(r.routing[1]));
}

void MainView::updateIndicator()
{
    // The link, the login and the account are the first unit's; the others answer behind it.
    m_indicator->setState(m_core.session().connection(), m_core.indicatorOn());
    const UnitRecord& r = m_core.table().record(1);
    m_unitLabel->setText(r.connected ? m_core.deviceAddress() : tr("Offline"));
    updateAccount();
}

void MainView::updateUnitPicker()
{
    const int count = m_core.unitCount();
    const int shown = m_core.currentUnit();
    {
        QSignalBlocker block(m_unitPicker);
        m_unitPicker->clear();
        for (int unit = 1; unit <= count; ++unit) {
            const QString name = m_core.unitName(unit);
            m_unitPicker->addItem(name.isEmpty() ? tr("Unit %1").arg(unit)
                                                 : tr("Unit %1 · %2").arg(unit).arg(name),
                                  unit);
        }
        m_unitPicker->setCurrentIndex(shown - 1);
    }
    // With one unit nothing on the screen speaks of units.
    const bool chain = count > 1;
    m_unitCaption->setVisible(chain);
    m_unitPicker->setVisible(chain);
    m_actions.renameUnit->setEnabled(chain);
    m_actions.renameUnit->setVisible(chain);
}

bool MainView::showUnit(int unit)
{
    return m_core.setCurrentUnit(unit);
}

void MainView::unitShown()
{
    updateUnitPicker();
    // Another unit has groups, names and settings of its own.
    buildTabs();
    retranslate();
    refreshFromState();
    if (m_page == ChannelsPage) layoutChannelPage();
}

void MainView::renameCurrentUnit()
{
    const int unit = m_core.currentUnit();
    if (m_core.unitCount() < 2) return;
    NameDialog dialog(m_core.unitName(unit), this);
    dialog.setWindowTitle(tr("Name of unit %1").arg(unit));
    if (dialog.exec() != QDialog::Accepted) return;
    const QString name = dialog.text().trimmed();
    if (!m_core.renameUnit(unit, name))
        m_core.operatorInterface().showMessage(
            Severity::Error, tr("The name of unit %1 could not be stored.").arg(unit));
    updateUnitPicker();
}

void MainView::updateAccount()
{
    const UnitRecord& r = m_core.table().record(1);
    const bool admin = m_core.surface().administrator();
    const QString name = QString::fromStdString(accountText(r.loginName));
    const QString role = admin ? tr("administrator") : tr("user");
    QString who;
    if (isLoggedIn(m_core.session().connection()) && !name.isEmpty())
        who = tr("Logged in as %1 (%2)").arg(name, role);
    else if (admin && !name.isEmpty())
        who = tr("Last login: %1 (%2)").arg(name, role);
    else
        who = tr("Not logged in");
    m_accountLabel->setText(who);
    m_accountLabel->setAccessibleName(who);

    // The administrator's pages are shown as unavailable, with the reason, instead of refusing
    // after the press.
    const QString reason =
        admin ? QString()
              : tr("Only the administrator may open this page: log in with the administrator's "
                   "account (CONNECT).");
    for (int b : {kMatrixButton, kSystemButton}) {
        PaintedButton* button = m_pageButtons[static_cast<std::size_t>(b)];
        button->setEnabled(admin);
        button->setToolTip(reason);
        button->setAccessibleDescription(reason);
    }
    for (QAction* a : {m_actions.matrix, m_actions.system}) {
        a->setEnabled(admin);
        a->setStatusTip(reason);
        a->setToolTip(reason);
    }
}

ChannelStrip* MainView::currentStrip() const
{
    if (m_lastStrip) return m_lastStrip.data();
    return m_inputs[0];
}

void MainView::updateStripActions()
{
    // Only outputs have a limiter.
    m_actions.stripLimiter->setEnabled(qobject_cast<OutputStrip*>(currentStrip()) != nullptr);
}

void MainView::renameCurrentStrip()
{
    ChannelStrip* strip = currentStrip();
    renameStrip(qobject_cast<OutputStrip*>(strip) ? ChannelKind::Output : ChannelKind::Input,
                strip->channel());
}

void MainView::openCurrentStripEq()
{
    ChannelStrip* strip = currentStrip();
    if (qobject_cast<OutputStrip*>(strip))
        emit outputEqRequested(strip->channel());
    else
        emit inputEqRequested(strip->channel());
}

void MainView::openCurrentStripLimiter()
{
    if (auto* strip = qobject_cast<OutputStrip*>(currentStrip()))
        emit limiterRequested(strip->channel());
}

void MainView::connectUnit()
{
    if (m_core.table().record(1).connected) {
        reconnect();
        return;
    }
    searchAndConnect();
}

void MainView::searchAndConnect()
{
    Session& session = m_core.session();
    if (!session.beginConnect()) return;
    SearchDialog dialog(m_core, this);
    dialog.exec();
    session.finishConnect(dialog.openMode());
    refreshFromState();
}

void MainView::reconnect()
{
    const UnitRecord& r = m_core.table().record(1);
    const QString question =
        tr("Sonaro is connected to %1 as %2.\n\nDisconnect and connect again?")
            .arg(m_core.deviceAddress(), QString::fromStdString(accountText(r.loginName)));
    if (!m_core.operatorInterface().confirm(Severity::Notice, question)) return;
    // The search stops the link: it opens once the disconnect has let its last frames (the
    // stream-off) go, after the pause a connect keeps before the link restarts.
    auto* once = new QObject(this);
    connect(&m_core.session(), &Session::closed, once, [this, once] {
        once->deleteLater();
        QTimer::singleShot(m_core.timings().restartDelay, this, &MainView::searchAndConnect);
    });
    disconnectUnit();
}

void MainView::connectToAddress(const QString& address)
{
    quint32 host = 0;
    if (!parseIpv4(address, &host)) {
        m_firstRun->refuseAddress(
            tr("\"%1\" is not an address: type four numbers from 0 to 255 with dots between, "
               "such as 192.168.1.100.")
                .arg(address));
        return;
    }
    // The program may talk to a unit on loopback (the virtual unit); anything else that no unit
    // can hold is refused before the link is touched.
    const HostAddressProblem problem = hostAddressProblem(host, true);
    if (problem != HostAddressProblem::None) {
        m_firstRun->refuseAddress(hostAddressProblemText(problem, address));
        return;
    }
    m_firstRun->clearRefusal();
    Session& session = m_core.session();
    if (!session.beginConnect(address)) return;
    session.useDeviceAddress(address);
    LoginDialog dialog([this] { return m_core.createLoginCheck(); },
                       QString::fromStdString(accountText(m_core.table().record(1).adminName)),
                       m_core.operatorInterface(), this);
    emit loginDialogOpened(&dialog);
    if (dialog.exec() == QDialog::Accepted) {
        session.storeLogin(dialog.name(), dialog.password());
        session.finishConnect(OpenMode::Open);
    } else {
        session.finishConnect(OpenMode::Cancel);
    }
    refreshFromState();
}

void MainView::disconnectUnit()
{
    m_core.disconnectUnit();
    refreshFromState();
}

void MainView::openPreset()
{
    m_core.files().openPreset([this] {
        return QFileDialog::getOpenFileName(this, tr("OPEN FILE"), QString(),
                                            tr("ini Files (*.ini);;All files (*)"));
    });
    if (m_page == ChannelsPage) layoutChannelPage();
}

void MainView::savePreset()
{
    m_core.files().savePreset([this] {
        QString path = QFileDialog::getSaveFileName(this, tr("SAVE FILE"), QStringLiteral("*.ini"),
                                                    tr("ini Files (*.ini);;All files (*)"));
        return FileActions::presetFilePath(path);
    });
}

void MainView::openGroupDialog()
{
    GroupTable table = m_core.groupTable();
    const std::unique_ptr<GroupEditor> model = m_core.groupEditor(table);
    model->open();
    GroupDialog dialog(*model, this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_core.surface().reloadGroups();
    // Without a unit the groups wait for the next login.
    m_core.surface().sendLinkTable();
    if (m_page == ChannelsPage) layoutChannelPage();
}

void MainView::renameStrip(ChannelKind kind, int channel)
{
    ChannelStrip* strip =
        kind == ChannelKind::Input
            ? static_cast<ChannelStrip*>(m_inputs[static_cast<std::size_t>(channel)])
            : m_outputs[static_cast<std::size_t>(channel)];
    NameDialog dialog(strip->name(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const QString name = m_core.renameChannel(kind, channel, strip->name(), dialog.text());
    strip->setName(name);
    emit m_core.surface().refreshNeeded(); // the open editors show the new name too
}

void MainView::openInputEq(int channel)
{
    if (!m_inputEq)
        m_inputEq = new InputEqWindow(m_core, channel, this);
    else
        m_inputEq->openChannel(channel);
    m_inputEq->show();
    m_inputEq->raise();
    m_inputEq->activateWindow();
}

void MainView::openEqPage()
{
    syncHighlight(); // the editor is a window of its own; the shown page stays named
    const int index = m_tabs->currentIndex();
    const int page = index >= 0 ? m_tabs->pageAt(index) : 0;
    // The editor opens on the first input of the active tab, with that tab's group chosen.
    int channel = 0;
    for (const StripRef& s : m_core.pageLayout(page).strips)
        if (s.kind == ChannelKind::Input && s.index >= 0 && s.index < kInputCount) {
            channel = s.index;
            break;
        }
    openInputEq(channel);
    GroupTabBar* editorTabs = m_inputEq->groupTabs();
    const int editorIndex = editorTabs->indexOfPage(page);
    if (editorIndex >= 0) editorTabs->setCurrentIndex(editorIndex);
    m_inputEq->openChannel(channel);
}

void MainView::openOutputEq(int output)
{
    if (!m_outputEq)
        m_outputEq = new OutputEqWindow(m_core, output, this);
    else
        m_outputEq->openOutput(output);
    m_outputEq->show();
    m_outputEq->raise();
    m_outputEq->activateWindow();
}

void MainView::openLimiter(int output)
{
    LimiterWindow dialog(m_core, output, this);
    dialog.exec();
    refreshFromState();
}

void MainView::closeSequence(const std::function<void()>& done)
{
    m_core.closeAfterDelivery(done);
}

void MainView::retranslate()
{
    const char* const captions[5] = {QT_TR_NOOP("CHANNELS"), QT_TR_NOOP("EQ"), QT_TR_NOOP("MATRIX"),
                                     QT_TR_NOOP("SYSTEM"), QT_TR_NOOP("MENU")};
    for (int i = 0; i < 5; ++i)
        m_pageButtons[static_cast<std::size_t>(i)]->setText(tr(captions[i]));
    m_actions.openFile->setText(tr("OPEN FILE"));
    m_actions.saveFile->setText(tr("SAVE FILE"));
    m_actions.connect->setText(tr("CONNECT"));
    m_actions.disconnect->setText(tr("DISCONNECT"));
    m_actions.group->setText(tr("GROUP"));
    m_actions.exit->setText(tr("EXIT(&X)"));
    m_actions.channels->setText(tr("CHANNELS"));
    m_actions.eq->setText(tr("EQ"));
    m_actions.matrix->setText(tr("MATRIX"));
    m_actions.system->setText(tr("SYSTEM", "menu"));
    m_actions.rename->setText(tr("Rename channel..."));
    m_actions.stripEq->setText(tr("Channel EQ..."));
    m_actions.stripLimiter->setText(tr("Output limiter..."));
    m_actions.renameUnit->setText(tr("Rename unit..."));
    m_unitCaption->setText(tr("&UNIT"));
    m_unitPicker->setAccessibleName(tr("Unit of the chain"));
    m_unitPicker->setToolTip(
        tr("The units chained behind this address; the pages and editors show the one chosen. "
           "Levels and open lamps come from unit 1 only."));
    updateUnitPicker();
    m_matrix->setAccessibleName(tr("Routing matrix"));
    for (int i = 0; i < m_tabs->count(); ++i) {
        const int page = m_tabs->pageAt(i);
        m_tabs->setTabToolTip(i, page == 0 ? tr("Strips in no group")
                                           : tr("The strips of group %1").arg(page));
    }
    m_stripScroll->setAccessibleName(tr("Channel strips"));
    m_indicator->setAccessibleDescription(tr("Connection to the unit"));
    m_matrix->setTitles(tr("INPUTS"), tr("OUTPUTS"));
    m_matrix->setLegend(tr("CHANNEL OPEN"), tr("CHANNEL CLOSED"));
    updateIndicator();
}

void MainView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void MainView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Theme::instance().window);
}

} // namespace sonaro::ui
