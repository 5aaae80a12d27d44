#include "mixer/SonaroCore.h"

#include "dsp/DspCommands.h"
#include "link/AddressFile.h"
#include "link/Discovery.h"
#include "mixer/EditorDelivery.h"
#include "mixer/EventLogSources.h"
#include "store/DeviceRegistry.h"
#include "store/GroupDialogModel.h"
#include "store/GroupStore.h"

#include "model/SavedFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace sonaro {

SonaroCore::SonaroCore(OperatorInterface& op, const CoreOptions& options, QObject* parent)
    : QObject(parent), m_messages(op, m_eventLog),
      m_fileMessages(op, m_eventLog, EventKind::Preset),
      m_storageMessages(op, m_eventLog, EventKind::Storage), m_op(m_messages), m_options(options),
      m_dataDir(DataDirectory::resolve(options.dataDirectory)), m_state(m_table, options.timings),
      m_db(m_storageMessages, m_dataDir.databasePath()), m_link(m_state),
      m_dispatcher(m_state, m_link, m_op), m_session(m_state, m_link, m_dispatcher, m_op),
      m_port(m_link, m_state, &m_session.deliveries()), m_surface(m_table, m_port, m_op),
      m_files(m_table, m_surface, m_fileMessages)
{
    if (!options.logFile.isEmpty())
        m_logFile = std::make_unique<EventLogFile>(m_eventLog, m_dataDir.filePath(options.logFile));
    new EventLogSources(*this);
    // Storage failures after the first of their kind are told only here, never by a box.
    connect(&m_db, &Database::storageProblem, this,
            [this](const QString& text) { m_eventLog.addText(EventKind::Storage, text); });
    m_link.setFrameBuilder(
        'E', [](const UnitRecord& r, int unit, int slot) { return buildE(r, unit, slot); });
    m_link.setFrameBuilder(
        'B', [](const UnitRecord& r, int unit, int output) { return buildB(r, unit, output); });
    // The store keeps what the unit reports.
    connect(&m_dispatcher, &Dispatcher::unitsReported, this,
            [this](int count) { DeviceRegistry(m_db).ensureChannelRows(count); });
    connect(&m_dispatcher, &Dispatcher::linkTableReported, this,
            [this](const LinkTable& table) { GroupStore(m_db).storeLinkTable(table); });
    connect(&m_dispatcher, &Dispatcher::groupsChanged, &m_surface, &ControlSurface::reloadGroups);
    connect(&m_dispatcher, &Dispatcher::stateChanged, &m_surface, &ControlSurface::refreshNeeded);
    // Messages that say "done" wait for the unit's confirmation.
    connect(&m_session, &Session::changeConfirmed, &m_surface, &ControlSurface::changeConfirmed);
    connect(&m_session, &Session::changeNotDelivered, &m_surface,
            &ControlSurface::changeNotDelivered);
    connect(&m_session.deliveries(), &DeliveryTracker::valuesTaken, &m_surface,
            &ControlSurface::refreshNeeded);
    connect(&m_session.deliveries(), &DeliveryTracker::linkTableTaken, this,
            [this](int, const LinkTable& table) {
                GroupStore(m_db).storeLinkTable(table);
                m_surface.reloadGroups();
            });
    m_surface.setDatabase(&m_db);
    m_files.setDatabase(&m_db);
}

SonaroCore::~SonaroCore() = default;

bool SonaroCore::start()
{
    m_db.openDatabase();
    m_table.clear();

    m_state.addressFilePath = m_dataDir.addressFilePath();
    const AddressFileEntry entry = readAddressFile(m_state.addressFilePath);
    m_state.deviceAddress = !m_options.deviceAddress.isEmpty() ? m_options.deviceAddress : entry.ip;
    m_state.port = m_options.port >= 0 ? static_cast<quint16>(m_options.port) : entry.port;
    const QString bind = !m_options.bindAddress.isEmpty() ? m_options.bindAddress : entry.bind;
    if (!bind.isEmpty()) m_state.bindAddress = QHostAddress(bind);

    if (m_options.readStateFile) readStateFile();
    m_table.initialiseAccounts();
    m_surface.reloadGroups();
    emit m_surface.refreshNeeded();
    const bool started = m_session.start();
    if (m_options.readStateFile) readOfflineChanges();
    return started;
}

void SonaroCore::disconnectUnit()
{
    emit aboutToLeaveUnit();
    writeStateFile();
    m_session.disconnect();
}

void SonaroCore::closeSequence()
{
    writeStateFile();
    m_session.shutdown();
}

void SonaroCore::closeAfterDelivery(const std::function<void()>& done)
{
    emit aboutToLeaveUnit();
    if (!m_link.isRunning() || m_link.isIdle()) {
        closeSequence();
        done();
        return;
    }
    auto* poll = new QTimer(this);
    const auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    poll->setInterval(std::max(1, m_options.timings.sendPause));
    connect(poll, &QTimer::timeout, this, [this, poll, clock, done] {
        if (!m_link.isIdle() && clock->elapsed() < kCloseDeliveryMs) return;
        poll->stop();
        poll->deleteLater();
        closeSequence();
        done();
    });
    poll->start();
}

} // namespace sonaro

