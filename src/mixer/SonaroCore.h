#pragma once

#include "link/Dispatcher.h"
#include "link/Link.h"
#include "link/LinkState.h"
#include "link/Session.h"
#include "mixer/ControlSurface.h"
#include "mixer/EventLog.h"
#include "mixer/EventLogFile.h"
#include "mixer/FileActions.h"
#include "mixer/LinkCommandPort.h"
#include "mixer/LoggingOperator.h"
#include "model/UnitTable.h"
#include "store/DataDirectory.h"
#include "store/Database.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace sonaro {

class Discovery;
class GroupDialogModel;
class LoginCheck;

struct CoreOptions
{
    QString dataDirectory;     // empty: resolved as DataDirectory::resolve() does
    QString bindAddress;       // empty: ip.ini's bind key, else any address
    QString deviceAddress;     // empty: ip.ini's ip
    int port = -1;             // -1: ip.ini's host (5000 when absent)
    bool readStateFile = true; // the desktop program reads data.ini at start-up
    LinkTimings timings;
    // The event log's file (a bare name lies in the data directory); empty: none.
    QString logFile;
};

// Everything the desktop program and sonaroctl share, wired together: the unit records, the
// database, the link with its dispatcher and session, the control surface and the file actions.
// Owned by the main thread. Windows reach the unit through the surface, the file actions and the
// session, and the stored names and groups through the calls below; never through the link
// state, the link or the database themselves.
class SonaroCore : public QObject
{
    Q_OBJECT

public:
    SonaroCore(OperatorInterface& op, const CoreOptions& options, QObject* parent = nullptr);
    ~SonaroCore() override;

    // Start-up: opens the database, reads ip.ini and the start-up state file, sets the start-up
    // accounts, starts the link and its ticks. Nothing is sent until the operator connects.
    bool start();
    // Disconnect: writes the state file, status stream off twice, every unit not connected.
    void disconnectUnit();
    // Close: writes the state file, sends L 0 and stops the link.
    void closeSequence();
    // The desktop's close: the editors hand over the edits they still hold (aboutToLeaveUnit),
    // the link sends them at its own pace for at most kCloseDeliveryMs, then closeSequence()
    // runs and done() is called. Nothing waits on the event loop.
    static constexpr int kCloseDeliveryMs = 3000;
    void closeAfterDelivery(const std::function<void()>& done);

    DataDirectory& dataDirectory() { return m_dataDir; }
    UnitTable& table() { return m_table; }
    LinkState& linkState() { return m_state; }
    Database& database() { return m_db; }
    Link& link() { return m_link; }
    Dispatcher& dispatcher() { return m_dispatcher; }
    Session& session() { return m_session; }
    ControlSurface& surface() { return m_surface; }
    FileActions& files() { return m_files; }
    // Where editors and windows hand their commands: the link's paced queue.
    CommandPort& commandPort() { return m_port; }
    // Channel names and groups, for windows that list them.
    DeviceRegistry deviceRegistry() { return DeviceRegistry(m_db); }
    GroupStore groupStore() { return GroupStore(m_db); }
    OperatorInterface& operatorInterface() { return m_op; }
    // What happened, time-stamped: connection, logins, messages shown, files, storage.
    EventLog& eventLog() { return m_eventLog; }

    // --- for windows ----------------------------------------------------------------------------
    // The unit's address as the link uses it, and whether status frames arrive.
    QString deviceAddress() const { return m_state.deviceAddress; }
    bool indicatorOn() const { return m_state.indicatorOn; }
    // Whether the database of names and groups could be opened.
    bool hasDatabase() const { return m_db.isConnected(); }
    // Number of group tabs (the first one lists the strips in no group), at most six.
    int groupTabCount();
    PageLayout pageLayout(int page);
    std::optional<QString> channelName(ChannelKind kind, int channel);
    QString renameChannel(ChannelKind kind, int channel, const QString& current,
                          const QString& wanted);
    // The group dialog's model over the stored groups, editing table.
    std::unique_ptr<GroupDialogModel> groupDialogModel(GroupTable& table);
    // A unit the search listed: the link talks to address from now on (kept in ip.ini), and the
    // record takes the unit's account names as listed.
    void useListedUnit(const QString& address, const QString& adminName, const QString& userName);
    // The search dialog's sweep and the login dialog's check, on the link's port and address.
    Discovery* createDiscovery(QObject* parent);
    std::unique_ptr<LoginCheck> createLoginCheck();

signals:
    // The program closes or the operator disconnects: editors hand over what they still hold.
    void aboutToLeaveUnit();

private:
    // The start-up state file, logged as such.
    bool readStateFile();
    bool writeStateFile();
    // The names of the offline changes, beside data.ini that holds their values.
    void readOfflineChanges();
    void writeOfflineChanges();

    // Every message to the operator is logged on its way: the file actions' and the database's
    // under their own kinds.
    EventLog m_eventLog;
    LoggingOperator m_messages;
    LoggingOperator m_fileMessages;
    LoggingOperator m_storageMessages;
    std::unique_ptr<EventLogFile> m_logFile;
    OperatorInterface& m_op;
    CoreOptions m_options;
    DataDirectory m_dataDir;
    UnitTable m_table;
    LinkState m_state;
    Database m_db;
    Link m_link;
    Dispatcher m_dispatcher;
    Session m_session;
    LinkCommandPort m_port;
    ControlSurface m_surface;
    FileActions m_files;
};

} // namespace sonaro
