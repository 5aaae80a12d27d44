#pragma once

#include "link/NetworkInterfaces.h"
#include "link/Session.h"

#include "ui/IpAddressEdit.h"

#include <QDialog>
#include <QHostAddress>

#include <array>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace sonaro {
class Discovery;
class SonaroCore;
struct DiscoveredUnit;
} // namespace sonaro

namespace sonaro::ui {

class LoginDialog;

// The device search: lists the units that answer on the chosen network (one of the machine's
// IPv4 interfaces, the one holding the default route unless the operator picks another; the
// bound address's network when the link is bound), and ends with a unit opened (after a
// successful login), offline work or Cancel. The sweep runs on the event loop; while it runs the
// dialog cannot be closed and opens nothing. The link must be stopped while the dialog is open
// (Session::beginConnect).
class SearchDialog : public QDialog
{
    Q_OBJECT
public:
    enum Column
    {
        kAddressColumn = 0,
        kPortColumn,
        kFirstNameColumn,
        kSecondNameColumn
    };

    explicit SearchDialog(SonaroCore& core, QWidget* parent = nullptr);
    ~SearchDialog() override;

    sonaro::OpenMode openMode() const { return m_mode; }
    bool isSearching() const;
    // Lists the networks of these interface addresses instead of the machine's.
    void setInterfaces(std::vector<sonaro::InterfaceAddress> interfaces);

    QTreeWidget* list() const { return m_list; }
    QProgressBar* progressBar() const { return m_progress; }
    // The networks to sweep; each item's data is the interface address.
    QComboBox* networkList() const { return m_network; }
    IpAddressEdit* addressEdit() const { return m_address; }
    QPushButton* searchButton() const { return m_search; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* offlineButton() const { return m_offline; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

public slots:
    void startSearch();
    // OPEN and double-click: the selected row's unit.
    void openSelected();
    // OK: the typed address.
    void openTyped();
    void goOffline();
    void reject() override;

signals:
    // The login dialog is about to run (tests fill it in).
    void loginDialogOpened(sonaro::ui::LoginDialog* dialog);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addRow(const sonaro::DiscoveredUnit& unit);
    void searchFinished();
    void updateButtons();
    void useAddress(const QString& address);
    void login(const QString& proposedName);
    void fillNetworks();
    void retranslate();

    SonaroCore& m_core;
    Discovery* m_discovery = nullptr;
    sonaro::OpenMode m_mode = sonaro::OpenMode::Cancel;
    QTreeWidget* m_list = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_networkLabel = nullptr;
    QComboBox* m_network = nullptr;
    QLabel* m_addressLabel = nullptr;
    IpAddressEdit* m_address = nullptr;
    QPushButton* m_search = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_offline = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace sonaro::ui