namespace sonaro {

int SonaroCore::groupTabCount()
{
    const DbRows rows = m_db.openQuery(QStringLiteral("select GroupID from Group1"));
    return std::min(static_cast<int>(rows.size()), 6);
}

PageLayout SonaroCore::pageLayout(int page)
{
    return GroupStore(m_db).computePageLayout(page, m_table.currentUnit());
}

std::optional<QString> SonaroCore::channelName(ChannelKind kind, int channel)
{
    return DeviceRegistry(m_db).channelName(m_table.currentUnit(), kind, channel);
}

QString SonaroCore::renameChannel(ChannelKind kind, int channel, const QString& current,
                                  const QString& wanted)
{
    return DeviceRegistry(m_db).renameChannel(m_table.currentUnit(), kind, channel, current,
                                              wanted);
}

std::unique_ptr<GroupDialogModel> SonaroCore::groupDialogModel(GroupTable& table)
{
    return std::make_unique<GroupDialogModel>(m_db, m_op, table);
}

namespace {

// Without the filler, cut at 7 characters, the rest of the field zero.
void storeListedName(char (&field)[kAccountLength], const QString& name)
{
    const QByteArray bytes = name.toLatin1().left(kAccountLength);
    std::memset(field, 0, kAccountLength);
    std::memcpy(field, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

void SonaroCore::useListedUnit(const QString& address, const QString& adminName,
                               const QString& userName)
{
    m_session.useDeviceAddress(address);
    UnitRecord& record = m_table.current();
    storeListedName(record.adminName, adminName);
    storeListedName(record.userName, userName);
}

Discovery* SonaroCore::createDiscovery(QObject* parent)
{
    return new Discovery(m_state, m_op, parent);
}

std::unique_ptr<LoginCheck> SonaroCore::createLoginCheck()
{
    return std::make_unique<LoginCheck>(m_state);
}

} // namespace sonaro

namespace sonaro {

bool SonaroCore::readStateFile()
{
    const LoggingOperator::KindScope kind(m_fileMessages, EventKind::StateFile);
    const QString path = m_dataDir.stateFilePath();
    const bool loaded = m_files.readStartupState(path);
    if (loaded)
        m_eventLog.add(EventKind::StateFile,
                       QT_TRANSLATE_NOOP("sonaro::EventLog", "Settings read from %1"), {path});
    return loaded;
}

bool SonaroCore::writeStateFile()
{
    const LoggingOperator::KindScope kind(m_fileMessages, EventKind::StateFile);
    const QString path = m_dataDir.stateFilePath();
    const bool written = m_files.writeStateFile(path);
    if (written) {
        m_eventLog.add(EventKind::StateFile,
                       QT_TRANSLATE_NOOP("sonaro::EventLog", "Settings written to %1"), {path});
        writeOfflineChanges();
    }
    return written;
}

// offline.ini: one line per change, "<unit> <name>", the names the delivery tracker gives.
void SonaroCore::writeOfflineChanges()
{
    const QString path = m_dataDir.offlineFilePath();
    QByteArray text;
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        for (const QString& name : m_session.deliveries().offlineChanges(unit))
            text += QByteArray::number(unit) + ' ' + name.toUtf8() + '\n';
    // The editors' blocks (EQ, dynamics) of the unit shown, "editor" in front of their names.
    for (const QString& name : EditorDelivery::of(m_surface, m_port).waitingChanges())
        text += QByteArray::number(m_surface.unit()) + " editor " + name.toUtf8() + '\n';
    if (text.isEmpty()) {
        QFile::remove(path);
        return;
    }
    text.prepend("# Settings changed without a unit; they wait for the next login.\n");
    const QString problem = saveWholeFile(path, text);
    if (!problem.isEmpty()) m_eventLog.addText(EventKind::StateFile, saveFailText(problem));
}

void SonaroCore::readOfflineChanges()
{
    QFile file(m_dataDir.offlineFilePath());
    if (!file.open(QIODevice::ReadOnly)) return;
    std::map<int, QStringList> names;
    QStringList editorNames;
    // A few hundred names at most; anything longer is not ours.
    constexpr qint64 kMaxBytes = 64 * 1024;
    const QList<QByteArray> lines = file.read(kMaxBytes).split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty() || line.startsWith('#')) continue;
        const qsizetype space = line.indexOf(' ');
        bool ok = false;
        const int unit = line.left(space).toInt(&ok);
        if (space < 0 || !ok || !UnitTable::isValidUnit(unit)) continue;
        const QString name = QString::fromUtf8(line.mid(space + 1)).trimmed();
        if (name.startsWith(QLatin1String("editor ")))
            editorNames << name.mid(7);
        else
            names[unit] << name;
    }
    // No unit is connected at start: the editors' changes wait for the next login's state.
    EditorDelivery::of(m_surface, m_port).restoreWaiting(editorNames);
    const LinkTable groups = GroupStore(m_db).sendLinkTable();
    for (const auto& [unit, list] : names)
        m_session.deliveries().restoreOfflineChanges(unit, list, groups);
    if (!names.empty() || !editorNames.isEmpty())
        m_eventLog.add(EventKind::StateFile,
                       QT_TRANSLATE_NOOP("sonaro::EventLog",
                                         "Settings changed offline wait for the next login: %1"),
                       {(m_session.deliveries().unconfirmedChanges() + editorNames)
                            .join(QStringLiteral(", "))});
}

} // namespace sonaro
