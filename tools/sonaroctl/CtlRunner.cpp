#include "CtlRunner.h"

#include "StateReport.h"
#include "TextEscape.h"

#include "link/AddressFile.h"
#include "link/DeliveryTracker.h"
#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/OutputEqEditor.h"
#include "mixer/StateFile.h"
#include "model/HostAddressRules.h"
#include "model/ValueConventions.h"
#include "protocol/FrameCodec.h"
#include "store/DataDirectory.h"
#include "store/GroupDialogModel.h"

#include <QFile>
#include <QHostInfo>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace sonaroctl {

using namespace sonaro;

namespace {

// Unscaled time-outs of the phases that have none of their own in the core.
constexpr int kStateTimeoutMs = 10000;    // login answer to complete state report
constexpr int kDrainTimeoutMs = 30000;    // every queued command has left
constexpr int kDiscoverTimeoutMs = 60000; // the sweep ends by itself well before this
constexpr int kDrainPollMs = 5;
constexpr int kConfirmTimeoutMs = 10000; // the read-back's S, after everything left
constexpr int kReadBackWaitMs = 1000;    // each C of the read-back waits this long for its S
constexpr int kQuietMs = 100;            // before the read-back: the unit applies what it got
constexpr int kEqSlots = 14;

QString jsonText(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString jsonText(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace

CtlRunner::CtlRunner(CtlSettings settings, int timingScale, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_timingScale(std::max(1, timingScale)),
      m_op(m_settings.yes)
{
    m_deadline.setSingleShot(true);
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this,
            [this] { unitWentSilent(QStringLiteral("the unit went silent")); });
    connect(&m_drainPoll, &QTimer::timeout, this, [this] {
        if (!m_core || !m_core->link().isIdle()) return;
        if (m_afterDrain) {
            m_drainPoll.stop();
            std::exchange(m_afterDrain, nullptr)();
            return;
        }
        finish(m_drainStatus);
    });
}

CtlRunner::~CtlRunner() = default;

int CtlRunner::scaled(int ms) const
{
    return std::max(1, ms / m_timingScale);
}

void CtlRunner::print(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    if (!text.endsWith(QLatin1Char('\n'))) std::fputc('\n', stdout);
    std::fflush(stdout);
}

void CtlRunner::finish(int status, const QString& reason)
{
    if (m_phase == Phase::Done) return;
    m_phase = Phase::Done;
    m_deadline.stop();
    m_drainPoll.stop();
    m_silence.stop();
    m_op.releaseHeld(status == kExitSuccess);
    if (!reason.isEmpty()) {
        std::fprintf(stderr, "sonaroctl: %s\n", qPrintable(reason));
        std::fflush(stderr);
    }
    // finish() is often reached from inside a handler of a received datagram; the sockets are
    // closed on the next turn of the event loop, never inside their own signal.
    QTimer::singleShot(0, this, [this, status] {
        m_discovery.reset(); // frees the port
        if (m_core) {
            // A session that learned the unit's state keeps it in data.ini as the desktop's
            // close does; either way the status stream is switched off and the link stopped.
            if (m_loggedIn && m_stateReported)
                m_core->closeSequence();
            else
                m_core->session().shutdown();
        }
        emit finished(status);
    });
}

void CtlRunner::interrupt()
{
    // monitor and watch end normally; finish() switches the status stream off on the way out.
    if (m_phase == Phase::Monitoring)
        finish(kExitSuccess);
    else
        finish(kExitFailure, QStringLiteral("interrupted"));
}

void CtlRunner::start()
{
    switch (m_settings.command) {
    case Command::Discover:
        startDiscover();
        return;
    case Command::PresetShow: {
        QFile file(m_settings.file);
        if (!file.open(QIODevice::ReadOnly)) {
            finish(kExitFailure, QStringLiteral("%1: %2").arg(m_settings.file, file.errorString()));
            return;
        }
        const QByteArray data = file.read(static_cast<qint64>(StateFile::kFileSize) + 1);
        UnitRecord record = zeroRecord();
        GroupFileRecords groups{};
        QString reason;
        if (!StateFile::decode(data, record, groups, &reason)) {
            finish(kExitFailure, QStringLiteral("%1: %2").arg(m_settings.file, reason));
            return;
        }
        const QString savedBy = QString::fromStdString(accountText(record.loginName));
        const QStringList bad = outOfRange(record);
        if (m_settings.json) {
            QJsonObject object = recordJson(record);
            object.insert(QStringLiteral("file"), m_settings.file);
            object.insert(QStringLiteral("loginName"), savedBy);
            object.insert(QStringLiteral("groups"), groupsJson(groups));
            object.insert(QStringLiteral("outOfRange"), QJsonArray::fromStringList(bad));
            print(jsonText(object));
        } else {
            QString text = QStringLiteral("Preset %1 (saved by %2)\n\n")
                               .arg(escapeControls(m_settings.file), escapeControls(savedBy)) +
                           recordText(record) + QLatin1Char('\n') + groupsText(groups);
            if (!bad.isEmpty())
                text += QStringLiteral("\nOut of range (no unit takes these values):\n  ! ") +
                        bad.join(QStringLiteral("\n  ! ")) + QLatin1Char('\n');
            print(text);
        }
        if (!bad.isEmpty()) {
            std::fprintf(stderr, "sonaroctl: %s: %lld value(s) out of range\n",
                         qPrintable(escapeControls(m_settings.file)),
                         static_cast<long long>(bad.size()));
            std::fflush(stderr);
        }
        finish(kExitSuccess);
        return;
    }
    case Command::PresetLoad: {
        // A file that cannot be opened is reported before anything reaches the unit.
        QFile file(m_settings.file);
        if (!file.open(QIODevice::ReadOnly)) {
            finish(kExitFailure, QStringLiteral("%1: %2").arg(m_settings.file, file.errorString()));
            return;
        }
        UnitRecord record = zeroRecord();
        GroupFileRecords groups{};
        QString reason;
        if (!StateFile::decode(file.read(static_cast<qint64>(StateFile::kFileSize) + 1), record,
                               groups, &reason)) {
            finish(kExitFailure, QStringLiteral("%1: %2").arg(m_settings.file, reason));
            return;
        }
        startSession();
        return;
    }
    case Command::None:
        finish(kExitUsage, QStringLiteral("no command given"));
        return;
    default:
        startSession();
        return;
    }
}

// --- discover ------------------------------------------------------------------------------------

void CtlRunner::startDiscover()
{
    const DataDirectory dir = DataDirectory::resolve(m_settings.dataDir);
    const AddressFileEntry entry = readAddressFile(dir.addressFilePath());
    const QString bind = !m_settings.bindAddress.isEmpty() ? m_settings.bindAddress : entry.bind;
    const quint16 port = m_settings.port > 0 ? static_cast<quint16>(m_settings.port) : entry.port;
    if (!bind.isEmpty()) {
        runDiscovery(QHostAddress(bind), port);
        return;
    }
    if (m_settings.anyNetwork) {
        runDiscovery(QHostAddress(QHostAddress::AnyIPv4), port);
        return;
    }
    // Nothing bound: the sweep would probe the network of the host's own name. That is only
    // done when it is a loopback network or the operator asked for it.
    QHostInfo::lookupHost(QHostInfo::localHostName(), this, [this, port](const QHostInfo& info) {
        if (m_phase == Phase::Done) return;
        QString own;
        for (const QHostAddress& address : info.addresses()) {
            if (address.protocol() != QAbstractSocket::IPv4Protocol) continue;
            if (address.isLoopback()) {
                runDiscovery(QHostAddress(QHostAddress::AnyIPv4), port);
                return;
            }
            own = address.toString();
            break;
        }
        finish(kExitUsage,
               QStringLiteral("refusing to probe the network of this host (%1) with nothing "
                              "bound: give --bind ADDR to choose the network, or --any-network")
                   .arg(own.isEmpty() ? QStringLiteral("address unknown") : own));
    });
}

void CtlRunner::runDiscovery(const QHostAddress& bind, quint16 port)
{
    if (bind.isNull()) {
        finish(kExitUsage, QStringLiteral("the bound address is not an IPv4 address"));
        return;
    }
    LinkTimings timings = m_timingScale > 1 ? LinkTimings{}.scaled(m_timingScale) : LinkTimings{};
    m_discoveryTable = std::make_unique<UnitTable>();
    m_discoveryState = std::make_unique<LinkState>(*m_discoveryTable, timings);
    m_discoveryState->bindAddress = bind;
    m_discoveryState->port = port;
    m_discovery = std::make_unique<Discovery>(*m_discoveryState, m_op);
    connect(m_discovery.get(), &Discovery::finished, this, [this] {
        std::vector<DiscoveredUnit> units = m_discovery->results();
        std::sort(units.begin(), units.end(), [](const auto& a, const auto& b) {
            return QHostAddress(a.address).toIPv4Address() <
                   QHostAddress(b.address).toIPv4Address();
        });
        QJsonArray list;
        QStringList lines;
        int ignored = 0;
        for (const DiscoveredUnit& u : units) {
            // Only what could be a unit is listed: a dotted address with parts up to 255 and a
            // port of 1 to 65535.
            quint32 ip = 0;
            bool portOk = false;
            const int unitPort = u.port.toInt(&portOk);
            if (!parseIpv4(u.address, &ip) || !portOk || unitPort < 1 || unitPort > 65535) {
                ++ignored;
                continue;
            }
            QJsonObject row;
            row.insert(QStringLiteral("address"), u.address);
            row.insert(QStringLiteral("port"), unitPort);
            row.insert(QStringLiteral("adminName"), u.firstName);
            row.insert(QStringLiteral("userName"), u.secondName);
            list.append(row);
            lines << QStringLiteral("%1 %2 %3 %4")
                         .arg(u.address)
                         .arg(unitPort)
                         .arg(escapeControls(u.firstName), escapeControls(u.secondName));
        }
        if (ignored > 0) {
            std::fprintf(stderr,
                         "sonaroctl: ignored %d answer(s) with an impossible address or "
                         "port\n",
                         ignored);
            std::fflush(stderr);
        }
        if (m_settings.json)
            print(jsonText(list));
        else if (!lines.isEmpty())
            print(lines.join(QLatin1Char('\n')));
        finish(kExitSuccess);
    });
    if (!m_discovery->start()) {
        finish(kExitFailure,
               QStringLiteral("cannot bind %1:%2 for the search").arg(bind.toString()).arg(port));
        return;
    }
    connect(&m_deadline, &QTimer::timeout, this,
            [this] { finish(kExitFailure, QStringLiteral("the search did not end")); });
    m_deadline.start(scaled(kDiscoverTimeoutMs));
}

// --- commands that log in ------------------------------------------------------------------------

void CtlRunner::startSession()
{
    CoreOptions options;
    options.dataDirectory = m_settings.dataDir;
    options.bindAddress = m_settings.bindAddress;
    options.deviceAddress = m_settings.deviceAddress;
    options.port = m_settings.port;
    options.readStateFile = true; // what the desktop last knew (a muted output's gain, groups)
    options.timings = m_timingScale > 1 ? LinkTimings{}.scaled(m_timingScale) : LinkTimings{};
    options.logFile = m_settings.logFile;
    m_lock = std::make_unique<DataDirectoryLock>(DataDirectory::resolve(m_settings.dataDir).path());
    if (m_lock->acquire() == DataDirectoryLock::Result::InUse) {
        finish(kExitFailure, m_lock->refusal());
        return;
    }
    m_core = std::make_unique<SonaroCore>(m_op, options);
    connect(&m_core->link(), &Link::socketError, this,
            [this](const QString& message) { m_socketError = message; });
    // After the dispatcher's own connection: the record already holds what a frame reported.
    connect(&m_core->link(), &Link::frameReceived, this, &CtlRunner::watchFrame);
    connect(&m_core->link(), &Link::frameSent, this, [this](const QByteArray& frame) {
        if (m_loggedIn && frame.size() > 1 && frame[1] == 'C') m_stateAsked = true;
    });

    if (!m_core->start()) {
        const LinkState& state = m_core->linkState();
        finish(kExitFailure,
               QStringLiteral("cannot bind the link to %1:%2%3")
                   .arg(state.bindAddress.toString())
                   .arg(state.port)
                   .arg(m_socketError.isEmpty()
                            ? QString()
                            : QStringLiteral(" (") + m_socketError + QStringLiteral(")")));
        return;
    }
    LinkState& state = m_core->linkState();
    if (state.deviceAddress.isEmpty() || QHostAddress(state.deviceAddress).isNull()) {
        finish(kExitUsage, QStringLiteral("no unit address: give --address ADDR (or run "
                                          "'sonaroctl discover' and choose one)"));
        return;
    }
    m_core->table().setLanguage(Language::English);
    // The start-up state file may carry an old report flag; only this session's S counts.
    m_core->table().current().switchReportReceived = 0;

    Dispatcher& dispatcher = m_core->dispatcher();
    connect(&dispatcher, &Dispatcher::loginAccepted, this, &CtlRunner::loggedIn);
    connect(&dispatcher, &Dispatcher::loginRefused, this,
            [this] { finish(kExitRefused); }); // "User Password Error!" is already printed
    connect(&m_core->session(), &Session::connectFailed, this,
            [this] { finish(kExitNoAnswer); }); // "<address>Connect fail." is already printed
    connect(&dispatcher, &Dispatcher::stateChanged, this, &CtlRunner::checkState);
    connect(&dispatcher, &Dispatcher::eqReceived, this, [this](int unit, int slot) {
        if (unit == m_core->table().currentUnit() && slot >= 0 && slot < kEqSlots)
            m_eqSlots.set(static_cast<std::size_t>(slot));
        checkState();
    });
    connect(&dispatcher, &Dispatcher::dynamicsReceived, this, [this](int unit, int output) {
        if (unit == m_core->table().currentUnit() && output >= 0 && output < kOutputCount)
            m_dynamics.set(static_cast<std::size_t>(output));
        checkState();
    });
    connect(&dispatcher, &Dispatcher::linkDropped, this,
            [this] { unitWentSilent(QStringLiteral("the link dropped")); });
    connect(&m_core->session(), &Session::connectionChanged, this, [this](Connection c) {
        if (m_phase == Phase::Administering && c == Connection::Connected) {
            // The session gave the change up (its time-out) and said so.
            finish(kExitFailure, QStringLiteral("the unit did not answer the change"));
            return;
        }
        if (c == Connection::Relogging) unitWentSilent(QStringLiteral("the unit went silent"));
        if (c == Connection::Offline) unitWentSilent(QStringLiteral("the link dropped"));
    });
    connect(&dispatcher, &Dispatcher::levelsChanged, this, [this] {
        if (m_phase != Phase::Monitoring) return;
        m_silence.start(m_core->linkState().timings.silenceTimeout);
        if (!m_streaming) {
            // --seconds count from the first status frame, not from the login's requests.
            m_streaming = true;
            m_deadline.stop();
            if (m_settings.seconds > 0)
                m_deadline.start(static_cast<int>(std::min(m_settings.seconds * 1000.0, 2.0e9)));
        }
        const UnitRecord& r = m_core->table().record(1);
        if (m_settings.command == Command::Watch) {
            watchLevels(r);
            return;
        }
        print(m_settings.json ? jsonText(levelsJson(r)) : levelsText(r));
    });
    auto reported = [this] {
        if (m_phase == Phase::Monitoring && m_settings.command == Command::Watch)
            watchChanges(QStringLiteral("unit"));
    };
    connect(&dispatcher, &Dispatcher::stateChanged, this, reported);
    connect(&dispatcher, &Dispatcher::eqReceived, this, reported);
    connect(&dispatcher, &Dispatcher::dynamicsReceived, this, reported);
    connect(&dispatcher, &Dispatcher::reloggedIn, this, [this] {
        watchEvent({{QStringLiteral("event"), QStringLiteral("relogin")}});
    });
    connect(&m_core->link(), &Link::answerGivenUp, this, [this](char command) {
        watchEvent({{QStringLiteral("event"), QStringLiteral("undelivered")},
                    {QStringLiteral("command"), QString(QLatin1Char(command))}});
    });

    m_confirmation =
        std::make_unique<ChangeConfirmation>(*m_core, scaled(kReadBackWaitMs), scaled(kQuietMs));
    m_phase = Phase::LoggingIn;
    m_core->session().storeLogin(m_settings.user, m_settings.password);
    m_core->session().sendLogin();
    // The session ends an unanswered login itself after its retries; this only guards that.
    const int loginLimit = 4 * state.timings.loginRetryInterval + scaled(kStateTimeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        switch (m_phase) {
        case Phase::LoggingIn:
            finish(kExitNoAnswer, QStringLiteral("no answer to the login"));
            return;
        case Phase::WaitingForState:
            finish(kExitFailure, QStringLiteral("the unit did not report its complete state"));
            return;
        case Phase::Draining:
            // A unit that leaves commands unanswered keeps the queue busy with their repeats:
            // judge now what it did confirm, and name the rest.
            if (m_afterDrain) {
                m_drainPoll.stop();
                std::exchange(m_afterDrain, nullptr)();
                return;
            }
            finish(kExitFailure, QStringLiteral("the commands did not all leave in time"));
            return;
        case Phase::Confirming:
            finish(kExitFailure, QStringLiteral("the unit did not confirm in time"));
            return;
        case Phase::Administering:
            finish(kExitFailure, QStringLiteral("the unit did not answer the change"));
            return;
        case Phase::Monitoring:
            if (m_streaming)
                finish(kExitSuccess); // --seconds are over
            else
                finish(kExitFailure, QStringLiteral("the unit sends no status frames"));
            return;
        default:
            return;
        }
    });
    m_deadline.start(loginLimit);
}

void CtlRunner::loggedIn(int units)
{
    if (m_phase != Phase::LoggingIn) return; // a later re-login after silence
    m_loggedIn = true;
    m_units = units;
    m_deadline.stop();
    // Only what the unit reports after this login counts.
    m_eqSlots.reset();
    m_dynamics.reset();
    m_stateAsked = false;
    m_stateReported = false;
    switch (m_settings.command) {
    case Command::Watch:
        // Waits for the state like show: changes are told against it.
        m_phase = Phase::WaitingForState;
        m_deadline.start(scaled(kStateTimeoutMs));
        checkState();
        return;
    case Command::Monitor:
        m_phase = Phase::Monitoring;
        m_deadline.start(scaled(kStateTimeoutMs));
        return;
    default:
        m_phase = Phase::WaitingForState;
        m_deadline.start(scaled(kStateTimeoutMs));
        checkState();
        return;
    }
}

void CtlRunner::checkState()
{
    if (m_phase != Phase::WaitingForState) return;
    if (!m_stateReported) return;
    // Whatever prints, saves or edits the state needs every EQ block and both dynamics blocks
    // as well: an EQ or limiter edit sends the whole block.
    const Command c = m_settings.command;
    const bool needsAll = c != Command::Login && c != Command::AddressSet &&
                          c != Command::AccountChange && c != Command::Name &&
                          c != Command::GroupShow && c != Command::GroupSet;
    if (needsAll && (!m_eqSlots.all() || !m_dynamics.all())) return;
    act();
}

void CtlRunner::act()
{
    m_deadline.stop();
    ControlSurface& surface = m_core->surface();
    const LinkState& state = m_core->linkState();
    if (!surface.connected()) {
        finish(kExitFailure, QStringLiteral("the unit stopped answering"));
        return;
    }
    switch (m_settings.command) {
    case Command::Login:
        // Said only now: the unit has answered the state request that follows the login.
        if (m_settings.json) {
            QJsonObject object;
            object.insert(QStringLiteral("schemaVersion"), kSchemaVersion);
            object.insert(QStringLiteral("address"), state.deviceAddress);
            object.insert(QStringLiteral("port"), state.port);
            object.insert(QStringLiteral("user"), m_settings.user);
            object.insert(QStringLiteral("units"), m_units);
            print(jsonText(object));
        } else {
            print(QStringLiteral("Logged in to %1:%2 as %3: %4 unit(s)")
                      .arg(state.deviceAddress)
                      .arg(state.port)
                      .arg(m_settings.user)
                      .arg(m_units));
        }
        finish(kExitSuccess);
        return;
    case Command::Show: {
        const UnitRecord& r = surface.record();
        ChannelNames names;
        for (int ch = 0; ch < kInputCount; ++ch)
            names.inputs << m_core->channelName(ChannelKind::Input, ch).value_or(QString());
        for (int out = 0; out < kOutputCount; ++out)
            names.outputs << m_core->channelName(ChannelKind::Output, out).value_or(QString());
        if (m_settings.json) {
            QJsonObject object = recordJson(r);
            addNames(object, names);
            object.insert(QStringLiteral("address"), state.deviceAddress);
            object.insert(QStringLiteral("port"), state.port);
            print(jsonText(object));
        } else {
            print(QStringLiteral("Unit %1 at %2:%3\n\n")
                      .arg(r.unitNumber)
                      .arg(state.deviceAddress)
                      .arg(state.port) +
                  recordText(r) + QLatin1Char('\n') + namesText(names));
        }
        finish(kExitSuccess);
        return;
    }
    case Command::PresetSave:
        if (!m_core->files().savePreset([this] { return m_settings.file; })) {
            finish(kExitFailure, QStringLiteral("cannot write %1").arg(m_settings.file));
            return;
        }
        print(m_settings.json ? jsonText(QJsonObject{{QStringLiteral("saved"), m_settings.file}})
                              : QStringLiteral("Saved %1").arg(m_settings.file));
        finish(kExitSuccess);
        return;
    case Command::PresetLoad:
        // "Open Fail" with its reason is printed by the file actions.
        m_op.holdSuccessReports();
        m_confirmation->begin();
        if (!m_core->files().openPreset([this] { return m_settings.file; })) {
            finish(kExitFailure, QStringLiteral("cannot open %1").arg(m_settings.file));
            return;
        }
        m_confirmation->expect();
        confirmThen(QStringLiteral("preset load %1").arg(m_settings.file), [this] {
            if (m_settings.json)
                print(jsonText(QJsonObject{{QStringLiteral("loaded"), m_settings.file}}));
            else
                print(QStringLiteral("Loaded %1").arg(m_settings.file));
            finish(kExitSuccess);
        });
        return;
    case Command::Set: {
        bool changed = false;
        m_op.holdSuccessReports();
        m_confirmation->begin();
        if (!applySetting(changed)) return; // finished with the reason
        m_confirmation->expect();
        confirmThen(QStringLiteral("set ") + setWords(), [this, changed] {
            printSetReport(changed);
            finish(kExitSuccess);
        });
        return;
    }
    case Command::Watch: {
        m_watched = flatState(recordJson(surface.record()));
        m_lastOpen = -1;
        m_phase = Phase::Monitoring;
        m_streaming = true;
        watchEvent({{QStringLiteral("event"), QStringLiteral("start")},
                    {QStringLiteral("schemaVersion"), kSchemaVersion},
                    {QStringLiteral("address"), state.deviceAddress},
                    {QStringLiteral("port"), state.port}});
        m_silence.start(state.timings.silenceTimeout);
        if (m_settings.seconds > 0)
            m_deadline.start(static_cast<int>(std::min(m_settings.seconds * 1000.0, 2.0e9)));
        return;
    }
    case Command::GroupShow: {
        // The unit's state report has just stored its link table in the database.
        const GroupTable table = m_core->groupStore().loadGroupTable();
        print(m_settings.json
                  ? jsonText(QJsonObject{{QStringLiteral("schemaVersion"), kSchemaVersion},
                                         {QStringLiteral("groups"), groupTableJson(table)}})
                  : groupTableText(table));
        finish(kExitSuccess);
        return;
    }
    case Command::GroupSet:
        setGroup();
        return;
    case Command::FactoryRestore:
        m_op.holdSuccessReports();
        m_confirmation->begin();
        // Asks through the operator: answered Yes only with --yes or the prompt's yes.
        if (!m_core->files().factoryRestore()) {
            finish(kExitFailure, QStringLiteral("factory restore not done"));
            return;
        }
        m_confirmation->expect();
        confirmThen(QStringLiteral("factory-restore"), [this] {
            print(m_settings.json ? jsonText(QJsonObject{{QStringLiteral("factoryRestored"), true}})
                                  : QStringLiteral("Factory settings restored"));
            finish(kExitSuccess);
        });
        return;
    case Command::AddressSet:
        changeAddress();
        return;
    case Command::AccountChange:
        changeAccount();
        return;
    case Command::Name: {
        const ChannelKind kind =
            m_settings.outputChannel ? ChannelKind::Output : ChannelKind::Input;
        const int index = m_settings.channel - 1;
        const std::optional<QString> current = m_core->channelName(kind, index);
        if (!current) {
            finish(kExitFailure, QStringLiteral("the database has no row for this channel"));
            return;
        }
        // Done when the database gives back the new name.
        const QString shown = m_core->renameChannel(kind, index, *current, m_settings.text);
        if (shown != m_settings.text || m_core->channelName(kind, index) != m_settings.text) {
            finish(kExitFailure, QStringLiteral("the name was not stored"));
            return;
        }
        const QString what =
            m_settings.outputChannel ? QStringLiteral("output") : QStringLiteral("input");
        if (m_settings.json) {
            QJsonObject object;
            object.insert(what, m_settings.channel);
            object.insert(QStringLiteral("name"), m_settings.text);
            print(jsonText(object));
        } else {
            print(QStringLiteral("%1 %2 named %3")
                      .arg(what)
                      .arg(m_settings.channel)
                      .arg(escapeControls(m_settings.text)));
        }
        finish(kExitSuccess);
        return;
    }
    case Command::EqCopy:
    case Command::EqReset: {
        m_op.holdSuccessReports();
        m_confirmation->begin();
        const bool copy = m_settings.command == Command::EqCopy;
        {
            // The input EQ window's own logic: linked inputs follow as they do there.
            InputEqEditor editor(m_core->surface(), m_core->commandPort(), m_op);
            editor.selectChannel((copy ? m_settings.toChannel : m_settings.channel) - 1);
            if (copy) {
                if (!editor.copyFrom(m_settings.channel - 1)) {
                    finish(kExitFailure, QStringLiteral("the copy was not made"));
                    return;
                }
            } else {
                editor.reset();
            }
            editor.flush();
        }
        m_confirmation->expect();
        const QString what =
            copy ? QStringLiteral("eq copy %1 %2").arg(m_settings.channel).arg(m_settings.toChannel)
                 : QStringLiteral("eq reset %1").arg(m_settings.channel);
        confirmThen(what, [this, what] {
            print(m_settings.json ? jsonText(QJsonObject{{QStringLiteral("done"), what}})
                                  : what + QStringLiteral(" done"));
            finish(kExitSuccess);
        });
        return;
    }
    default:
        finish(kExitFailure, QStringLiteral("nothing to do"));
        return;
    }
}

void CtlRunner::setGroup()
{
    const int n = m_settings.groupSlot;
    GroupTable table = m_core->groupStore().loadGroupTable();
    // The group dialog's own logic: its refusals ("Already add group!", "Add group error!")
    // reach the operator as they do there.
    std::unique_ptr<GroupDialogModel> dialog = m_core->groupDialogModel(table);
    dialog->open();
    dialog->clickGroup(n);
    for (int serial = 1; serial <= kGroupChannels; ++serial)
        if (dialog->channelButtonOn(serial)) dialog->clickChannel(serial);
    for (int serial : m_settings.groupMembers)
        if (!dialog->channelButtonOn(serial)) dialog->clickChannel(serial);
    for (int f = 0; f < kLinkFlagCount; ++f) {
        const auto flag = static_cast<LinkFlag>(f);
        if (dialog->linkButtonOn(flag) != m_settings.groupLinks[static_cast<std::size_t>(f)])
            dialog->clickLink(flag);
    }
    GroupSlot wanted = table.slot(n);
    for (int serial : m_settings.groupMembers)
        if (!wanted.members[static_cast<std::size_t>(serial - 1)]) {
            finish(kExitFailure,
                   QStringLiteral("group %1 cannot hold channel %2").arg(n).arg(serial));
            return;
        }
    dialog->accept();
    m_core->surface().reloadGroups();
    m_op.holdSuccessReports();
    m_confirmation->begin();
    m_core->surface().sendLinkTable();
    m_confirmation->expect();
    m_confirmation->requireReadBack();
    confirmThen(QStringLiteral("group %1").arg(n), [this, n, wanted] {
        // The read-back's report stored the unit's link table: it must be the one sent.
        // A table the unit has not confirmed stays in the store: the session still waits for it.
        const GroupSlot got = m_core->groupStore().loadGroupTable().slot(n);
        const bool waiting =
            m_core->session().unconfirmedChanges().contains(DeliveryTracker::groupsName());
        if (waiting || got.members != wanted.members || got.flags != wanted.flags) {
            finish(kExitFailure,
                   QStringLiteral("group %1: the unit reports another link table").arg(n));
            return;
        }
        GroupTable one;
        one.slot(n) = got;
        const QJsonObject group = groupTableJson(one)[n - 1].toObject();
        print(m_settings.json ? jsonText(group)
                              : groupTableText(one).split(QLatin1Char('\n')).value(n - 1));
        finish(kExitSuccess);
    });
}

void CtlRunner::changeAddress()
{
    LinkState& state = m_core->linkState();
    quint32 ip = 0;
    parseIpv4(m_settings.text, &ip); // checked with the arguments
    const bool loopbackBound = state.bindAddress.isLoopback();
    const HostAddressProblem problem = hostAddressProblem(ip, loopbackBound);
    if (problem != HostAddressProblem::None) {
        finish(kExitUsage, hostAddressProblemText(problem, m_settings.text));
        return;
    }
    const QString wanted = QHostAddress(ip).toString();
    connect(&m_core->dispatcher(), &Dispatcher::addressReported, this,
            [this, wanted](const QString& address, quint16 port) {
                if (m_phase != Phase::Administering) return;
                if (address != wanted) {
                    finish(kExitFailure,
                           QStringLiteral("the unit reported the address %1:%2, not %3")
                               .arg(escapeControls(address))
                               .arg(port)
                               .arg(wanted));
                    return;
                }
                print(m_settings.json
                          ? jsonText(QJsonObject{{QStringLiteral("address"), address},
                                                 {QStringLiteral("port"), port}})
                          : QStringLiteral("The unit now answers at %1:%2").arg(address).arg(port));
                finish(kExitSuccess);
            });
    m_phase = Phase::Administering;
    if (!m_core->session().changeAddress(QHostAddress(ip))) {
        finish(kExitFailure); // the session said why
        return;
    }
    m_deadline.start(2 * state.timings.adminTimeout + scaled(kStateTimeoutMs));
}

void CtlRunner::changeAccount()
{
    const QString account = m_settings.text.isEmpty() ? m_settings.user : m_settings.text;
    m_phase = Phase::Administering;
    if (!m_core->session().changeAccount(account, m_settings.password, m_settings.newPassword,
                                         m_settings.newPassword)) {
        finish(kExitFailure); // the session said why
        return;
    }
    m_deadline.start(2 * m_core->linkState().timings.adminTimeout + scaled(kStateTimeoutMs));
}

bool CtlRunner::applySetting(bool& changed)
{
    ControlSurface& s = m_core->surface();
    const UnitRecord& r = s.record();
    const SetRequest& q = m_settings.set;
    const int i = q.target - 1;
    const bool on = q.value != 0;
    const UnitRecord before = r;
    Outcome outcome = Outcome::Unchanged;
    // The editors report no outcome: what they did shows in the record.
    auto recordChanged = [&] {
        return std::memcmp(&before, &r, sizeof before) != 0 ? Outcome::Applied : Outcome::Unchanged;
    };
    // A knob of one band: the asked field changes, the band's other fields stay.
    auto knob = [&q](auto& editor) {
        EqBand band = editor.bands()[static_cast<std::size_t>(q.band - 1)];
        (q.field == Field::Frequency ? band.frequency
         : q.field == Field::Gain    ? band.gain
                                     : band.q) = q.number;
        editor.knobChanged(q.band - 1, band.frequency, band.gain, band.q);
    };
    switch (q.setting) {
    case Setting::InputGain:
        changed = r.inputGain[i] != dbToGain(q.value);
        // As the fader: sets the gain (and its linked channels) whether or not the input is muted.
        outcome = s.setInputGain(i, q.value, sonaro::Phase::Committed);
        break;
    case Setting::InputMute:
        outcome = s.setInputMute(i, on);
        break;
    case Setting::InputMic:
        outcome = s.setInputLine(i, on);
        break;
    case Setting::Phantom:
        outcome = s.setInputPhantom(i, on);
        break;
    case Setting::Priority:
        outcome = s.setInputPriority(i, on);
        break;
    case Setting::OutputGain:
        changed = r.outputGain[i] != dbToGain(q.value);
        outcome = s.setOutputGain(i, q.value, sonaro::Phase::Entered);
        // A number given for a muted output changes nothing on the desktop either; say so rather
        // than report a change that did not happen.
        if (outcome == Outcome::Inapplicable) {
            finish(kExitFailure, QStringLiteral("output %1 is muted: unmute it first "
                                                "(sonaroctl set output-mute %1 off)")
                                     .arg(q.target));
            return false;
        }
        break;
    case Setting::OutputMute:
        outcome = s.setOutputMute(i, on);
        break;
    case Setting::Route:
        outcome = s.setCrosspoint(q.input - 1, i, on);
        break;
    case Setting::HoldTime:
        changed = r.holdTime != q.value;
        outcome = s.setHoldTime(q.value * ControlSurface::kHoldTimeStepMs);
        break;
    case Setting::MaxOpen:
        changed = r.maxOpenChannels != q.value;
        outcome = s.setMaxOpenChannels(q.value);
        break;
    case Setting::InputEq:
    case Setting::HighPass:
    case Setting::LowPass: {
        // The input EQ window's own logic: the same linked channels, the same frames.
        InputEqEditor editor(s, m_core->commandPort(), m_op);
        editor.selectChannel(i);
        if (q.setting == Setting::HighPass || q.setting == Setting::LowPass) {
            const bool high = q.setting == Setting::HighPass;
            const bool on = high ? editor.highPassOn() : editor.lowPassOn();
            if (q.value == 0) {
                if (on) high ? editor.toggleHighPass() : editor.toggleLowPass();
            } else {
                const int position = InputEqEditor::kFilterPositions - q.value;
                high ? editor.highPassSliderMoved(position) : editor.lowPassSliderMoved(position);
                if (!on) high ? editor.toggleHighPass() : editor.toggleLowPass();
            }
        } else if (q.field == Field::Type) {
            editor.setBandType(q.band - 1, static_cast<EqBandType>(q.value));
        } else {
            knob(editor);
        }
        editor.flush();
        outcome = recordChanged();
        break;
    }
    case Setting::OutputEq: {
        OutputEqEditor editor(s, m_core->commandPort());
        editor.selectOutput(i);
        knob(editor);
        editor.flush();
        outcome = recordChanged();
        break;
    }
    case Setting::Limiter: {
        LimiterEditor editor(s, m_core->commandPort());
        editor.selectOutput(i);
        switch (q.field) {
        case Field::Threshold:
            editor.thresholdReadoutChanged(thresholdReadoutRaw(q.number));
            break;
        case Field::Ratio:
            editor.ratioReadoutChanged(q.value);
            break;
        case Field::Attack:
            editor.attackReadoutChanged(q.value);
            break;
        case Field::Release:
            editor.releaseReadoutChanged(q.value);
            break;
        case Field::Enable:
            if (editor.enabled() != on) editor.toggleEnable();
            break;
        default:
            break;
        }
        editor.flush();
        outcome = recordChanged();
        break;
    }
    case Setting::AutomixMode:
        outcome = s.setThresholdMode(on ? ThresholdMode::Manual : ThresholdMode::Auto);
        break;
    case Setting::Threshold:
        changed = r.threshold != dbToGain(q.value);
        outcome = s.setThreshold(q.value);
        if (outcome == Outcome::Inapplicable) {
            finish(kExitFailure, QStringLiteral("the threshold is set by the unit in auto mode: "
                                                "switch to manual first (sonaroctl set "
                                                "automix-mode manual)"));
            return false;
        }
        break;
    case Setting::PanelLock:
        outcome = s.setPanelLock(on);
        break;
    case Setting::DeviceMode:
        outcome = s.setDeviceMode(on ? DeviceMode::Master : DeviceMode::Slave);
        break;
    case Setting::OutputLevel:
        outcome = s.setOutputLevelType(i, on ? OutputLevel::Mic : OutputLevel::Line);
        break;
    case Setting::None:
        finish(kExitUsage, QStringLiteral("unknown setting"));
        return false;
    }
    // The surface told the operator why (the administrator-only settings).
    if (outcome == Outcome::Refused) {
        finish(kExitFailure);
        return false;
    }
    if (outcome == Outcome::Inapplicable) {
        finish(kExitFailure, QStringLiteral("%1 does not apply now").arg(q.name));
        return false;
    }
    // The switches report a change exactly when the surface made one.
    const bool valueSetting = q.setting == Setting::InputGain || q.setting == Setting::OutputGain ||
                              q.setting == Setting::HoldTime || q.setting == Setting::MaxOpen ||
                              q.setting == Setting::Threshold;
    if (!valueSetting) changed = outcome == Outcome::Applied;
    return true;
}

void CtlRunner::printSetReport(bool changed)
{
    const SetRequest& q = m_settings.set;
    if (m_settings.json) {
        QJsonObject object;
        object.insert(QStringLiteral("setting"), q.name);
        if (q.target > 0) object.insert(QStringLiteral("target"), q.target);
        if (q.input > 0) object.insert(QStringLiteral("input"), q.input);
        object.insert(QStringLiteral("value"), q.valueText);
        object.insert(QStringLiteral("changed"), changed);
        print(jsonText(object));
        return;
    }
    QString line = q.name;
    if (q.target > 0) line += QLatin1Char(' ') + QString::number(q.target);
    if (q.input > 0) line += QLatin1Char(' ') + QString::number(q.input);
    line += QLatin1Char(' ') + q.valueText;
    line += changed ? QStringLiteral(" (changed)") : QStringLiteral(" (unchanged)");
    print(line);
}

QString CtlRunner::setWords() const
{
    const SetRequest& q = m_settings.set;
    QString line = q.name;
    if (q.target > 0) line += QLatin1Char(' ') + QString::number(q.target);
    if (q.input > 0) line += QLatin1Char(' ') + QString::number(q.input);
    return line + QLatin1Char(' ') + q.valueText;
}

void CtlRunner::confirmThen(const QString& what, std::function<void()> confirmed)
{
    m_op.holdSuccessReports();
    m_afterDrain = [this, what, confirmed = std::move(confirmed)] {
        m_phase = Phase::Confirming;
        m_deadline.start(scaled(kConfirmTimeoutMs));
        connect(m_confirmation.get(), &ChangeConfirmation::finished, this,
                [this, what, confirmed](const QStringList& unconfirmed) {
                    if (m_phase != Phase::Confirming) return;
                    if (unconfirmed.isEmpty()) {
                        confirmed();
                        return;
                    }
                    finish(kExitFailure, QStringLiteral("%1: not confirmed by the unit: %2")
                                             .arg(what, unconfirmed.join(QStringLiteral("; "))));
                });
        m_confirmation->run();
    };
    drainThen(kExitSuccess);
}

void CtlRunner::watchFrame(const QByteArray& frame, const QHostAddress& sender, quint16 port)
{
    if (m_phase == Phase::Done || frame.size() < 2) return;
    const LinkState& state = m_core->linkState();
    if (port != state.port ||
        !sender.isEqual(QHostAddress(state.deviceAddress), QHostAddress::TolerantConversion))
        return;
    std::string_view inner;
    if (!checkIncomingFrame(
            std::string_view(frame.constData(), static_cast<std::size_t>(frame.size())), &inner))
        return;
    if (frame[1] == 'S') {
        if (m_stateAsked &&
            static_cast<int>(hexField(inner, 2, 2)) == m_core->table().currentUnit()) {
            m_stateReported = true;
            checkState();
        }
        return;
    }
    if ((frame[1] == 'D' || frame[1] == 'Q' || frame[1] == 'H') && m_phase == Phase::Monitoring) {
        const char command = frame[1] == 'D' ? 'M' : frame[1] == 'Q' ? 'E' : 'B';
        watchEvent({{QStringLiteral("event"), QStringLiteral("delivered")},
                    {QStringLiteral("command"), QString(QLatin1Char(command))}});
    }
    if (frame[1] == 'Y' && m_phase == Phase::Administering &&
        m_settings.command == Command::AccountChange) {
        const QString name = m_settings.text.isEmpty() ? m_settings.user : m_settings.text;
        print(m_settings.json
                  ? jsonText(QJsonObject{{QStringLiteral("account"), name},
                                         {QStringLiteral("changed"), true}})
                  : QStringLiteral("Account %1 changed; log in with the new password").arg(name));
        finish(kExitSuccess);
        return;
    }
    if (frame[1] != 'R' || inner.size() < 7) return;
    const QString first = QString::fromLatin1(inner.substr(2, 2));
    const QString second = QString::fromLatin1(inner.substr(5, 2));
    const QString refused = QStringLiteral("FF");
    if (first.compare(refused, Qt::CaseInsensitive) == 0 &&
        second.compare(refused, Qt::CaseInsensitive) == 0) {
        if (m_validLogin) {
            finish(kExitRefused, QStringLiteral("the unit refused the login after accepting it"));
            return;
        }
        // The upper-case refusal was reported by the dispatcher already.
        if (first != refused || second != refused)
            m_op.showMessage(Severity::Error, QStringLiteral("User Password Error!"));
        finish(kExitRefused);
        return;
    }
    // The unit count is two decimal digits, 01 to 64: anything else is no answer to believe.
    static const QRegularExpression twoDigits(QStringLiteral("^[0-9]{2}$"));
    const int count = second.toInt();
    if (!twoDigits.match(second).hasMatch() || count < 1 || count > UnitTable::kMaxUnits) {
        finish(kExitFailure,
               QStringLiteral("the login answer reports an impossible unit count '%1'")
                   .arg(escapeControls(second)));
        return;
    }
    m_validLogin = true;
}

void CtlRunner::watchEvent(const QJsonObject& event)
{
    if (m_settings.command != Command::Watch || m_phase != Phase::Monitoring) return;
    print(jsonText(event));
}

void CtlRunner::watchLevels(const UnitRecord& r)
{
    int open = 0;
    int bit = 1;
    for (const std::int32_t channelOpen : r.inputOpen) {
        if (channelOpen) open |= bit;
        bit <<= 1;
    }
    if (open != m_lastOpen) {
        QJsonObject event = levelsJson(r);
        event.remove(QStringLiteral("inputs"));
        event.remove(QStringLiteral("outputs"));
        event.insert(QStringLiteral("event"), QStringLiteral("open"));
        m_lastOpen = open;
        watchEvent(event);
    }
    if (m_settings.levelsHz <= 0) return;
    const qint64 interval = static_cast<qint64>(1000.0 / m_settings.levelsHz);
    if (m_levelClock.isValid() && m_levelClock.elapsed() < interval) return;
    m_levelClock.start();
    QJsonObject event = levelsJson(r);
    event.insert(QStringLiteral("event"), QStringLiteral("levels"));
    watchEvent(event);
}

void CtlRunner::watchChanges(const QString& source)
{
    const QMap<QString, QJsonValue> now = flatState(recordJson(m_core->surface().record()));
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const QJsonValue old = m_watched.value(it.key());
        if (old == it.value()) continue;
        watchEvent({{QStringLiteral("event"), QStringLiteral("change")},
                    {QStringLiteral("field"), it.key()},
                    {QStringLiteral("old"), old},
                    {QStringLiteral("new"), it.value()},
                    {QStringLiteral("source"), source}});
    }
    m_watched = now;
}

void CtlRunner::unitWentSilent(const QString& reason)
{
    if (m_phase == Phase::Done || m_phase == Phase::Idle || m_phase == Phase::LoggingIn) return;
    watchEvent(
        {{QStringLiteral("event"), QStringLiteral("silence")}, {QStringLiteral("reason"), reason}});
    if (m_phase == Phase::Administering) {
        // A confirmed change drops the link itself, just before its answer is seen here.
        QTimer::singleShot(0, this, [this, reason] {
            if (m_phase == Phase::Administering) finish(kExitFailure, reason);
        });
        return;
    }
    finish(kExitFailure, reason);
}

void CtlRunner::drainThen(int status)
{
    m_phase = Phase::Draining;
    m_drainStatus = status;
    m_deadline.start(scaled(kDrainTimeoutMs));
    m_drainPoll.start(kDrainPollMs);
}

} // namespace sonaroctl
