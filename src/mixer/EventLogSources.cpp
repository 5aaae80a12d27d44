#include "mixer/EventLogSources.h"

#include "mixer/EventLog.h"
#include "mixer/SonaroCore.h"

namespace sonaro {

namespace {

// An account field without its "&" padding (and without the zeros of an empty field).
QString accountName(std::string_view padded)
{
    QString name = QString::fromLatin1(padded.data(), static_cast<qsizetype>(padded.size()));
    while (name.endsWith(QLatin1Char('&')) || name.endsWith(QChar(0)))
        name.chop(1);
    return name;
}

} // namespace

EventLogSources::EventLogSources(SonaroCore& core)
    : QObject(&core), m_core(core), m_log(core.eventLog()), m_previous(core.session().connection())
{
    Session& session = core.session();
    Delivery& delivery = core.delivery();
    connect(&session, &Session::connectionChanged, this, &EventLogSources::connectionChanged);
    // Deliveries: a confirmation is the normal case and would add a line per change.
    connect(&delivery, &Delivery::changeResent, &m_log, &EventLog::noteChangeResent);
    connect(&delivery, &Delivery::changeNotDelivered, &m_log, &EventLog::noteChangeNotDelivered);
    connect(&delivery, &Delivery::reportChanged, &m_log, &EventLog::noteChangedByUnit);
    connect(&delivery, &Delivery::unitUnanswered, this, [this](int unit) {
        m_log.add(EventKind::NotDelivered,
                  QT_TRANSLATE_NOOP("sonaro::EventLog",
                                    "Unit %1 does not report its state; it is no longer asked"),
                  {QString::number(unit)});
    });
    connect(&session, &Session::connectFailed, this, [this] {
        m_log.add(EventKind::Login,
                  QT_TRANSLATE_NOOP("sonaro::EventLog", "No answer to the login from %1"),
                  {address()});
    });
    connect(&core, &SonaroCore::reloggedIn, this, [this] {
        // The login answer that follows is this re-login's, not a new login.
        m_relogged = true;
        m_log.add(EventKind::Relogin,
                  QT_TRANSLATE_NOOP("sonaro::EventLog", "Logged in again to %1 after the silence"),
                  {address()});
    });
    connect(&core, &SonaroCore::loginAccepted, this, [this](int units) {
        if (std::exchange(m_relogged, false)) return;
        m_log.add(EventKind::Login,
                  QT_TRANSLATE_NOOP("sonaro::EventLog", "Logged in to %1 as %2 (unit count %3)"),
                  {address(), loginName(), QString::number(units)});
    });
    connect(&core, &SonaroCore::loginRefused, this, [this] {
        m_log.add(EventKind::Login,
                  QT_TRANSLATE_NOOP("sonaro::EventLog", "Login as %2 refused by %1"),
                  {address(), loginName()});
    });
    connect(&core, &SonaroCore::addressReported, this,
            [this](const QString& address, quint16 port) {
                m_log.add(EventKind::Address,
                          QT_TRANSLATE_NOOP("sonaro::EventLog",
                                            "The unit reported its new address %1, port %2"),
                          {address, QString::number(port)});
            });
    connect(&core, &SonaroCore::frameDropped, this, &EventLogSources::frameDropped);
    connect(&core, &SonaroCore::streamOffRepeated, this, [this] {
        m_log.add(EventKind::Connection,
                  QT_TRANSLATE_NOOP("sonaro::EventLog",
                                    "%1 still streams after the disconnect: the stream-off went "
                                    "again"),
                  {address()});
    });
    connect(&core, &SonaroCore::datagramSent, this, &EventLogSources::frameSent);
    connect(&core.surface(), &ControlSurface::settingRefused, this,
            [this](const ChangeId& setting) { m_log.noteRefused(setting, loginName()); });
    connect(&core.surface(), &ControlSurface::actionRefused, this,
            [this](const char* action) { m_log.noteRefusedAction(action, loginName()); });
    m_droppedFlush.setSingleShot(true);
    connect(&m_droppedFlush, &QTimer::timeout, this, &EventLogSources::flushDropped);
}

QString EventLogSources::address() const
{
    return m_core.deviceAddress();
}

QString EventLogSources::loginName() const
{
    return accountName(accountField(m_core.table().record(1).loginName));
}

void EventLogSources::connectionChanged(Connection next)
{
    const Connection previous = std::exchange(m_previous, next);
    switch (next) {
    case Connection::Searching:
        if (const QString typed = m_core.session().typedAddress(); !typed.isEmpty())
            m_log.add(EventKind::Connection,
                      QT_TRANSLATE_NOOP("sonaro::EventLog", "Connecting to %1"), {typed});
        else
            m_log.add(EventKind::Connection,
                      QT_TRANSLATE_NOOP("sonaro::EventLog", "Searching for units"));
        return;
    case Connection::LoggingIn:
        m_log.add(EventKind::Connection,
                  QT_TRANSLATE_NOOP("sonaro::EventLog", "Logging in to %1 as %2"),
                  {address(), loginName()});
        return;
    case Connection::Connected:
        // Back from a change that the unit never answered (its message says so too).
        if (previous == Connection::ChangingAddress)
            m_log.add(EventKind::Address,
                      QT_TRANSLATE_NOOP("sonaro::EventLog",
                                        "The unit did not confirm the address change"));
        else if (previous == Connection::ChangingAccount)
            m_log.add(EventKind::Account,
                      QT_TRANSLATE_NOOP("sonaro::EventLog",
                                        "The unit did not confirm the account change"));
        else if (previous != Connection::Relogging)
            m_log.add(EventKind::Connection,
                      QT_TRANSLATE_NOOP("sonaro::EventLog", "Connected to %1"), {address()});
        return;
    case Connection::Relogging:
        m_log.add(
            EventKind::Silence,
            QT_TRANSLATE_NOOP("sonaro::EventLog", "No status from %1 for %2 ms; logging in again"),
            {address(), QString::number(m_core.timings().silenceTimeout)});
        return;
    case Connection::ChangingAddress:
    case Connection::ChangingAccount:
        // Logged from the frame that was sent, which says what changes.
        return;
    case Connection::Closing:
        if (address().isEmpty())
            m_log.add(EventKind::Connection,
                      QT_TRANSLATE_NOOP("sonaro::EventLog", "Disconnecting"));
        else
            m_log.add(EventKind::Connection,
                      QT_TRANSLATE_NOOP("sonaro::EventLog", "Disconnecting from %1"), {address()});
        return;
    case Connection::Offline:
        // Only the unit's answer to the account change (Y) ends that state in a dropped link.
        if (previous == Connection::ChangingAccount)
            m_log.add(EventKind::Account,
                      QT_TRANSLATE_NOOP("sonaro::EventLog",
                                        "The unit confirmed the account change; log in again"));
        m_log.add(EventKind::Connection, QT_TRANSLATE_NOOP("sonaro::EventLog", "Offline"));
        return;
    }
}

void EventLogSources::frameDropped(const QByteArray& frame, const QString& reason)
{
    if (!m_droppedWindow.isValid() || m_droppedWindow.elapsed() >= m_droppedWindowMs) {
        flushDropped();
        m_droppedWindow.start();
        m_droppedInWindow = 0;
    }
    if (m_droppedInWindow >= kDroppedPerWindow) {
        if (m_droppedUnlogged++ == 0)
            m_droppedFlush.start(
                std::max<qint64>(0, m_droppedWindowMs - m_droppedWindow.elapsed()));
        return;
    }
    ++m_droppedInWindow;
    m_log.add(EventKind::DroppedFrame, QT_TRANSLATE_NOOP("sonaro::EventLog", "Dropped (%1): %2"),
              {reason, QString::fromLatin1(frame)});
}

void EventLogSources::flushDropped()
{
    m_droppedFlush.stop();
    if (m_droppedUnlogged == 0) return;
    m_log.add(EventKind::DroppedFrame,
              QT_TRANSLATE_NOOP("sonaro::EventLog", "%1 more frames dropped"),
              {QString::number(std::exchange(m_droppedUnlogged, 0))});
}

void EventLogSources::frameSent(const QByteArray& frame)
{
    if (frame.size() < 3 || (frame[1] != 'I' && frame[1] != 'X')) return;
    // "%I,uu,address:port,crc#" and "%X,uu,name,old,name,new,crc#": only the unit, the address
    // and the account name are read; the passwords are never touched.
    const QList<QByteArray> fields = frame.split(',');
    if (fields.size() < 3) return;
    const QString unit = QString::fromLatin1(fields[1]);
    if (frame[1] == 'I') {
        m_log.add(EventKind::Address,
                  QT_TRANSLATE_NOOP("sonaro::EventLog", "Address change sent: unit %1 to %2"),
                  {unit, QString::fromLatin1(fields[2])});
    } else {
        m_log.add(EventKind::Account,
                  QT_TRANSLATE_NOOP("sonaro::EventLog", "Account change sent: unit %1, account %2"),
                  {unit, accountName(std::string_view(
                             fields[2].constData(), static_cast<std::size_t>(fields[2].size())))});
    }
}

} // namespace sonaro
