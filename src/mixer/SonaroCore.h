#pragma once

#include "link/Dispatcher.h"
#include "link/Link.h"
#include "link/LinkState.h"
#include "link/Session.h"
#include "mixer/ControlSurface.h"
#include "mixer/LinkCommandPort.h"
#include "model/UnitTable.h"
#include "store/DataDirectory.h"
#include "store/Database.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>

namespace sonaro {

struct CoreOptions
{
    QString dataDirectory;     // empty: resolved as DataDirectory::resolve() does
    QString bindAddress;       // empty: ip.ini's bind key, else any address
    QString deviceAddress;     // empty: ip.ini's ip
    int port = -1;             // -1: ip.ini's host (5000 when absent)
    bool readStateFile = true; // the desktop program reads data.ini at start-up
    LinkTimings timings;
};

// Everything the desktop program and sonaroctl share, wired together: the unit records, the
// database, the link with its dispatcher and session, and the control surface. Owned by the
// main thread.
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
    // Where editors and windows hand their commands: the link's paced queue.
    CommandPort& commandPort() { return m_port; }
    // Channel names and groups, for windows that list them.
    DeviceRegistry deviceRegistry() { return DeviceRegistry(m_db); }
    GroupStore groupStore() { return GroupStore(m_db); }
    OperatorInterface& operatorInterface() { return m_op; }

signals:
    // The program closes or the operator disconnects: editors hand over what they still hold.
    void aboutToLeaveUnit();

private:
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
};

} // namespace sonaro
