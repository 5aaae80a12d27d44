#pragma once

#include "link/Delivery.h"
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
#include "mixer/UndoHistory.h"
#include "model/UnitTable.h"
#include "store/DataDirectory.h"
#include "store/Database.h"
#include "store/GroupStore.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace sonaro {

class Discovery;
class EventLogSources;
class GroupEditor;
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

// Everything the desktop program, sonaroctl and the server share, wired together: the unit
// records, the database, the link with its dispatcher, session and delivery, the control surface,
// the file actions and the undo history. Owned by the main thread. Windows and programs reach
// the unit through the surface, the file actions, the session's connection calls and the intent
// calls below, and hear about it through the signals below; the link, its state, the dispatcher
// and the database stay inside.
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
    // The desktop's close: the edits still noted are handed over (aboutToLeaveUnit), the link
    // sends them at its own pace for at most kCloseDeliveryMs, then closeSequence() runs and
    // done() is called. Nothing waits on the event loop.
    static constexpr int kCloseDeliveryMs = 3000;
    void closeAfterDelivery(const std::function<void()>& done);

    DataDirectory& dataDirectory() { return m_dataDir; }
    UnitTable& table() { return m_table; }
    Session& session() { return m_session; }
    ControlSurface& surface() { return m_surface; }
    FileActions& files() { return m_files; }
    Delivery& delivery() { return m_delivery; }
    UndoHistory& undo() { return m_undo; }
    // Where editors and windows hand their commands.
    CommandPort& commandPort() { return m_port; }
    OperatorInterface& operatorInterface() { return m_op; }
    // What happened, time-stamped: connection, logins, messages shown, files, storage.
    EventLog& eventLog() { return m_eventLog; }

    // --- the link, as windows and programs see it -----------------------------------------------
    QString deviceAddress() const { return m_state.deviceAddress; }
    quint16 port() const { return m_state.port; }
    QHostAddress bindAddress() const { return m_state.bindAddress; }
    const LinkTimings& timings() const { return m_state.timings; }
    // Status frames arrive.
    bool indicatorOn() const { return m_state.indicatorOn; }
    int droppedFrames() const { return m_dispatcher.droppedCount(); }

    // --- cascades -------------------------------------------------------------------------------
    // How many units the chain has, as the last login (or the state file) reported; at least 1.
    int unitCount() const;
    // The unit every page, editor, command and intent works on. Choosing one outside
    // 1..unitCount() is refused (false). The choice is kept for the next start.
    int currentUnit() const { return m_table.currentUnit(); }
    bool setCurrentUnit(int unit, bool remember = true);
    // The operator's name of a unit; empty when it has none.
    QString unitName(int unit);
    bool renameUnit(int unit, const QString& name);
    // Live levels and open states come from the status stream, which describes the first unit
    // only; the others' are unknown.
    static bool hasLiveLevels(int unit) { return unit == 1; }

    // --- intents --------------------------------------------------------------------------------
    // One setting of the catalogue to a stored value (held to its range), through the same
    // control or editor action as the desktop's: linked channels follow, the same permission
    // rules apply, the change is delivered and confirmed as every other. Channel names and the
    // groups have calls of their own.
    Outcome applySetting(const ChangeId& id, double stored);

    // --- names and groups -----------------------------------------------------------------------
    // Whether the database of names and groups could be opened, and whether it keeps them in
    // its file (not only in memory after a damaged file was refused).
    bool hasDatabase() const { return m_db.isConnected(); }
    bool databaseOnDisk() const { return m_db.storesToFile(); }
    // No unit has been connected in this data directory yet (as far as its files tell): the
    // program shows factory values until one is.
    bool firstRun() const { return m_firstRun; }
    // Number of group tabs (the first one lists the strips in no group), at most six.
    int groupTabCount();
    PageLayout pageLayout(int page);
    GroupTable groupTable();
    GroupTable groupTable(int unit);
    std::optional<QString> channelName(ChannelKind kind, int channel);
    std::optional<QString> channelName(int unit, ChannelKind kind, int channel);
    // Stores a new name; the delivery confirms it once the database gave it back.
    QString renameChannel(ChannelKind kind, int channel, const QString& current,
                          const QString& wanted);
    // The group dialog's logic over the stored groups, editing table.
    std::unique_ptr<GroupEditor> groupEditor(GroupTable& table);

    // --- connecting -----------------------------------------------------------------------------
    // A unit the search listed: the link talks to address from now on (kept in ip.ini), and the
    // record takes the unit's account names as listed.
    void useListedUnit(const QString& address, const QString& adminName, const QString& userName);
    // The search dialog's sweep and the login dialog's check, on the link's port and address.
    Discovery* createDiscovery(QObject* parent);
    std::unique_ptr<LoginCheck> createLoginCheck();

signals:
    // The program closes or the operator disconnects: editors hand over what they still hold.
    void aboutToLeaveUnit();
    // What the unit reported, as the dispatcher tells it.
    void indicatorChanged(bool on);
    void unitsReported(int unitCount);
    void loginAccepted(int unitCount);
    void loginRefused();
    void reloggedIn();
    void linkDropped();
    void addressReported(const QString& address, quint16 port);
    void levelsChanged();
    void stateChanged();
    void eqReceived(int unit, int slot);
    void dynamicsReceived(int unit, int output);
    void frameDropped(const QByteArray& frame, const QString& reason);
    void streamOffRepeated();
    // Another unit of the cascade is shown now.
    void currentUnitChanged(int unit);
    void socketError(const QString& message);
    // Every datagram both ways, for traces and monitors.
    void datagramSent(const QByteArray& frame);
    void datagramReceived(const QByteArray& frame, const QHostAddress& sender, quint16 port);

private:
    void wire();
    // The start-up state file, logged as such.
    bool readStateFile();
    bool writeStateFile();
    // Offline work is written at once (bounded in rate): data.ini holds the values, offline.ini
    // names the changes.
    void readOfflineChanges();
    void writeOfflineChanges();
    void saveOfflineWork();
    bool prepareChannelRows();

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
    Delivery m_delivery;
    Session m_session;
    LinkCommandPort m_port;
    ControlSurface m_surface;
    FileActions m_files;
    UndoHistory m_undo;
    EventLogSources* m_sources = nullptr;
    QTimer m_offlineSave;
    bool m_started = false;
    bool m_firstRun = false;
};

} // namespace sonaro
