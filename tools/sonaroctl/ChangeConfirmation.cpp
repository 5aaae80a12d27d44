#include "ChangeConfirmation.h"

#include "dsp/EqModel.h"
#include "mixer/SonaroCore.h"
#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"

namespace sonaroctl {

using namespace sonaro;

namespace {

// "XXXX#": the checksum and the end mark close every frame.
constexpr std::size_t kFrameTail = 5;

QString slotName(int slot)
{
    if (slot < kInputCount) return QStringLiteral("the EQ of input %1").arg(slot + 1);
    const int part = slot - kInputCount;
    return QStringLiteral("EQ bands %1-%2 of output %3")
        .arg(part % 3 * kBandsPerBlock + 1)
        .arg(part % 3 * kBandsPerBlock + kBandsPerBlock)
        .arg(part / 3 + 1);
}

} // namespace

ChangeConfirmation::ChangeConfirmation(SonaroCore& core, int readBackTimeoutMs, int quietMs,
                                       QObject* parent)
    : QObject(parent), m_core(core), m_readBackTimeoutMs(readBackTimeoutMs), m_quietMs(quietMs)
{
    m_quiet.setSingleShot(true);
    m_readBackTimer.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &ChangeConfirmation::askState);
    connect(&m_readBackTimer, &QTimer::timeout, this, &ChangeConfirmation::askState);
    // Connected after the dispatcher's own slot: when a frame arrives here the record already
    // holds what it reported.
    connect(&core.link(), &Link::frameSent, this, &ChangeConfirmation::frameSent);
    connect(&core.link(), &Link::frameReceived, this, &ChangeConfirmation::frameReceived);
}

bool ChangeConfirmation::confirms(const std::string& before, const std::string& wanted,
                                  const std::string& got)
{
    if (wanted.size() != got.size() || before.size() != wanted.size()) return before == got;
    const std::size_t end = wanted.size() > kFrameTail ? wanted.size() - kFrameTail : 0;
    for (std::size_t i = 0; i < end; ++i)
        if (before[i] != wanted[i] && got[i] != wanted[i]) return false;
    return true;
}

void ChangeConfirmation::begin()
{
    m_before = m_core.table().current();
    m_wanted = m_before;
    m_watching = true;
}

void ChangeConfirmation::expect()
{
    m_wanted = m_core.table().current();
}

bool ChangeConfirmation::fromUnit(const QHostAddress& sender, quint16 port) const
{
    const LinkState& state = m_core.linkState();
    return port == state.port &&
           sender.isEqual(QHostAddress(state.deviceAddress), QHostAddress::TolerantConversion);
}

void ChangeConfirmation::frameSent(const QByteArray& frame)
{
    if (!m_watching || frame.size() < 2) return;
    std::string_view inner;
    const std::string_view text(frame.constData(), static_cast<std::size_t>(frame.size()));
    switch (frame[1]) {
    case 'M':
        m_sentM = true;
        return;
    case 'V':
        m_sentV = true;
        return;
    case 'G':
        m_sentG = true;
        return;
    case 'E':
        if (checkFrame(text, &inner)) m_waitingE.insert(static_cast<int>(hexField(inner, 5, 2)));
        return;
    case 'B':
        if (checkFrame(text, &inner)) m_waitingB.insert(static_cast<int>(hexField(inner, 5, 2)));
        return;
    default:
        return;
    }
}

void ChangeConfirmation::frameReceived(const QByteArray& frame, const QHostAddress& sender,
                                       quint16 port)
{
    if (!m_watching || frame.size() < 2 || !fromUnit(sender, port)) return;
    std::string_view inner;
    if (!checkIncomingFrame(
            std::string_view(frame.constData(), static_cast<std::size_t>(frame.size())), &inner))
        return; // a damaged answer confirms nothing
    const int unit = m_core.table().currentUnit();
    switch (frame[1]) {
    case 'D':
        if (m_sentM && static_cast<int>(hexField(inner, 2, 2)) == unit)
            m_afterD = m_core.table().current();
        return;
    case 'Q':
        m_waitingE.erase(static_cast<int>(hexField(inner, 5, 2)));
        return;
    case 'H':
        m_waitingB.erase(static_cast<int>(hexField(inner, 5, 2)));
        return;
    case 'S':
        if (m_askedState && static_cast<int>(hexField(inner, 2, 2)) == unit) {
            m_readBack = m_core.table().current();
            m_readBackTimer.stop();
            m_askedState = false;
            conclude();
        }
        return;
    default:
        return;
    }
}

void ChangeConfirmation::run()
{
    if (m_running) return;
    m_running = true;
    const int unit = m_core.table().currentUnit();
    const bool vChanged = buildV(m_before, unit) != buildV(m_wanted, unit);
    const bool gChanged = buildG(m_before, unit) != buildG(m_wanted, unit);
    if (m_sentV || m_sentG || vChanged || gChanged || m_forceReadBack) {
        m_quiet.start(m_quietMs);
        return;
    }
    conclude();
}

void ChangeConfirmation::askState()
{
    if (m_stateTries >= kReadBackTries) {
        m_askedState = false;
        conclude();
        return;
    }
    ++m_stateTries;
    m_askedState = true;
    const int unit = m_core.table().currentUnit();
    m_core.link().sendText('C', buildC(unit));
    m_readBackTimer.start(m_readBackTimeoutMs);
}

void ChangeConfirmation::conclude()
{
    m_watching = false;
    m_quiet.stop();
    m_readBackTimer.stop();
    const int unit = m_core.table().currentUnit();
    QStringList unconfirmed;

    const std::string mBefore = buildM(m_before, unit);
    const std::string mWanted = buildM(m_wanted, unit);
    if (m_sentM || mBefore != mWanted) {
        if (!m_afterD)
            unconfirmed << QStringLiteral("the switches (M): no valid D answer came");
        else if (!confirms(mBefore, mWanted, buildM(*m_afterD, unit)))
            unconfirmed << QStringLiteral("the switches (M): the unit's D reports other values");
    }

    const bool vAsked = m_sentV || buildV(m_before, unit) != buildV(m_wanted, unit);
    const bool gAsked = m_sentG || buildG(m_before, unit) != buildG(m_wanted, unit);
    if ((vAsked || gAsked || m_forceReadBack) && !m_readBack) {
        unconfirmed << QStringLiteral("the gains and settings (V, G): the unit did not report its "
                                      "state when asked");
    } else {
        if (vAsked &&
            !confirms(buildV(m_before, unit), buildV(m_wanted, unit), buildV(*m_readBack, unit)))
            unconfirmed << QStringLiteral("the gains (V): the unit reports other values");
        if (gAsked &&
            !confirms(buildG(m_before, unit), buildG(m_wanted, unit), buildG(*m_readBack, unit)))
            unconfirmed << QStringLiteral(
                "the routing and automix settings (G): the unit reports other values");
    }

    for (int slot : m_waitingE)
        unconfirmed << QStringLiteral("%1 (E): no Q answer came").arg(slotName(slot));
    for (int output : m_waitingB)
        unconfirmed
            << QStringLiteral("the limiter of output %1 (B): no H answer came").arg(output + 1);
    emit finished(unconfirmed);
}

} // namespace sonaroctl
