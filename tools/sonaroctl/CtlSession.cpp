#include "CtlSession.h"

#include "FileChecks.h"

#include "mixer/EventLogFile.h"
#include "store/DataDirectory.h"
#include "store/DataDirectoryLock.h"

#include <QFileInfo>

#include <algorithm>

namespace sonaroctl {

using namespace sonaro;

namespace {

// Unscaled deadlines of the phases the core has no time-out of its own for (or as a guard).
constexpr int kStateMs = 20000;   // login answer to the state, EQ and dynamics read
constexpr int kConfirmMs = 60000; // the action to the unit's verdict on every change
constexpr int kGuardMs = 10000;   // beyond the core's own time-outs of the login and changes

} // namespace

CtlSession::CtlSession(const CtlSettings& settings, Console& console, int timingScale,
                       QObject* parent)
    : QObject(parent), m_settings(settings), m_console(console),
      m_timingScale(std::max(1, timingScale))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &CtlSession::deadlinePassed);
}

CtlSession::~CtlSession() = default;

int CtlSession::scaled(int ms) const
{
    return std::max(1, ms / m_timingScale);
}

void CtlSession::start(bool waitForState, std::function<void(int)> ready)
{
    m_waitForState = waitForState;
    m_ready = std::move(ready);
    const QString logProblem = checkFileTarget(m_settings.logFile);
    if (!m_settings.logFile.isEmpty() && !logProblem.isEmpty()) {
        finish(kExitFailure, QStringLiteral("--log: ") + logProblem);
        return;
    }
    QString dataDir;
    if (!openDataDirectory(dataDir) || !createCore(dataDir)) return;
    m_phase = Phase::LoggingIn;
    m_core->session().storeLogin(m_settings.user, m_settings.password);
    m_core->session().sendLogin();
    // The session ends an unanswered login itself after its retries; this only guards that.
    m_deadline.start(4 * m_core->timings().loginRetryInterval + scaled(kGuardMs));
}

bool CtlSession::openDataDirectory(QString& dataDir)
{
    // A missing data directory is made one level deep, as the desktop program makes it, and
    // said; one whose parent is missing too is refused, as there.
    const QString named = !m_settings.dataDir.isEmpty()
                              ? m_settings.dataDir
                              : qEnvironmentVariable(sonaro::kDataDirEnvironment);
    const bool existed = named.isEmpty() || QFileInfo::exists(named);
    if (const QString problem = named.isEmpty() ? QString() : DataDirectory::prepareNamed(named);
        !problem.isEmpty()) {
        finish(kExitFailure, escapeControls(problem));
        return false;
    }
    dataDir = DataDirectory::resolve(m_settings.dataDir).path();
    if (!QFileInfo(dataDir).isDir()) {
        finish(kExitFailure, QStringLiteral("the data directory %1 is not a directory and cannot "
                                            "be made")
                                 .arg(escapeControls(dataDir)));
        return false;
    }
    if (!existed)
        m_console.note(
            QStringLiteral("created the data directory %1").arg(escapeControls(dataDir)));
    m_lock = std::make_unique<DataDirectoryLock>(dataDir);
    if (m_lock->acquire() == DataDirectoryLock::Result::InUse) {
        finish(kExitFailure, m_lock->refusal());
        return false;
    }
    return true;
}

bool CtlSession::createCore(const QString& dataDir)
{
    CoreOptions options;
    options.dataDirectory = dataDir;
    options.bindAddress = m_settings.bindAddress;
    options.deviceAddress = m_settings.deviceAddress;
    options.port = m_settings.port;
    options.readStateFile = true; // what the desktop last knew (a muted output's gain, groups)
    options.timings = m_timingScale > 1 ? LinkTimings{}.scaled(m_timingScale) : LinkTimings{};
    m_core = std::make_unique<SonaroCore>(m_console, options);
    if (!m_settings.logFile.isEmpty()) {
        // The log is written here, not by the core, so that a write that fails fails the run.
        m_log = std::make_unique<EventLogFile>(m_core->eventLog(), m_settings.logFile);
        connect(&m_core->eventLog(), &EventLog::eventAdded, this, [this](const Event& event) {
            if (m_log->writable() || !m_logProblem.isEmpty()) return;
            m_logProblem = event.kind == EventKind::Storage
                               ? event.text
                               : QStringLiteral("the log %1 could not be written")
                                     .arg(escapeControls(m_settings.logFile));
        });
    }
    wire();
    if (!m_core->start()) {
        finish(kExitFailure, QStringLiteral("cannot bind the link to %1:%2")
                                 .arg(m_core->bindAddress().toString())
                                 .arg(m_core->port()));
        return false;
    }
    if (QHostAddress(m_core->deviceAddress()).isNull()) {
        finish(kExitUsage, QStringLiteral("no unit address: give --address ADDR (or run "
                                          "'sonaroctl discover' and choose one)"));
        return false;
    }
    m_core->table().setLanguage(Language::English);
    return true;
}

