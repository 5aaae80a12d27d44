#include "mixer/SonaroCore.h"

#include "dsp/DspCommands.h"
#include "link/AddressFile.h"
#include "link/Discovery.h"
#include "link/LoginCheck.h"
#include "mixer/EventLogSources.h"
#include "mixer/GroupEditor.h"
#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/OfflineChangesFile.h"
#include "mixer/OutputEqEditor.h"
#include "model/SavedFile.h"
#include "model/ValueConventions.h"
#include "store/DeviceRegistry.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>
#include <cstring>

namespace sonaro {

namespace {

// Offline work reaches the disk at most this often.
constexpr int kOfflineSaveMs = 500;

} // namespace

SonaroCore::SonaroCore(OperatorInterface& op, const CoreOptions& options, QObject* parent)
    : QObject(parent), m_messages(op, m_eventLog),
      m_fileMessages(op, m_eventLog, EventKind::Preset),
      m_storageMessages(op, m_eventLog, EventKind::Storage), m_op(m_messages), m_options(options),
      m_dataDir(DataDirectory::resolve(options.dataDirectory)), m_state(m_table, options.timings),
      m_db(m_storageMessages, m_dataDir.databasePath()), m_link(m_state),
      m_dispatcher(m_state, m_link, m_op), m_delivery(m_state, m_link, m_op),
      m_session(m_state, m_link, m_dispatcher, m_delivery, m_op), m_port(m_delivery, m_state),
      m_surface(m_table, m_port, m_op), m_files(m_table, m_surface, m_fileMessages),
      m_undo(m_surface, m_port)
{
    if (!options.logFile.isEmpty())
        m_logFile = std::make_unique<EventLogFile>(m_eventLog, m_dataDir.filePath(options.logFile));
    m_dispatcher.setDelivery(&m_delivery);
    m_link.setFrameBuilder(
        'E', [](const UnitRecord& r, int unit, int slot) { return buildE(r, unit, slot); });
    m_link.setFrameBuilder(
        'B', [](const UnitRecord& r, int unit, int output) { return buildB(r, unit, output); });
    m_surface.setDatabase(&m_db);
    m_files.setDatabase(&m_db);
    // What the options name is known from the start; ip.ini fills in the rest at start().
    m_state.addressFilePath = m_dataDir.addressFilePath();
    if (!options.deviceAddress.isEmpty()) m_state.deviceAddress = options.deviceAddress;
    if (options.port >= 0) m_state.port = static_cast<quint16>(options.port);
    if (!options.bindAddress.isEmpty()) m_state.bindAddress = QHostAddress(options.bindAddress);
    m_offlineSave.setSingleShot(true);
    m_offlineSave.setInterval(kOfflineSaveMs);
    connect(&m_offlineSave, &QTimer::timeout, this, &SonaroCore::saveOfflineWork);
    wire();
    m_sources = new EventLogSources(*this);
}

SonaroCore::~SonaroCore() = default;

void SonaroCore::wire()
{
    // What the dispatcher and the link tell, as the core tells it.
    connect(&m_dispatcher, &Dispatcher::indicatorChanged, this, &SonaroCore::indicatorChanged);
    connect(&m_dispatcher, &Dispatcher::unitsReported, this, &SonaroCore::unitsReported);
    connect(&m_dispatcher, &Dispatcher::loginAccepted, this, &SonaroCore::loginAccepted);
    connect(&m_dispatcher, &Dispatcher::loginRefused, this, &SonaroCore::loginRefused);
    connect(&m_dispatcher, &Dispatcher::reloggedIn, this, &SonaroCore::reloggedIn);
    connect(&m_dispatcher, &Dispatcher::linkDropped, this, &SonaroCore::linkDropped);
    connect(&m_dispatcher, &Dispatcher::addressReported, this, &SonaroCore::addressReported);
    connect(&m_dispatcher, &Dispatcher::levelsChanged, this, &SonaroCore::levelsChanged);
    connect(&m_dispatcher, &Dispatcher::stateChanged, this, &SonaroCore::stateChanged);
    connect(&m_dispatcher, &Dispatcher::eqReceived, this, &SonaroCore::eqReceived);
    connect(&m_dispatcher, &Dispatcher::dynamicsReceived, this, &SonaroCore::dynamicsReceived);
    connect(&m_dispatcher, &Dispatcher::frameDropped, this, &SonaroCore::frameDropped);
    connect(&m_dispatcher, &Dispatcher::streamOffRepeated, this, &SonaroCore::streamOffRepeated);
    connect(&m_link, &Link::socketError, this, &SonaroCore::socketError);
    connect(&m_link, &Link::frameSent, this, &SonaroCore::datagramSent);
    connect(&m_link, &Link::frameReceived, this, &SonaroCore::datagramReceived);

    // The store keeps what the unit reports.
    connect(&m_dispatcher, &Dispatcher::unitsReported, this,
            [this](int count) { DeviceRegistry(m_db).ensureChannelRows(count); });
    connect(
        &m_dispatcher, &Dispatcher::linkTableReported, this,
        [this](int unit, const LinkTable& table) { GroupStore(m_db).storeLinkTable(table, unit); });
    connect(&m_dispatcher, &Dispatcher::groupsChanged, &m_surface, &ControlSurface::reloadGroups);
    // The windows repaint from the record.
    for (auto signal : {&Dispatcher::stateChanged})
        connect(&m_dispatcher, signal, &m_surface, &ControlSurface::refreshNeeded);
    connect(&m_delivery, &Delivery::valuesTaken, &m_surface, &ControlSurface::refreshNeeded);
    connect(&m_delivery, &Delivery::linkTableTaken, this, [this](int unit, const LinkTable& table) {
        GroupStore(m_db).storeLinkTable(table, unit);
        m_surface.reloadGroups();
    });
    // Messages that say "done" wait for the unit's confirmation.
    connect(&m_delivery, &Delivery::changeConfirmed, &m_surface, &ControlSurface::changeConfirmed);
    connect(&m_delivery, &Delivery::changeNotDelivered, &m_surface,
            &ControlSurface::changeNotDelivered);
    // Undo keeps its steps across the unit's reports; what the unit changed by itself leaves them.
    connect(&m_delivery, &Delivery::reportChanged, &m_undo, &UndoHistory::forget);
    connect(&m_surface, &ControlSurface::recordReplaced, &m_undo, &UndoHistory::clear);
    // Offline work goes to disk as it is made; a crash loses none of it.
    connect(&m_delivery, &Delivery::offlineChanged, &m_offlineSave, qOverload<>(&QTimer::start));
}

bool SonaroCore::start()
{
    m_db.openDatabase();
    m_table.clear();
    // Until a unit or the state file says otherwise, every unit holds what a unit holds when
    // it leaves the factory.
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        applyFactoryValues(m_table.record(unit));

    m_state.addressFilePath = m_dataDir.addressFilePath();
    const AddressFileEntry entry = readAddressFile(m_state.addressFilePath);
    m_state.deviceAddress = !m_options.deviceAddress.isEmpty() ? m_options.deviceAddress : entry.ip;
    m_state.port = m_options.port >= 0 ? static_cast<quint16>(m_options.port) : entry.port;
    const QString bind = !m_options.bindAddress.isEmpty() ? m_options.bindAddress : entry.bind;
    if (!bind.isEmpty()) m_state.bindAddress = QHostAddress(bind);

    const bool stateRead = m_options.readStateFile && readStateFile();
    if (m_options.readStateFile) {
        // The other units of a cascade, and the unit shown when the program last closed.
        for (int unit = 2; unit <= UnitTable::kMaxUnits; ++unit)
            if (QFileInfo::exists(m_dataDir.stateFilePath(unit)))
                m_files.readStartupState(m_dataDir.stateFilePath(unit), unit);
        const QSettings settings(m_dataDir.settingsFilePath(), QSettings::IniFormat);
        const int shown = settings.value(QStringLiteral("view/unit"), 1).toInt();
        if (shown > 1 && shown <= unitCount()) m_table.setCurrentUnit(shown);
    }
    // A unit that was connected leaves its number in the record the state file keeps.
    m_firstRun = prepareChannelRows() || !stateRead || m_table.record(1).unitNumber == 0;
    m_table.initialiseAccounts();
    m_surface.reloadGroups();
    emit m_surface.refreshNeeded();
    const bool started = m_session.start();
    if (m_options.readStateFile) readOfflineChanges();
    m_undo.clear();
    m_started = true;
    return started;
}

void SonaroCore::disconnectUnit()
{
    emit aboutToLeaveUnit();
    m_port.sendWaiting();
    writeStateFile();
    m_session.disconnect();
}

void SonaroCore::closeSequence()
{
    m_offlineSave.stop();
    writeStateFile();
    m_session.shutdown();
}

void SonaroCore::closeAfterDelivery(const std::function<void()>& done)
{
    emit aboutToLeaveUnit();
    m_port.sendWaiting();
    if (!m_link.isRunning() || m_link.isQueueIdle()) {
        closeSequence();
        done();
        return;
    }
    // The queue tells when it is empty; the limit ends the wait for a unit that keeps it busy.
    auto* limit = new QTimer(this);
    limit->setSingleShot(true);
    auto finished = std::make_shared<bool>(false);
    auto finish = [this, limit, finished, done] {
        if (std::exchange(*finished, true)) return;
        limit->deleteLater();
        closeSequence();
        done();
    };
    connect(limit, &QTimer::timeout, this, finish);
    connect(&m_link, &Link::queueIdle, limit, finish);
    limit->start(kCloseDeliveryMs);
}

// --- cascades --------------------------------------------------------------------------------

int SonaroCore::unitCount() const
{
    return std::clamp(static_cast<int>(m_table.record(1).unitCount), 1, UnitTable::kMaxUnits);
}

bool SonaroCore::setCurrentUnit(int unit, bool remember)
{
    if (unit < 1 || unit > unitCount()) return false;
    if (unit == m_table.currentUnit()) return true;
    // What the editors still hold belongs to the unit they were opened on.
    m_port.sendWaiting();
    m_table.setCurrentUnit(unit);
    if (remember) {
        QSettings settings(m_dataDir.settingsFilePath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("view/unit"), unit);
    }
    m_surface.reloadGroups();
    emit m_surface.recordReplaced();
    emit m_surface.refreshNeeded();
    emit currentUnitChanged(unit);
    return true;
}

QString SonaroCore::unitName(int unit)
{
    return DeviceRegistry(m_db).unitName(unit).value_or(QString());
}

bool SonaroCore::renameUnit(int unit, const QString& name)
{
    return UnitTable::isValidUnit(unit) && DeviceRegistry(m_db).renameUnit(unit, name);
}

// --- intents ---------------------------------------------------------------------------------

Outcome SonaroCore::applySetting(const ChangeId& id, double stored)
{
    if (!id.valid() || id.unit > unitCount()) return Outcome::Inapplicable;
    if (id.unit != m_table.currentUnit()) {
        // Another unit of the cascade: its controls act on it for this one change (its groups
        // with it), and the unit shown is shown again afterwards.
        const int shown = m_table.currentUnit();
        m_table.setCurrentUnit(id.unit);
        m_surface.reloadGroups();
        const Outcome outcome = applySetting(id, stored);
        m_table.setCurrentUnit(shown);
        m_surface.reloadGroups();
        return outcome;
    }
    const SettingRow& row = SettingCatalogue::row(id.setting);
    const auto [low, high] = SettingCatalogue::storedRange(id.setting);
    stored = std::clamp(stored, low, high);
    const auto [first, second] = SettingCatalogue::numbers(row.scope, id.index);
    const int channel = first - 1;
    const int band = second - 1;
    const bool on = stored != 0;
    const int db = gainToDb(static_cast<int>(std::lround(stored)));
    // A number set by a script changes nothing when the setting already has it.
    if (row.frame == 'V' && SettingCatalogue::storedValue(m_table.current(), id) == stored)
        return Outcome::Unchanged;
    ControlSurface& s = m_surface;
    switch (id.setting) {
    case SettingId::InputGain:
        // As the fader let go: the gain of a muted input is set too.
        return s.setInputGain(channel, db, Phase::Committed);
    case SettingId::InputMute:
        return s.setInputMute(channel, on);
    case SettingId::OutputGain:
        return s.setOutputGain(channel, db, Phase::Entered);
    case SettingId::OutputMute:
        return s.setOutputMute(channel, on);
    case SettingId::Threshold:
        return s.setThreshold(db);
    case SettingId::InputSource:
        return s.setInputLine(channel, on);
    case SettingId::InputPhantom:
        return s.setInputPhantom(channel, on);
    case SettingId::InputPriority:
        return s.setInputPriority(channel, on);
    case SettingId::OutputLevel:
        return s.setOutputLevelType(channel, on ? OutputLevel::Mic : OutputLevel::Line);
    case SettingId::AutomixMode:
        return s.setThresholdMode(on ? ThresholdMode::Manual : ThresholdMode::Auto);
    case SettingId::DeviceMode:
        return s.setDeviceMode(on ? DeviceMode::Master : DeviceMode::Slave);
    case SettingId::PanelLock:
        return s.setPanelLock(on);
    case SettingId::Crosspoint:
        return s.setCrosspoint(band, channel, on);
    case SettingId::MaxOpen:
        return s.setMaxOpenChannels(static_cast<int>(stored));
    case SettingId::HoldTime:
        return s.setHoldTime(static_cast<int>(stored) * kHoldTimeStepMs);
    case SettingId::InputEqFrequency:
    case SettingId::InputEqGain:
    case SettingId::InputEqQ:
    case SettingId::InputEqType:
    case SettingId::HighPass:
    case SettingId::LowPass: {
        // The input EQ window's own logic: the same linked channels, the same frames.
        InputEqEditor editor(s, m_port, m_op);
        editor.selectChannel(channel);
        const Outcome outcome =
            row.scope == SettingScope::InputBand
                ? editor.setBandValue(band, id.setting, stored)
                : editor.setFilter(id.setting == SettingId::HighPass, static_cast<int>(stored));
        editor.flush();
        return outcome;
    }
    case SettingId::OutputEqFrequency:
    case SettingId::OutputEqGain:
    case SettingId::OutputEqQ: {
        OutputEqEditor editor(s, m_port);
        editor.selectOutput(channel);
        const Outcome outcome = editor.setBandValue(band, id.setting, stored);
        editor.flush();
        return outcome;
    }
    case SettingId::LimiterEnable:
    case SettingId::LimiterThreshold:
    case SettingId::LimiterRatio:
    case SettingId::LimiterAttack:
    case SettingId::LimiterRelease: {
        LimiterEditor editor(s, m_port);
        editor.selectOutput(channel);
        const Outcome outcome = editor.setValue(id.setting, stored);
        editor.flush();
        return outcome;
    }
    default:
        return Outcome::Inapplicable;
    }
}

// --- names and groups -------------------------------------------------------------------------

bool SonaroCore::prepareChannelRows()
{
    if (!hasDatabase() || channelName(ChannelKind::Input, 0).has_value()) return false;
    DeviceRegistry(m_db).ensureChannelRows(1);
    return true;
}

int SonaroCore::groupTabCount()
{
    return GroupStore(m_db).tabCount();
}

PageLayout SonaroCore::pageLayout(int page)
{
    return GroupStore(m_db).computePageLayout(page, m_table.currentUnit());
}

GroupTable SonaroCore::groupTable()
{
    return groupTable(m_table.currentUnit());
}

GroupTable SonaroCore::groupTable(int unit)
{
    return GroupStore(m_db).loadGroupTable(unit);
}

std::optional<QString> SonaroCore::channelName(int unit, ChannelKind kind, int channel)
{
    return DeviceRegistry(m_db).channelName(unit, kind, channel);
}

std::optional<QString> SonaroCore::channelName(ChannelKind kind, int channel)
{
    return DeviceRegistry(m_db).channelName(m_table.currentUnit(), kind, channel);
}

QString SonaroCore::renameChannel(ChannelKind kind, int channel, const QString& current,
                                  const QString& wanted)
{
    const QString shown =
        DeviceRegistry(m_db).renameChannel(m_table.currentUnit(), kind, channel, current, wanted);
    const ChangeId id{m_table.currentUnit(),
                      kind == ChannelKind::Input ? SettingId::InputName : SettingId::OutputName,
                      channel};
    // A database in memory (the file could not be opened or written) keeps nothing.
    if (id.valid())
        m_delivery.localChangeDone(id, shown == wanted && m_db.storesToFile() &&
                                           channelName(kind, channel) == wanted);
    return shown;
}

std::unique_ptr<GroupEditor> SonaroCore::groupEditor(GroupTable& table)
{
    return std::make_unique<GroupEditor>(m_db, m_op, table, m_table.currentUnit());
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

// --- files -----------------------------------------------------------------------------------

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
    bool written = m_files.writeStateFile(path);
    // The other units of a cascade keep a file each.
    for (int unit = 2; unit <= unitCount(); ++unit)
        written = m_files.writeStateFile(m_dataDir.stateFilePath(unit), unit) && written;
    if (written) {
        m_eventLog.add(EventKind::StateFile,
                       QT_TRANSLATE_NOOP("sonaro::EventLog", "Settings written to %1"), {path});
        writeOfflineChanges();
    }
    return written;
}

void SonaroCore::saveOfflineWork()
{
    if (!m_started) return;
    const LoggingOperator::KindScope kind(m_fileMessages, EventKind::StateFile);
    bool written = m_files.writeStateFile(m_dataDir.stateFilePath());
    for (int unit = 2; unit <= unitCount(); ++unit)
        written = m_files.writeStateFile(m_dataDir.stateFilePath(unit), unit) && written;
    if (written) writeOfflineChanges();
}

void SonaroCore::writeOfflineChanges()
{
    QList<ChangeId> changes;
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        changes += m_delivery.offlineChanges(unit);
    const QString problem = OfflineChangesFile(m_dataDir.offlineFilePath()).write(changes);
    if (!problem.isEmpty()) m_eventLog.addText(EventKind::StateFile, saveFailText(problem));
}

void SonaroCore::readOfflineChanges()
{
    QStringList unknown;
    const QList<ChangeId> changes = OfflineChangesFile(m_dataDir.offlineFilePath()).read(&unknown);
    for (const QString& line : unknown)
        m_eventLog.add(EventKind::StateFile,
                       QT_TRANSLATE_NOOP("sonaro::EventLog",
                                         "offline.ini names nothing this version knows: %1"),
                       {line});
    if (changes.isEmpty()) return;
    // No unit is connected at start: the changes wait for the next login's reports.
    m_delivery.restoreOffline(changes,
                              [this](int unit) { return GroupStore(m_db).sendLinkTable(unit); });
    QStringList names;
    for (const ChangeId& id : changes)
        names << SettingCatalogue::label(id, Language::English);
    m_eventLog.add(EventKind::StateFile,
                   QT_TRANSLATE_NOOP("sonaro::EventLog",
                                     "Settings changed offline wait for the next login: %1"),
                   {names.join(QStringLiteral(", "))});
}

} // namespace sonaro
