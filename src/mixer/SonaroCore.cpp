#include "mixer/SonaroCore.h"

#include "dsp/DspCommands.h"
#include "link/AddressFile.h"
#include "store/DeviceRegistry.h"
#include "store/GroupStore.h"

namespace sonaro {

SonaroCore::SonaroCore(OperatorInterface& op, const CoreOptions& options, QObject* parent)
    : QObject(parent), m_op(op), m_options(options),
      m_dataDir(DataDirectory::resolve(options.dataDirectory)), m_state(m_table, options.timings),
      m_db(op, m_dataDir.databasePath()), m_link(m_state), m_dispatcher(m_state, m_link, op),
      m_session(m_state, m_link, m_dispatcher, op), m_port(m_link, m_state),
      m_surface(m_table, m_port, op)
{
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
    m_surface.setDatabase(&m_db);
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

    if (m_options.readStateFile) m_surface.readStartupState(m_dataDir.stateFilePath());
    m_table.initialiseAccounts();
    m_surface.reloadGroups();
    emit m_surface.refreshNeeded();
    return m_session.start();
}

void SonaroCore::disconnectUnit()
{
    m_surface.writeStateFile(m_dataDir.stateFilePath());
    m_session.disconnect();
}

void SonaroCore::closeSequence()
{
    m_surface.writeStateFile(m_dataDir.stateFilePath());
    m_session.shutdown();
}

} // namespace sonaro