void CtlSession::wire()
{
    SonaroCore& c = *m_core;
    connect(&c, &SonaroCore::loginAccepted, this, &CtlSession::loggedIn);
    // "User Password Error!" and "Connect fail." are said by the core.
    connect(&c, &SonaroCore::loginRefused, this, [this] { finish(kExitRefused); });
    connect(&c.session(), &Session::connectFailed, this, [this] { finish(kExitNoAnswer); });
    connect(&c.session(), &Session::connectionChanged, this, &CtlSession::connectionChanged);
    connect(&c, &SonaroCore::linkDropped, this, [this] {
        if (m_phase == Phase::Administering && m_answered)
            m_answered();
        else
            lost(QStringLiteral("the link dropped"));
    });
    Delivery& d = c.delivery();
    connect(&d, &Delivery::stateRead, this, &CtlSession::stateRead);
    connect(&d, &Delivery::unitUnanswered, this, [this](int unit) {
        m_unanswered.insert(unit);
        if (m_phase != Phase::WaitingForState) return;
        if (unit == m_core->table().currentUnit())
            finish(kExitFailure, QStringLiteral("the unit did not report its state"));
        else
            stateRead(unit); // the others are not waited for any longer
    });
    connect(&d, &Delivery::changeConfirmed, this,
            [this](const ChangeId& id) { verdict(id, true); });
    connect(&d, &Delivery::changeNotDelivered, this,
            [this](const ChangeId& id) { verdict(id, false); });
}

void CtlSession::loggedIn(int units)
{
    if (m_phase != Phase::LoggingIn) return; // a login again after a silence
    if (units < 1) {
        finish(kExitFailure, QStringLiteral("the login answer reports no unit"));
        return;
    }
    m_units = units;
    m_deadline.stop();
    // A unit the chain does not have is named with the count it has.
    if (m_settings.unit > units || !m_core->setCurrentUnit(m_settings.unit, false)) {
        finish(kExitUsage, QStringLiteral("--unit %1: the unit reports %2 unit(s)")
                               .arg(m_settings.unit)
                               .arg(units));
        return;
    }
    if (!m_waitForState) {
        m_phase = Phase::Acting;
        m_ready(units);
        return;
    }
    m_phase = Phase::WaitingForState;
    m_deadline.start(scaled(kStateMs));
    stateRead(m_core->table().currentUnit());
}

void CtlSession::stateRead(int unit)
{
    (void)unit;
    if (m_phase != Phase::WaitingForState) return;
    // Every unit of the chain has been read (or does not answer): what is printed, saved or
    // edited is the whole chain's as the unit holds it.
    for (int u = 1; u <= m_units; ++u)
        if (!m_core->delivery().isStateRead(u) && !m_unanswered.contains(u)) return;
    m_deadline.stop();
    m_stateRead = true;
    m_phase = Phase::Acting;
    m_ready(m_units);
}

void CtlSession::connectionChanged(Connection connection)
{
    if (m_phase == Phase::Administering && connection == Connection::Connected) {
        finish(kExitFailure, QStringLiteral("the unit did not answer the change")); // timed out
        return;
    }
    if (connection == Connection::Relogging) lost(QStringLiteral("the unit went silent"));
    // The answer to an address or account change drops the link on purpose: linkDropped tells.
    if (connection == Connection::Offline && m_phase != Phase::Administering)
        lost(QStringLiteral("the link dropped"));
}

void CtlSession::lost(const QString& reason)
{
    if (m_phase == Phase::Idle || m_phase == Phase::LoggingIn || m_phase == Phase::Done) return;
    if (m_streamLost) m_streamLost(reason);
    const QList<ChangeId> open = m_phase == Phase::Confirming ? awaited() : QList<ChangeId>();
    finish(kExitFailure, open.isEmpty()
                             ? reason
                             : QStringLiteral("%1: %2: %3").arg(m_what, reason, labels(open)));
}

void CtlSession::change(const QString& what, const std::function<Outcome()>& action, Done done,
                        const QString& whyInapplicable)
{
    m_phase = Phase::Confirming;
    m_what = what;
    m_done = std::move(done);
    m_confirmed.clear();
    m_lost.clear();
    const QList<ChangeId> before = m_core->delivery().unconfirmed();
    // Verdicts given during the action (a name the database refused) count as well.
    m_collecting = true;
    const Outcome outcome = action();
    m_collecting = false;
    if (outcome == Outcome::Refused || outcome == Outcome::Declined ||
        outcome == Outcome::Inapplicable) {
        const QString why = outcome == Outcome::Refused    ? what + QStringLiteral(": refused")
                            : outcome == Outcome::Declined ? what + QStringLiteral(": not done")
                            : whyInapplicable.isEmpty()
                                ? what + QStringLiteral(" does not apply now")
                                : whyInapplicable;
        finish(kExitFailure, why);
        return;
    }
    m_ours = m_confirmed + m_lost;
    for (const ChangeId& id : m_core->delivery().unconfirmed())
        if (!before.contains(id)) m_ours.insert(id);
    m_changed = outcome == Outcome::Applied || !m_ours.isEmpty();
    m_deadline.start(scaled(kConfirmMs));
    settleChanges();
}

