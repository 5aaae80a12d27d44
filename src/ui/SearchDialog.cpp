#include "ui/SearchDialog.h"

#include "link/Discovery.h"
#include "mixer/SonaroCore.h"
#include "model/HostAddressRules.h"
#include "model/UnitRecord.h"
#include "ui/LoginDialog.h"
#include "ui/MessageLine.h"
#include "ui/kit/Theme.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace sonaro::ui {

namespace {

constexpr int kLastHost = 254;
constexpr int kListHeight = 240;
constexpr int kButtonWidth = 88;
constexpr std::array<int, 4> kColumnWidths = {150, 100, 100, 100};
constexpr int kNetworkListWidth = 260;

} // namespace

// --- SearchDialog ----------------------------------------------------------------------------

SearchDialog::SearchDialog(SonaroCore& core, QWidget* parent) : QDialog(parent), m_core(core)
{
    const Theme& theme = Theme::instance();
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_discovery = core.createDiscovery(this);
    connect(m_discovery, &Discovery::progress, this,
            [this](int host) { m_progress->setValue(host); });
    connect(m_discovery, &Discovery::unitFound, this, &SearchDialog::addRow);
    connect(m_discovery, &Discovery::finished, this, &SearchDialog::searchFinished);

    m_list = new QTreeWidget(this);
    m_list->setColumnCount(4);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumHeight(kListHeight);
    for (int c = 0; c < static_cast<int>(kColumnWidths.size()); ++c)
        m_list->setColumnWidth(c, kColumnWidths[static_cast<std::size_t>(c)]);
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setFont(theme.font(11, true));
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &SearchDialog::openSelected);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &SearchDialog::updateButtons);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, kLastHost);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(6);
    // Keeps its place in the layout while hidden, so the dialog does not jump.
    QSizePolicy keep = m_progress->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(keep);
    m_progress->hide();

    m_networkLabel = new QLabel(this);
    m_networkLabel->setFont(theme.font(12, true));
    m_network = new QComboBox(this);
    m_network->setMinimumWidth(kNetworkListWidth);
    m_networkLabel->setBuddy(m_network);

    m_addressLabel = new QLabel(this);
    m_addressLabel->setFont(theme.font(12, true));
    m_address = new IpAddressEdit(this);
    m_address->setAddress(core.deviceAddress());
    m_addressLabel->setBuddy(m_address);

    m_search = new QPushButton(this);
    m_open = new QPushButton(this);
    m_offline = new QPushButton(this);
    m_ok = new QPushButton(this);
    m_cancel = new QPushButton(this);
    for (QPushButton* b : {m_search, m_open, m_offline, m_ok, m_cancel}) {
        b->setMinimumWidth(kButtonWidth);
        b->setAutoDefault(false);
    }
    m_ok->setDefault(true);
    connect(m_search, &QPushButton::clicked, this, &SearchDialog::startSearch);
    connect(m_open, &QPushButton::clicked, this, &SearchDialog::openSelected);
    connect(m_offline, &QPushButton::clicked, this, &SearchDialog::goOffline);
    connect(m_ok, &QPushButton::clicked, this, &SearchDialog::openTyped);
    connect(m_cancel, &QPushButton::clicked, this, &SearchDialog::reject);

    auto* networkRow = new QHBoxLayout;
    networkRow->setSpacing(12);
    networkRow->addWidget(m_networkLabel);
    networkRow->addWidget(m_network);
    networkRow->addStretch();
    auto* addressRow = new QHBoxLayout;
    addressRow->setSpacing(12);
    addressRow->addWidget(m_addressLabel);
    addressRow->addWidget(m_address);
    addressRow->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_search);
    buttons->addWidget(m_open);
    buttons->addWidget(m_offline);
    buttons->addStretch();
    buttons->addSpacing(24);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 14);
    layout->setSpacing(10);
    layout->addLayout(networkRow);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_progress);
    layout->addLayout(addressRow);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    // "Search finished." and the like: said here, not in a box of their own.
    layout->addWidget(new MessageLine(this));

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme.panel);
    setPalette(palette);
    setAutoFillBackground(true);
    resize(sizeHint().expandedTo(
        QSize(std::accumulate(kColumnWidths.begin(), kColumnWidths.end(), 0) + 60, 0)));
    setInterfaces(systemInterfaceAddresses());
    retranslate();
    updateButtons();
}

SearchDialog::~SearchDialog() = default;

void SearchDialog::setInterfaces(std::vector<InterfaceAddress> interfaces)
{
    m_discovery->setInterfaces(std::move(interfaces));
    fillNetworks();
}

