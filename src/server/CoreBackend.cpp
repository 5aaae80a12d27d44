#include "server/CoreBackend.h"

#include "mixer/EventLogFile.h"
#include "server/StateJson.h"
#include "store/DataDirectory.h"
#include "store/DataDirectoryLock.h"

#include <QFileInfo>

#include <algorithm>

namespace sonaro::server {

namespace {

std::optional<ChannelKind> nameKind(const ChangeId& id)
{
    if (id.setting == SettingId::InputName) return ChannelKind::Input;
    if (id.setting == SettingId::OutputName) return ChannelKind::Output;
    return std::nullopt;
}

} // namespace

CoreBackendOptions CoreBackend::optionsFor(const ServerConfig& config)
{
    CoreBackendOptions o;
    o.core.dataDirectory = config.data;
    o.core.bindAddress = config.linkBind;
    o.core.deviceAddress = config.unitAddress;
    o.core.port = config.unitPort;
    // What the server last knew of the unit, until the unit reports; kept at the close.
    o.core.readStateFile = true;
    o.core.logFile = QString::fromLatin1(kEventLogFileName);
    o.account = config.account;
    o.password = config.password;
    return o;
}

CoreBackend::CoreBackend(CoreBackendOptions options, QObject* parent)
    : ServerBackend(parent), m_options(std::move(options)), m_operator(m_options.messages),
      m_core(std::make_unique<SonaroCore>(m_operator, m_options.core)),
      m_told(UnitTable::kMaxUnits + 1)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &CoreBackend::logIn);
    wire();
}

CoreBackend::~CoreBackend()
{
    m_retry.stop();
    // Nothing is told to clients any more: the hub may already be gone.
    QObject::disconnect(m_core.get(), nullptr, this, nullptr);
    QObject::disconnect(&m_core->session(), nullptr, this, nullptr);
    QObject::disconnect(&m_core->delivery(), nullptr, this, nullptr);
    if (m_started) m_core->closeSequence();
}

bool CoreBackend::start(QString* problem)
{
    const QString dir = m_options.core.dataDirectory;
    if (!dir.isEmpty()) {
        if (const QString why = DataDirectory::prepareNamed(dir); !why.isEmpty()) {
            *problem = why;
            return false;
        }
    }
    m_lock = std::make_unique<DataDirectoryLock>(m_core->dataDirectory().path());
    if (m_lock->acquire() == DataDirectoryLock::Result::InUse) {
        *problem = m_lock->refusal();
        return false;
    }
    // The core's messages name settings; the journal reads English.
    m_core->table().setLanguage(Language::English);
    if (!m_core->start()) {
        *problem = QStringLiteral("cannot bind the link to %1:%2")
                       .arg(m_core->bindAddress().toString())
                       .arg(m_core->port());
        return false;
    }
    m_started = true;
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        m_told[static_cast<std::size_t>(unit)] = m_core->table().record(unit);
    if (QHostAddress(m_core->deviceAddress()).isNull()) {
        m_operator.showMessage(Severity::Warning,
                               QStringLiteral("no unit address in the configuration ([unit] "
                                              "address): serving without a unit"));
        return true;
    }
    logIn();
    return true;
}

void CoreBackend::wire()
{
    SonaroCore& c = *m_core;
    connect(&c, &SonaroCore::levelsChanged, this, &CoreBackend::levelsChanged);
    connect(&c, &SonaroCore::indicatorChanged, this, &CoreBackend::linkChanged);
    connect(&c, &SonaroCore::loginAccepted, this, [this](int units) {
        m_refused = false;
        unitsCounted(units);
        emit linkChanged();
    });
    connect(&c, &SonaroCore::unitsReported, this, &CoreBackend::unitsCounted);
    connect(&c, &SonaroCore::loginRefused, this, [this] {
        // The session went offline already; a wrong password is not tried again at once.
        m_refused = true;
        m_retry.start(m_options.refusedRetryMs);
        m_operator.showMessage(Severity::Error,
                               QStringLiteral("the unit refused the account %1: check [unit] "
                                              "account and password")
                                   .arg(m_options.account));
    });
    connect(&c.session(), &Session::connectionChanged, this, &CoreBackend::connectionChanged);

    // What the unit reports: its own changes, its whole state, a block of EQ or dynamics.
    Delivery& d = c.delivery();
    connect(&d, &Delivery::reportChanged, this, [this](int unit) { publish(unit, true); });
    connect(&d, &Delivery::valuesTaken, this, [this](int unit) { publish(unit, true); });
    connect(&c, &SonaroCore::stateChanged, this, [this] { publishAll(true); });
    connect(&c, &SonaroCore::eqReceived, this, [this](int unit) { publish(unit, true); });
    connect(&c, &SonaroCore::dynamicsReceived, this, [this](int unit) { publish(unit, true); });

    connect(&d, &Delivery::changeConfirmed, this, &CoreBackend::confirmed);
    connect(&d, &Delivery::changeNotDelivered, this, [this](const ChangeId& id) {
        // The record went back to what the unit holds: clients see that value first.
        if (UnitTable::isValidUnit(id.unit)) publish(id.unit, true);
        emit notDelivered(id);
    });
}