void CtlSession::verdict(const ChangeId& id, bool confirmed)
{
    if (m_phase != Phase::Confirming) return;
    (confirmed ? m_confirmed : m_lost).insert(id);
    if (!m_collecting) settleChanges();
}

QList<ChangeId> CtlSession::awaited() const
{
    QList<ChangeId> open;
    for (const ChangeId& id : m_ours)
        if (!m_confirmed.contains(id) && !m_lost.contains(id)) open << id;
    std::sort(open.begin(), open.end());
    return open;
}

void CtlSession::settleChanges()
{
    if (m_phase != Phase::Confirming || !awaited().isEmpty()) return;
    m_deadline.stop();
    QList<ChangeId> lost;
    QList<ChangeId> confirmed;
    for (const ChangeId& id : std::as_const(m_ours))
        (m_lost.contains(id) ? lost : confirmed) << id;
    std::sort(lost.begin(), lost.end());
    std::sort(confirmed.begin(), confirmed.end());
    if (!lost.isEmpty()) {
        finish(kExitFailure, QStringLiteral("%1: %2").arg(m_what, labels(lost)));
        return;
    }
    m_phase = Phase::Acting;
    const Done done = std::move(m_done);
    done(confirmed, m_changed);
}

QString CtlSession::labels(const QList<ChangeId>& ids) const
{
    // What travels to the unit waits for its confirmation; a name only for the database.
    QStringList toUnit;
    QStringList stored;
    for (const ChangeId& id : ids)
        (SettingCatalogue::row(id.setting).frame != 0 ? toUnit : stored)
            << SettingCatalogue::label(id, Language::English);
    QStringList parts;
    if (!toUnit.isEmpty())
        parts << QStringLiteral("not confirmed by the unit: ") + toUnit.join(QStringLiteral(", "));
    if (!stored.isEmpty())
        parts << QStringLiteral("not stored: ") + stored.join(QStringLiteral(", "));
    return parts.join(QStringLiteral("; "));
}

void CtlSession::administer(std::function<void()> answered)
{
    m_phase = Phase::Administering;
    m_answered = std::move(answered);
    m_deadline.start(2 * m_core->timings().adminTimeout + scaled(kGuardMs));
}

void CtlSession::stream(int ms, std::function<void()> ended,
                        std::function<void(const QString&)> lost)
{
    m_phase = Phase::Streaming;
    m_streamEnded = std::move(ended);
    m_streamLost = std::move(lost);
    restartDeadline(ms);
}

void CtlSession::restartDeadline(int ms)
{
    m_deadline.stop();
    if (ms >= 0) m_deadline.start(ms);
}

void CtlSession::deadlinePassed()
{
    switch (m_phase) {
    case Phase::LoggingIn:
        finish(kExitNoAnswer, QStringLiteral("no answer to the login"));
        return;
    case Phase::WaitingForState:
        finish(kExitFailure, QStringLiteral("the unit did not report its state in time"));
        return;
    case Phase::Confirming:
        finish(kExitFailure, QStringLiteral("%1: %2 (the time was up)")
                                 .arg(m_what, labels(awaited() + m_lost.values())));
        return;
    case Phase::Administering:
        finish(kExitFailure, QStringLiteral("the unit did not answer the change"));
        return;
    case Phase::Streaming:
        m_streamEnded();
        return;
    default:
        return;
    }
}

void CtlSession::interrupt()
{
    // monitor and watch end normally; the close switches the status stream off either way.
    if (m_phase == Phase::Streaming)
        finish(kExitSuccess);
    else
        finish(kExitFailure, QStringLiteral("interrupted"));
}

void CtlSession::finish(int status, const QString& reason)
{
    if (m_phase == Phase::Done) return;
    m_phase = Phase::Done;
    m_deadline.stop();
    // Often reached from inside the handler of a received datagram: the link is closed on the
    // next turn of the event loop, never inside its own signal.
    QTimer::singleShot(0, this, [this, status, reason] { close(status, reason); });
}

void CtlSession::close(int status, const QString& reason)
{
    if (m_core) {
        // A session that read the unit's state keeps it in data.ini as the desktop's close
        // does; either way the status stream is switched off and the link stopped.
        if (m_stateRead)
            m_core->closeSequence();
        else
            m_core->session().shutdown();
    }
    emit finished(m_console.conclude(status, reason, m_logProblem));
}

} // namespace sonaroctl
