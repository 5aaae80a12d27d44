#include "link/Session.h"

#include "link/AddressFile.h"
#include "protocol/FrameCodec.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>

namespace sonaro {

namespace {

constexpr int kLoginTries = 3;
// An acknowledged command whose answer wait gave up is queued again this many times in a row
// while the unit is connected; after that it waits for the next login.
constexpr int kRequeuesWhileConnected = 3;

QByteArray latin1Of(const QString& text)
{
    return text.toLatin1();
}

std::string_view viewOf(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

Session::Session(LinkState& state, Link& link, Dispatcher& dispatcher, OperatorInterface& ui,
                 QObject* parent)
    : QObject(parent), m_state(state), m_link(link), m_dispatcher(dispatcher), m_ui(ui)
{
    connect(&m_linkTimer, &QTimer::timeout, this, &Session::linkTimerTick);
    connect(&m_adminTimer, &QTimer::timeout, this, &Session::adminTimerTick);
    connect(&m_link, &Link::frameSent, this, &Session::noteSent);
    connect(&m_link, &Link::frameReceived, this, &Session::noteReceived);
    connect(&m_link, &Link::answerGivenUp, this, &Session::answerGivenUp);
    connect(&m_dispatcher, &Dispatcher::reloggedIn, this, &Session::resendUnanswered);
}

void Session::noteSent(const QByteArray& frame)
{
    // "%K,uu,ii,...": kind, unit, and for E and B the slot or output.
    if (frame.size() < 8 || !isAcknowledged(frame[1])) return;
    const std::string_view text = viewOf(frame);
    m_lastAcknowledged = {frame[1], static_cast<int>(hexField(text, 3, 2)),
                          frame[1] == 'M' ? 0 : static_cast<int>(hexField(text, 6, 2))};
}

void Session::noteReceived(const QByteArray& frame)
{
    // D, Q and H answer M, E and B; a wait that ends with its answer starts the count anew.
    if (frame.size() < 2 || (frame[1] != 'D' && frame[1] != 'Q' && frame[1] != 'H')) return;
    std::erase_if(m_giveUps, [&](const auto& entry) { return entry.first == m_lastAcknowledged; });
}

void Session::answerGivenUp(char command)
{
    if (m_lastAcknowledged.kind != command) return;
    const Acknowledged lost = m_lastAcknowledged;
    auto entry = std::find_if(m_giveUps.begin(), m_giveUps.end(),
                              [&](const auto& e) { return e.first == lost; });
    if (entry == m_giveUps.end()) entry = m_giveUps.insert(m_giveUps.end(), {lost, 0});
    // The unit has not confirmed the change; it would keep its old settings unless the command
    // goes again.
    if (UnitTable::isValidUnit(lost.unit) && m_state.table.record(lost.unit).connected &&
        entry->second < kRequeuesWhileConnected) {
        ++entry->second;
        m_link.send(lost.kind, lost.unit, lost.index);
        return;
    }
    if (std::find(m_unanswered.begin(), m_unanswered.end(), lost) == m_unanswered.end())
        m_unanswered.push_back(lost);
}

void Session::resendUnanswered()
{
    const std::vector<Acknowledged> again = std::exchange(m_unanswered, {});
    m_giveUps.clear();
    for (const Acknowledged& command : again)
        m_link.send(command.kind, command.unit, command.index);
}

bool Session::start()
{
    const bool started = m_link.start();
    m_linkTimer.start(m_state.timings.watchdogTick);
    m_adminTimer.start(m_state.timings.adminTick);
    return started;
}

void Session::shutdown()
{
    m_link.sendFrame(buildL(false));
    m_linkTimer.stop();
    m_adminTimer.stop();
    m_link.stop();
}

bool Session::beginConnect()
{
    if (current().connected) {
        error(QStringLiteral("Already connect"));
        return false;
    }
    m_link.stop();
    return true;
}

void Session::finishConnect(OpenMode mode)
{
    m_link.start();
    if (mode != OpenMode::Open) return;
    QTimer::singleShot(m_state.timings.restartDelay, this, &Session::sendLogin);
}

void Session::storeLogin(const QString& name, const QString& password)
{
    UnitRecord& r = current();
    storeAccount(r.loginName, viewOf(latin1Of(name)));
    storeAccount(r.loginPassword, viewOf(latin1Of(password)));
    const std::string_view padded = accountField(r.loginName);
    if (padded == "admin&&")
        r.accountLevel = 1;
    else if (padded == "user&&&")
        r.accountLevel = 2;
}

void Session::sendLogin()
{
    UnitRecord& r = current();
    r.loginAccepted = 0;
    m_link.sendText('R', buildR(accountField(r.loginName), accountField(r.loginPassword)));
    m_state.loginRetryCount = 0;
    r.loginPending = 1;
    m_state.stampLoginSent(m_state.table.currentUnit());
}

void Session::disconnect()
{
    m_dispatcher.dropLink();
}

void Session::linkTimerTick()
{
    UnitRecord& first = m_state.table.record(1);
    UnitClock& clock = m_state.clock(1);
    const qint64 now = m_state.now();
    const LinkTimings& t = m_state.timings;
    // An M whose D never came is not waited for any longer.
    if (first.switchesPending && now - clock.switchesSent >= t.switchesPendingTimeout)
        first.switchesPending = 0;

    if (first.loginPending && now - clock.loginSent >= t.loginRetryInterval) {
        if (++m_state.loginRetryCount >= kLoginTries) {
            first.loginPending = 0;
            m_dispatcher.setIndicator(false);
            emit connectFailed();
            error(m_state.deviceAddress + QStringLiteral("Connect fail."));
        } else {
            const UnitRecord& cur = current();
            m_link.sendText('R',
                            buildR(accountField(cur.loginName), accountField(cur.loginPassword)));
            first.loginPending = 1;
            m_state.stampLoginSent(1);
        }
    }

    // Silence: the link is taken as lost and a login is sent again, every interval while the
    // unit stays silent, until it answers.
    const bool watching = first.connected || m_state.reloginAfterSilence;
    if (watching && now - clock.lastHeard >= t.silenceTimeout) {
        m_dispatcher.setIndicator(false);
        m_state.stampLastHeard(m_state.table.currentUnit());
        clock.lastHeard = m_state.now();
        first.connected = 0;
        const UnitRecord& cur = current();
        m_link.sendText('R', buildR(accountField(cur.loginName), accountField(cur.loginPassword)));
        m_state.reloginAfterSilence = true;
    }
}

bool Session::changeAddress(const QHostAddress& address)
{
    if (m_state.addressChangeInProgress) {
        error(QStringLiteral("Already setting device ip."));
        return false;
    }
    if (!current().connected) {
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
    m_link.sendText('I', buildI(m_state.table.currentUnit(), text, m_state.port));
    m_state.addressChangeInProgress = true;
    m_state.addressChangeConfirmed = false;
    m_state.adminStart = m_state.now();
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
    UnitRecord& r = current();
    if (!r.connected) {
        m_ui.showMessage(Severity::Information, QStringLiteral("Please connect software."));
        return false;
    }
    m_state.accountChangePending = true;
    r.accountChangePending = 1;
    m_state.adminStart = m_state.now();
    m_link.sendText('X', buildX(m_state.table.currentUnit(), name, oldPadded, newPadded));
    return true;
}

void Session::adminTimerTick()
{
    const qint64 elapsed = m_state.now() - m_state.adminStart;
    const int timeout = m_state.timings.adminTimeout;
    if (m_state.addressChangeInProgress && !m_state.addressChangeConfirmed && elapsed > timeout) {
        m_state.addressChangeInProgress = false;
        m_state.addressChangeConfirmed = false;
        error(QStringLiteral("Change ip error"));
    }
    UnitRecord& r = current();
    if (m_state.accountChangePending && elapsed > timeout && r.accountChangePending) {
        r.accountChangePending = 0;
        m_state.accountChangePending = false;
        error(QStringLiteral("Change user error"));
    }
}

LoginCheck::LoginCheck(LinkState& state, QObject* parent) : QObject(parent), m_state(state)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LoginCheck::poll);
}

LoginCheck::~LoginCheck()
{
    delete m_socket;
}

void LoginCheck::checkLogin(const QString& name, const QString& password)
{
    if (m_socket) return;
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(m_state.bindAddress, m_state.port)) {
        delete socket;
        // Reported on the next turn of the event loop, as every other outcome.
        QTimer::singleShot(0, this, [this] { emit finished(false); });
        return;
    }
    m_socket = socket;
    m_reads = 0;
    const std::string frame = buildR(viewOf(latin1Of(name)), viewOf(latin1Of(password)));
    m_socket->writeDatagram(frame.data(), static_cast<qint64>(frame.size()),
                            QHostAddress(m_state.deviceAddress), m_state.port);
    m_timer.start(m_state.timings.checkLoginReadInterval);
}

void LoginCheck::poll()
{
    if (!m_socket) return;
    while (m_socket->hasPendingDatagrams()) {
        const QByteArray data = m_socket->receiveDatagram(1024).data();
        if (data.size() < 2 || data[1] != 'R') continue;
        std::string_view inner;
        const bool valid = checkIncomingFrame(viewOf(data), &inner) && inner.size() >= 12;
        const bool refused = !valid || (inner.substr(2, 2) == "FF" && inner.substr(5, 2) == "FF");
        finish(!refused);
        return;
    }
    if (++m_reads >= m_state.timings.checkLoginReads) finish(false);
}

void LoginCheck::finish(bool accepted)
{
    m_timer.stop();
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
    emit finished(accepted);
}

void Session::useDeviceAddress(const QString& address)
{
    m_state.deviceAddress = address;
    if (!m_state.addressFilePath.isEmpty()) writeAddressFile(m_state.addressFilePath, address);
}

} // namespace sonaro
