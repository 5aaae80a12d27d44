#include "link/Session.h"

#include "link/AddressFile.h"
#include "protocol/FrameCodec.h"

#include <QEventLoop>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>

namespace sonaro {

namespace {

constexpr int kLoginTries = 3;

QByteArray latin1Of(const QString& text)
{
    return text.toLatin1();
}

std::string_view viewOf(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

Session::Session(LinkState& state, Link& link, Dispatcher& dispatcher, Delivery& delivery,
                 OperatorInterface& ui, QObject* parent)
    : QObject(parent), m_state(state), m_link(link), m_dispatcher(dispatcher), m_delivery(delivery),
      m_ui(ui)
{
    // Until the unit has reported its state after a login, a frame built from the record would
    // take back what was changed at the unit meanwhile; the delivery keeps the operator's
    // changes and sends them once the reports came.
    m_link.setBuildCheck(
        [this](char kind, int unit, int index) { return m_delivery.mayBuild(kind, unit, index); });
    connect(&m_linkTimer, &QTimer::timeout, this, &Session::linkTimerTick);
    connect(&m_adminTimer, &QTimer::timeout, this, &Session::adminTimerTick);
    connect(&m_dispatcher, &Dispatcher::loginAccepted, this, &Session::loginAnswered);
    connect(&m_dispatcher, &Dispatcher::loginRefused, this, [this] { enter(Connection::Offline); });
    connect(&m_dispatcher, &Dispatcher::linkDropped, this, &Session::linkDropped);
    m_loginDelay.setSingleShot(true);
    connect(&m_loginDelay, &QTimer::timeout, this, &Session::sendLogin);
    connect(&m_closingTimer, &QTimer::timeout, this, &Session::closingTick);
    // A port that cannot be bound is told with its address and cause; the link stays silent.
    connect(&m_link, &Link::socketError, this, [this](const QString& message) { error(message); });
}

void Session::enter(Connection next)
{
    const Connection previous = m_state.connection;
    // Whatever the state left repeated or waited for ends with it.
    m_loginDelay.stop();
    if (next != Connection::Closing) m_closingTimer.stop();
    m_loginTries = 0;
    if (previous == Connection::LoggingIn || previous == Connection::Relogging)
        head().loginPending = 0;
    if (previous == Connection::ChangingAddress) m_state.requestedAddress.clear();
    if (previous == next) return;
    m_state.connection = next;
    // Without a logged-in unit, what waits is asked about at the next login.
    if (next == Connection::Offline || next == Connection::Searching) m_delivery.markOffline();
    emit connectionChanged(next);
}

void Session::sendLoginFrame()
{
    const UnitRecord& r = head();
    m_link.sendText('R', buildR(accountField(r.loginName), accountField(r.loginPassword)));
    m_state.stampLoginSent(1);
}

void Session::loginAnswered()
{
    enter(Connection::Connected);
}

void Session::linkDropped()
{
    enter(Connection::Offline);
}

bool Session::start()
{
    m_delivery.rebase();
    const bool started = m_link.start();
    m_linkTimer.start(m_state.timings.watchdogTick);
    m_adminTimer.start(m_state.timings.adminTick);
    return started;
}

void Session::shutdown()
{
    beginClosing(true);
    if (m_state.connection == Connection::Closing) {
        // The program ends after this call, so the drain runs here; its own limit ends it, the
        // extra time only guards against a timer that never fires.
        QEventLoop loop;
        connect(this, &Session::closed, &loop, &QEventLoop::quit);
        QTimer::singleShot(m_state.timings.drainLimit * 2, &loop, &QEventLoop::quit);
        loop.exec();
        if (m_state.connection == Connection::Closing) finishClosing();
    }
    m_linkTimer.stop();
    m_adminTimer.stop();
    m_link.stop();
}

void Session::beginClosing(bool exiting)
{
    m_exiting = exiting;
    enter(Connection::Closing);
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        m_state.table.record(unit).connected = 0;
    m_dispatcher.setIndicator(false);
    m_closingStart = m_state.now();
    if (m_link.isQueueIdle() || !m_link.isRunning()) {
        finishClosing();
        return;
    }
    m_closingTimer.start(std::max(1, m_state.timings.sendPause));
}

void Session::closingTick()
{
    if (m_link.isQueueIdle() || m_state.now() - m_closingStart >= m_state.timings.drainLimit)
        finishClosing();
}

void Session::finishClosing()
{
    m_closingTimer.stop();
    // Past the limit, what is left is not sent.
    m_link.discardQueued();
    if (m_exiting) {
        m_link.sendFrame(buildL(false));
        enter(Connection::Offline);
    } else {
        m_dispatcher.dropLink(); // the link-dropped signal takes the session offline
        enter(Connection::Offline);
    }
    emit closed();
}

bool Session::beginConnect(const QString& typedAddress)
{
    m_typedAddress = typedAddress;
    if (head().connected) {
        error(QStringLiteral("Already connect"));
        return false;
    }
    // A silent unit is given up: the search may choose another one.
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        m_state.table.record(unit).connected = 0;
    m_dispatcher.setIndicator(false);
    enter(Connection::Searching);
    m_link.stop();
    return true;
}

void Session::finishConnect(OpenMode mode)
{
    enter(Connection::Offline);
    m_link.start();
    if (mode != OpenMode::Open) return;
    m_loginDelay.start(m_state.timings.restartDelay);
}

void Session::storeLogin(const QString& name, const QString& password)
{
    UnitRecord& r = head();
    storeAccount(r.loginName, viewOf(latin1Of(name)));
    storeAccount(r.loginPassword, viewOf(latin1Of(password)));
    // The unit lists its administrator's name (search answer); before any list it is "admin".
    // Any other name gets the user's level, never an earlier administrator's.
    std::string_view listed = accountField(r.adminName);
    listed = listed.substr(0, std::min(listed.find('\0'), listed.size()));
    const std::string admin = padAccount(listed.empty() ? std::string_view("admin") : listed);
    r.accountLevel = accountField(r.loginName) == admin ? 1 : 2;
}

void Session::sendLogin()
{
    m_dispatcher.setStreamOffOwed(false);
    enter(Connection::LoggingIn);
    UnitRecord& r = head();
    r.loginAccepted = 0;
    sendLoginFrame();
    r.loginPending = 1;
}

void Session::disconnect()
{
    beginClosing(false);
}

void Session::linkTimerTick()
{
    const int unit = 1; // the head of the chain is watched for the whole chain
    UnitRecord& first = m_state.table.record(1);
    UnitClock& clock = m_state.clock(unit);
    const qint64 now = m_state.now();
    const LinkTimings& t = m_state.timings;
    // An M whose D never came is not waited for any longer.
    if (first.switchesPending && now - m_state.clock(1).switchesSent >= t.switchesPendingTimeout)
        first.switchesPending = 0;

    switch (m_state.connection) {
    case Connection::LoggingIn:
        if (now - clock.loginSent < t.loginRetryInterval) return;
        if (++m_loginTries >= kLoginTries) {
            enter(Connection::Offline);
            m_dispatcher.setIndicator(false);
            emit connectFailed();
            error(m_state.deviceAddress + QStringLiteral("Connect fail."));
            return;
        }
        sendLoginFrame();
        return;
    case Connection::Relogging:
        // The unit may be heard again (its status stream, its unit count) before it answered:
        // a lost login or a lost answer would otherwise leave the link half up for good. The
        // login goes again at every retry interval until it is answered.
        if (now - clock.loginSent < t.loginRetryInterval) return;
        m_state.stampLastHeard(unit);
        sendLoginFrame();
        return;
    case Connection::Connected:
    case Connection::ChangingAddress:
    case Connection::ChangingAccount: {
        // Silence: the link is taken as lost and a login is sent again, every interval while the
        // unit stays silent, until it answers.
        if (now - clock.lastHeard < t.silenceTimeout) return;
        const Connection was = m_state.connection;
        m_dispatcher.setIndicator(false);
        m_state.stampLastHeard(unit);
        head().connected = 0;
        enter(Connection::Relogging);
        sendLoginFrame();
        // A change waiting for its answer is not confirmed by a unit that went away.
        if (was == Connection::ChangingAddress) error(QStringLiteral("Change ip error"));
        if (was == Connection::ChangingAccount) {
            head().accountChangePending = 0;
            error(QStringLiteral("Change user error"));
        }
        return;
    }
    case Connection::Offline:
    case Connection::Searching:
    case Connection::Closing:
        return;
    }
}

bool Session::changeAddress(const QHostAddress& address)
{
    if (m_state.connection == Connection::ChangingAddress) {
        error(QStringLiteral("Already setting device ip."));
        return false;
    }
    if (!head().connected || m_state.connection != Connection::Connected) {
        error(QStringLiteral("Please connect software."));
        return false;
    }
    bool ok = false;
    const quint32 ip = address.toIPv4Address(&ok);
    if (!ok) {
        error(QStringLiteral("Change ip error"));
        return false;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%03u.%03u.%03u.%03u", (ip >> 24) & 0xFF, (ip >> 16) & 0xFF,
                  (ip >> 8) & 0xFF, ip & 0xFF);
    m_link.sendText('I', buildI(1, text, m_state.port));
    m_state.requestedAddress = QHostAddress(ip).toString();
    enter(Connection::ChangingAddress);
    m_adminStart = m_state.now();
    return true;
}

bool Session::changeAccount(const QString& account, const QString& oldPassword,
                            const QString& newPassword, const QString& confirmation)
{
    const QString texts[4] = {account, oldPassword, newPassword, confirmation};
    for (const QString& text : texts) {
        if (text.isEmpty()) {
            error(QStringLiteral("Please set password first."));
            return false;
        }
    }
    // Every length is checked before any character.
    for (const QString& text : texts) {
        if (text.size() > kAccountLength - 1) {
            error(QStringLiteral("Must be <=6 bits."));
            return false;
        }
    }
    for (const QString& text : texts) {
        for (const QChar c : text) {
            if (c == QLatin1Char(kAccountFiller)) {
                error(QStringLiteral("Must be not &."));
                return false;
            }
            // The frame's delimiters: the unit would keep only what stands before them.
            if (c == QLatin1Char(',') || c == QLatin1Char('#') || c == QLatin1Char('%')) {
                error(QStringLiteral("Must be not , # % or &."));
                return false;
            }
            if (c.unicode() > 127) {
                error(QStringLiteral("Must be English."));
                return false;
            }
        }
    }
    const std::string name = padAccount(viewOf(latin1Of(account)));
    const std::string oldPadded = padAccount(viewOf(latin1Of(oldPassword)));
    const std::string newPadded = padAccount(viewOf(latin1Of(newPassword)));
    if (newPadded != padAccount(viewOf(latin1Of(confirmation)))) {
        error(QStringLiteral("New psw error."));
        return false;
    }
    UnitRecord& r = head();
    if (!r.connected || m_state.connection != Connection::Connected) {
        m_ui.showMessage(Severity::Information, QStringLiteral("Please connect software."));
        return false;
    }
    enter(Connection::ChangingAccount);
    r.accountChangePending = 1;
    m_adminStart = m_state.now();
    m_link.sendText('X', buildX(1, name, oldPadded, newPadded));
    return true;
}

void Session::adminTimerTick()
{
    if (m_state.now() - m_adminStart <= m_state.timings.adminTimeout) return;
    if (m_state.connection == Connection::ChangingAddress) {
        enter(Connection::Connected);
        error(QStringLiteral("Change ip error"));
    } else if (m_state.connection == Connection::ChangingAccount) {
        head().accountChangePending = 0;
        enter(Connection::Connected);
        error(QStringLiteral("Change user error"));
    }
}

void Session::useDeviceAddress(const QString& address)
{
    m_state.deviceAddress = address;
    if (!m_state.addressFilePath.isEmpty())
        writeAddressFile(m_state.addressFilePath, address, &m_ui);
}

} // namespace sonaro