void SearchDialog::fillNetworks()
{
    const SweepChoices choices = m_discovery->sweepChoices();
    // A language switch lists them again: the operator's choice stays.
    const QString chosen = m_network->currentData().toString();
    QSignalBlocker block(m_network);
    m_network->clear();
    for (const SweepNetwork& n : choices.networks) {
        QString label = sweepNetworkLabel(n);
        if (n.holdsDefaultRoute) label += QLatin1Char(' ') + tr("(default route)");
        m_network->addItem(label, n.address.toString());
        const quint32 ip = n.address.toIPv4Address();
        const QString network =
            QStringLiteral("%1.%2.%3").arg(ip >> 24).arg((ip >> 16) & 0xFF).arg((ip >> 8) & 0xFF);
        m_network->setItemData(m_network->count() - 1,
                               tr("Probes the hosts of %1.0/24.").arg(network), Qt::ToolTipRole);
    }
    const int kept = chosen.isEmpty() ? -1 : m_network->findData(chosen);
    m_network->setCurrentIndex(kept >= 0 ? kept : choices.defaultIndex);
}

bool SearchDialog::isSearching() const
{
    return m_discovery->isRunning();
}

void SearchDialog::startSearch()
{
    if (isSearching()) return;
    m_list->clear();
    m_progress->setValue(0);
    m_discovery->setSweepAddress(QHostAddress(m_network->currentData().toString()));
    if (!m_discovery->start()) {
        // No network, or the port is held by another program: say which and why.
        m_core.operatorInterface().showMessage(Severity::Error, m_discovery->errorText());
        return;
    }
    m_progress->show();
    updateButtons();
}

void SearchDialog::addRow(const DiscoveredUnit& unit)
{
    auto* item = new QTreeWidgetItem(m_list);
    item->setText(kAddressColumn, unit.address);
    item->setText(kPortColumn, unit.port);
    item->setText(kFirstNameColumn, unit.firstName);
    item->setText(kSecondNameColumn, unit.secondName);
    if (!m_list->currentItem()) m_list->setCurrentItem(item);
}

void SearchDialog::searchFinished()
{
    m_progress->hide();
    updateButtons();
}

void SearchDialog::updateButtons()
{
    const bool searching = isSearching();
    m_search->setEnabled(!searching);
    m_network->setEnabled(!searching);
    m_open->setEnabled(!searching && !m_list->selectedItems().isEmpty());
    m_offline->setEnabled(!searching);
    m_ok->setEnabled(!searching);
    m_cancel->setEnabled(!searching);
}

void SearchDialog::useAddress(const QString& address)
{
    m_core.session().useDeviceAddress(address);
}

void SearchDialog::login(const QString& proposedName)
{
    LoginDialog dialog([this] { return m_core.createLoginCheck(); }, proposedName,
                       m_core.operatorInterface(), this);
    emit loginDialogOpened(&dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    m_core.session().storeLogin(dialog.name(), dialog.password());
    m_mode = OpenMode::Open;
    accept();
}

void SearchDialog::openSelected()
{
    if (isSearching()) return;
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    // Nothing listed or nothing chosen: there is no unit to open.
    if (selected.isEmpty()) return;
    const QTreeWidgetItem* row = selected.front();
    const QString address = row->text(kAddressColumn);
    m_address->setAddress(address);
    m_core.useListedUnit(address, row->text(kFirstNameColumn), row->text(kSecondNameColumn));
    login(row->text(kFirstNameColumn));
}

void SearchDialog::openTyped()
{
    if (isSearching()) return;
    quint32 typed = 0;
    if (!parseIpv4(m_address->text(), &typed)) {
        // An emptied part is not read as 0: there is no unit to open at half an address.
        m_core.operatorInterface().showMessage(
            Severity::Error, tr("Type all four parts of the address, each 0 to 255."));
        return;
    }
    useAddress(m_address->text());
    login(QString::fromStdString(accountText(m_core.table().current().adminName)));
}

void SearchDialog::goOffline()
{
    // The sweep holds the link port: the dialog ends only once it is free again.
    if (isSearching()) return;
    m_mode = OpenMode::Offline;
    accept();
}

void SearchDialog::reject()
{
    if (isSearching()) return;
    m_mode = OpenMode::Cancel;
    QDialog::reject();
}

void SearchDialog::closeEvent(QCloseEvent* event)
{
    if (isSearching()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void SearchDialog::retranslate()
{
    setWindowTitle(tr("SEARCH"));
    m_list->setAccessibleName(tr("Units found"));
    m_list->setHeaderLabels({tr("DEVICE IP"), tr("PORT"), tr("USERNAME1"), tr("USERNAME2")});
    m_networkLabel->setText(tr("NETWORK"));
    fillNetworks();
    m_addressLabel->setText(tr("IPAddr"));
    m_search->setText(tr("SEARCH"));
    m_open->setText(tr("OPEN"));
    m_offline->setText(tr("OFFLINE"));
    m_ok->setText(tr("OK"));
    m_cancel->setText(tr("Cancel"));
}

void SearchDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
