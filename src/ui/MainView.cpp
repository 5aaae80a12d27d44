#include "ui/MainView.h"

#include "model/HostAddressRules.h"
#include "store/GroupDialogModel.h"
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
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
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
    const bool firstRun =
        core.hasDatabase() && !core.channelName(ChannelKind::Input, 0).has_value();
    if (firstRun) core.deviceRegistry().ensureChannelRows(1);

    // Channel page: the group tabs above the strips, which share the page's width (centred
    // once they reach their widest).
    m_channelPage = new QWidget(this);
    m_tabs = new GroupTabBar(m_channelPage);
    m_firstRun = new FirstRunPanel(m_channelPage);
    m_firstRun->setVisible(firstRun);
    connect(m_firstRun, &FirstRunPanel::searchRequested, this, &MainView::connectUnit);
    connect(m_firstRun, &FirstRunPanel::addressEntered, this, &MainView::connectToAddress);
    connect(m_firstRun, &FirstRunPanel::offlineChosen, m_firstRun, &QWidget::hide);
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
        auto* strip = new InputStrip(surface, ch, m_stripArea);
        strip->hide();
        connect(strip, &ChannelStrip::renameRequested, this,
                [this](int c) { renameStrip(ChannelKind::Input, c); });
        connect(strip, &InputStrip::eqRequested, this, &MainView::inputEqRequested);
        m_inputs[static_cast<std::size_t>(ch)] = strip;
    }
    for (int out = 0; out < kOutputCount; ++out) {
        auto* strip = new OutputStrip(surface, out, m_stripArea);
        strip->hide();
        connect(strip, &ChannelStrip::renameRequested, this,
                [this](int c) { renameStrip(ChannelKind::Output, c); });
        connect(strip, &OutputStrip::eqRequested, this, &MainView::outputEqRequested);
        connect(strip, &OutputStrip::limiterRequested, this, &MainView::limiterRequested);
        m_outputs[static_cast<std::size_t>(out)] = strip;
    }

    // Matrix page.
    m_matrix = new MatrixGrid(this);
    m_matrix->setGridSize(kInputCount, kOutputCount);
    m_matrix->setRowLabels({QStringLiteral("M1"), QStringLiteral("M2")});
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
    connect(&core.dispatcher(), &Dispatcher::indicatorChanged, this, &MainView::updateIndicator);
    connect(&core.dispatcher(), &Dispatcher::unitsReported, this, &MainView::refreshFromState);
    connect(&core.session(), &Session::connectionChanged, this, [this](Connection c) {
        // A unit logged in: the first-run offer has done its work. Leaving the unit: lamps and
        // meters show no stale life.
        if (isLoggedIn(c)) m_firstRun->hide();
        refreshFromState();
    });
    connect(&core.session(), &Session::connectionChanged, this, &MainView::leaveAdministratorPages);

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
    header->addStretch();
    m_unitLabel = new QLabel(this);
    m_unitLabel->setFont(theme.font(13, true));
    header->addWidget(m_unitLabel);
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
    m_actions.exit->setShortcut(QKeySequence::Quit);
    m_actions.channels = make(&MainView::showChannelsPage);
    m_actions.matrix = make(&MainView::showMatrixPage);
    m_actions.system = make(&MainView::showSystemPage);

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

bool MainView::administrator()
{
    const bool allowed = m_core.surface().requireAdministrator();
    syncHighlight(); // a refused button does not stay lit
    return allowed;
}

void MainView::showChannelsPage()
{
    showPage(ChannelsPage);
}

void MainView::showMatrixPage()
{
    if (!administrator()) return;
    showPage(MatrixPage);
}

void MainView::showSystemPage()
{
    if (!administrator()) return;
    showPage(SystemSettingsPage);
}

void MainView::leaveAdministratorPages()
{
    // Every login is checked, not only the page's opening: a user does not keep them open.
    const bool administratorPage = m_page == MatrixPage || m_page == SystemSettingsPage;
    if (administratorPage && m_core.table().current().accountLevel != 1) showChannelsPage();
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
    m_indicator->setState(m_core.session().connection(), m_core.indicatorOn());
    const UnitRecord& r = m_core.table().current();
    m_unitLabel->setText(r.connected ? m_core.deviceAddress() : tr("Offline"));
}

void MainView::connectUnit()
{
    Session& session = m_core.session();
    if (!session.beginConnect()) return;
    SearchDialog dialog(m_core, this);
    dialog.exec();
    session.finishConnect(dialog.openMode());
    refreshFromState();
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
    if (!session.beginConnect()) return;
    session.useDeviceAddress(address);
    LoginDialog dialog([this] { return m_core.createLoginCheck(); },
                       QString::fromStdString(accountText(m_core.table().current().adminName)),
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
    GroupTable table = m_core.groupStore().loadGroupTable();
    const std::unique_ptr<GroupDialogModel> model = m_core.groupDialogModel(table);
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
    m_actions.matrix->setText(tr("MATRIX"));
    m_actions.system->setText(tr("SYSTEM", "menu"));
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