void CoreBackend::logIn()
{
    m_core->session().storeLogin(m_options.account, m_options.password);
    m_core->session().sendLogin();
}

void CoreBackend::connectionChanged(Connection connection)
{
    emit linkChanged();
    // The session re-logs in by itself after a silence; after a login that failed, a refusal or
    // a dropped link it waits here for the next try. A service keeps trying.
    if (connection == Connection::Offline && m_started)
        m_retry.start(m_refused ? m_options.refusedRetryMs : m_options.retryMs);
    else if (connection != Connection::Offline)
        m_retry.stop();
}

void CoreBackend::unitsCounted(int count)
{
    const int units = std::clamp(count, 1, UnitTable::kMaxUnits);
    if (units == m_units) return;
    m_units = units;
    emit linkChanged();
}

const UnitRecord& CoreBackend::record(int unit) const
{
    return m_core->table().record(unit);
}

QString CoreBackend::channelName(const ChangeId& nameId) const
{
    const auto kind = nameKind(nameId);
    // The database names the channels of the unit the core works on.
    if (!kind || nameId.unit != m_core->table().currentUnit()) return {};
    return m_core->channelName(*kind, nameId.index).value_or(QString());
}

QJsonObject CoreBackend::linkState() const
{
    const Connection connection = m_core->session().connection();
    return QJsonObject{{"connection", QString::fromLatin1(connectionName(connection))},
                       {"address", m_core->deviceAddress()},
                       {"port", m_core->port()},
                       {"indicator", m_core->indicatorOn()},
                       {"account", m_options.account},
                       {"units", m_units}};
}

QString CoreBackend::whyNoChanges() const
{
    // Changes made while no unit is logged in would be asked about at the next login, and a
    // service has nobody to ask: they are not taken. A silence is different: what is changed
    // then goes after the re-login.
    const int unit = m_core->table().currentUnit();
    if (m_core->delivery().phase(unit) != UnitPhase::LoggedOut) return {};
    return QStringLiteral("no unit is logged in (%1): nothing was changed")
        .arg(QString::fromLatin1(connectionName(m_core->session().connection())));
}

Outcome CoreBackend::set(const ChangeId& id, double stored)
{
    if (!id.valid() || id.unit > m_units) return Outcome::Inapplicable;
    const Outcome outcome = m_core->applySetting(id, stored);
    publish(id.unit, false);
    return outcome;
}

Outcome CoreBackend::rename(const ChangeId& nameId, const QString& name, QString* problem)
{
    const auto kind = nameKind(nameId);
    if (!kind || nameId.unit != m_core->table().currentUnit()) return Outcome::Inapplicable;
    const QString current = channelName(nameId);
    if (current == name) return Outcome::Unchanged;
    m_operator.clearProblem();
    m_core->renameChannel(*kind, nameId.index, current, name);
    const QString kept = channelName(nameId);
    if (kept != current) emit changed({nameId}, false);
    if (kept == name && m_core->databaseOnDisk()) return Outcome::Applied;
    *problem = m_operator.problem().isEmpty()
                   ? QStringLiteral("the name was not kept: the program's database cannot store "
                                    "it")
                   : m_operator.problem();
    return Outcome::Refused;
}

bool CoreBackend::recallPreset(const QString& path, bool administrator, QString* problem)
{
    m_operator.clearProblem();
    UnitRecord& current = m_core->table().current();
    // The file actions keep the administrator settings for the unit's user account; an operator
    // of the server is held to the same rule, whichever account the server logs in with.
    const auto level = current.accountLevel;
    if (!administrator) current.accountLevel = 2;
    const bool opened = m_core->files().openPreset([&path] { return path; });
    current.accountLevel = level;
    publish(m_core->table().currentUnit(), false);
    if (!opened)
        *problem = m_operator.problem().isEmpty() ? QStringLiteral("the preset was not opened")
                                                  : m_operator.problem();
    return opened;
}

bool CoreBackend::savePreset(const QString& path, QString* problem)
{
    m_operator.clearProblem();
    if (m_core->files().savePreset([&path] { return path; })) return true;
    *problem = m_operator.problem().isEmpty() ? QStringLiteral("the preset was not saved")
                                              : m_operator.problem();
    return false;
}

void CoreBackend::publish(int unit, bool fromUnit)
{
    if (!UnitTable::isValidUnit(unit)) return;
    UnitRecord& told = m_told[static_cast<std::size_t>(unit)];
    const UnitRecord& now = m_core->table().record(unit);
    QList<ChangeId> ids;
    for (const SettingRow& row : SettingCatalogue::rows()) {
        if (!StateJson::shown(row) || row.kind == ValueKind::Text) continue;
        for (int i = 0; i < SettingCatalogue::indexCount(row.scope); ++i)
            if (row.get(told, i) != row.get(now, i)) ids.append(ChangeId{unit, row.id, i});
    }
    told = now;
    if (!ids.isEmpty() && unit <= m_units) emit changed(ids, fromUnit);
}

void CoreBackend::publishAll(bool fromUnit)
{
    for (int unit = 1; unit <= m_units; ++unit)
        publish(unit, fromUnit);
}

} // namespace sonaro::server
