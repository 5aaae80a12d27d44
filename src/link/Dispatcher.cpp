#include "link/Dispatcher.h"

#include "link/AddressFile.h"
#include "link/Delivery.h"
#include "model/HostAddressRules.h"
#include "model/ValueConventions.h"
#include "protocol/FrameCodec.h"
#include "protocol/ParameterWords.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace sonaro {

namespace {

// Shortest inner text (between "%" and "#") of each incoming kind; fields are read at fixed
// positions, so a shorter frame is rejected.
std::size_t innerLength(char kind)
{
    switch (kind) {
    case 'R':
        return 12;
    case 'L':
        return 30;
    case 'Z':
        return 12;
    case 'A':
        return 87;
    case 'P':
        return 47;
    case 'K':
        return 12;
    case 'U':
        return 32;
    case 'Q':
        return 12;
    case 'H':
        return 12;
    case 'Y':
        return 25;
    case 'O':
        return 34;
    case 'S':
        return 147;
    case 'N':
        return 41;
    case 'D':
        return 32;
    default:
        return 0;
    }
}

bool validFrame(std::string_view frame, std::string_view& inner)
{
    return checkIncomingFrame(frame, &inner) && inner.size() >= innerLength(inner[0]);
}

// Filter index of the high-pass and low-pass lists (0..10).
constexpr int kFilterIndexMax = 10;

int byteText(std::string_view inner, std::size_t pos)
{
    return static_cast<int>(hexField(inner, pos, 2));
}

int wordText(std::string_view inner, std::size_t pos)
{
    return static_cast<int>(hexField(inner, pos, 4));
}

int hexDigit(std::string_view inner, std::size_t pos)
{
    return static_cast<int>(hexField(inner, pos, 1));
}

// One character read as the C library reads a decimal number: its digit, 0 otherwise.
int digitText(std::string_view inner, std::size_t pos)
{
    const char c = pos < inner.size() ? inner[pos] : '0';
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

// A value from the unit held to the range the records allow, so that nothing out of range is
// stored, shown or sent back.
int clampedByte(std::string_view inner, std::size_t pos, int low, int high)
{
    return std::clamp(byteText(inner, pos), low, high);
}

int clampedDigit(int value, int high)
{
    return std::min(value, high);
}

int bitOf(int byte, int position)
{
    return (byte >> position) & 1;
}

// A reported output gain: a non-zero value un-mutes the output; a muted output reported as 0
// keeps the gain it will return to.
void applyOutputGain(UnitRecord& r, int output, int gain)
{
    if (gain != 0) r.outputMute[output] = 0;
    if (!r.outputMute[output]) r.outputGain[output] = gain;
}

LinkTable readLinkTable(std::string_view inner, std::size_t groupsAt, std::size_t flagsAt)
{
    LinkTable table;
    for (std::size_t ch = 0; ch < LinkTable::kChannels; ++ch) {
        table.group[ch] = digitText(inner, groupsAt + ch);
        table.flags[ch] = static_cast<std::uint8_t>(byteText(inner, flagsAt + 2 * ch));
    }
    return table;
}

} // namespace

Dispatcher::Dispatcher(LinkState& state, Link& link, OperatorInterface& ui, QObject* parent)
    : QObject(parent), m_state(state), m_link(link), m_ui(ui)
{
    connect(&m_link, &Link::frameReceived, this, &Dispatcher::receive);
}

void Dispatcher::receive(const QByteArray& frame, const QHostAddress& sender, quint16 senderPort)
{
    const std::string_view text(frame.constData(), static_cast<std::size_t>(frame.size()));
    const QHostAddress unit(m_state.deviceAddress);
    const bool fromUnit =
        senderPort == m_state.port && sender.isEqual(unit, QHostAddress::TolerantConversion);
    if (!expectsUnit(m_state.connection)) {
        if (fromUnit && m_streamOffOwed) {
            // The unit still streams: the stream-off left into a silence. It goes again when
            // the unit is heard, a few times at most; the frames are counted, not logged.
            ++m_dropped;
            repeatStreamOff();
            return;
        }
        drop(text, "no unit expected");
        return;
    }
    // A unit asked to move may answer the change from its new address.
    const bool fromMovedUnit =
        m_state.connection == Connection::ChangingAddress && text.size() > 1 && text[1] == 'P' &&
        senderPort == m_state.port && !m_state.requestedAddress.isEmpty() &&
        sender.isEqual(QHostAddress(m_state.requestedAddress), QHostAddress::TolerantConversion);
    if (!fromUnit && !fromMovedUnit) {
        drop(text, "not from the unit");
        return;
    }
    dispatch(text);
}

void Dispatcher::drop(std::string_view frame, const char* reason)
{
    ++m_dropped;
    emit frameDropped(QByteArray(frame.data(), static_cast<qsizetype>(frame.size())),
                      QString::fromLatin1(reason));
}

void Dispatcher::dispatch(std::string_view frame)
{
    if (frame.size() < 6) return;
    std::string_view inner;
    const Connection connection = m_state.connection;
    switch (frame[1]) {
    case 'R':
        if (connection == Connection::LoggingIn || connection == Connection::Relogging) {
            m_state.stampLastHeard(1);
            if (handleR(frame)) afterLogin();
        } else if (isLoggedIn(connection) && validFrame(frame, inner)) {
            // A repeated answer: the unit is alive, and the login is already done.
            m_state.stampLastHeard(1);
        } else {
            drop(frame, "login answer not asked for");
        }
        return;
    case 'L':
        if (head().connected && validFrame(frame, inner)) handleL(inner);
        return;
    case 'Z':
        if (validFrame(frame, inner)) handleZ(inner);
        return;
    case 'A':
        if (validFrame(frame, inner)) handleA(inner);
        return;
    case 'P':
        // The link never probes; a P on it is the answer to an address change. A late answer to
        // a discovery probe must not move the link elsewhere or report a change nobody asked for.
        if (connection != Connection::ChangingAddress || !validFrame(frame, inner)) {
            drop(frame, "address answer not asked for");
            return;
        }
        if (!handleP(inner)) {
            drop(frame, "impossible address answer");
            return;
        }
        emit addressReported(m_state.deviceAddress, m_state.port);
        dropLink();
        m_ui.showMessage(Severity::Information,
                         QStringLiteral("Changing IP address successful, restart software."));
        return;
    case 'K':
        if (validFrame(frame, inner)) handleK(inner);
        return;
    case 'U':
        if (validFrame(frame, inner)) handleU(inner);
        return;
    case 'Q':
    case 'H': {
        // The answer counts whatever its content, once it arrived whole, for the slot or output
        // it names.
        if (!validFrame(frame, inner)) return;
        const int unit = byteText(inner, 2);
        const int index = byteText(inner, 5);
        if (m_delivery)
            m_delivery->answerReceived(frame[1], unit, index);
        else
            m_link.answerArrived(frame[1], unit, index);
        return;
    }
    case 'Y':
        // Only a whole answer to the change asked for ends the login; anything else would
        // report a change that did not happen.
        if (connection != Connection::ChangingAccount || !validFrame(frame, inner)) {
            drop(frame, "account answer not asked for");
            return;
        }
        handleY(inner);
        // The old login no longer holds.
        dropLink();
        m_ui.showMessage(
            Severity::Information,
            QStringLiteral("Password changed successfully, please reconnect the device"));
        return;
    case 'O':
        if (head().connected && validFrame(frame, inner) && handleO(inner)) emit stateChanged();
        return;
    case 'S':
        if (validFrame(frame, inner) && handleS(inner)) {
            emit stateChanged();
            emit groupsChanged();
        }
        return;
    case 'N':
        if (validFrame(frame, inner) && handleN(inner)) emit groupsChanged();
        return;
    case 'D':
        if (!validFrame(frame, inner)) return;
        if (m_delivery)
            m_delivery->answerReceived('D', byteText(inner, 2), 0);
        else
            m_link.answerArrived('D', byteText(inner, 2), 0);
        if (head().connected && handleD(inner)) emit stateChanged();
        return;
    default:
        return;
    }
}

bool Dispatcher::handleR(std::string_view frame)
{
    std::string_view inner;
    if (!validFrame(frame, inner)) return false;
    UnitRecord& cur = head();
    if (inner.substr(2, 2) == "FF" && inner.substr(5, 2) == "FF") {
        cur.loginAccepted = 0;
        return true;
    }
    cur.loginAccepted = 1;
    // The count is decimal text; more than 64 units cannot be held.
    int count = decimalField(inner.substr(5, 2));
    if (count < 0) count = 0;
    if (count > UnitTable::kMaxUnits) count = UnitTable::kMaxUnits;
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        UnitRecord& r = m_state.table.record(unit);
        const bool reported = unit <= count;
        r.unitNumber = reported ? unit : 0;
        r.connected = reported ? 1 : 0;
        r.unitCount = reported ? count : 0;
    }
    emit unitsReported(count);
    return true;
}

void Dispatcher::afterLogin()
{
    const int unit = 1;
    UnitRecord& cur = head();
    if (!cur.loginAccepted) {
        cur.connected = 0;
        cur.loginPending = 0;
        // The session goes offline: a refused re-login is not repeated with the same password.
        emit loginRefused();
        m_ui.showMessage(Severity::Error, QStringLiteral("User Password Error!"));
        return;
    }
    m_state.stampLastHeard(unit);
    const LinkTimings& t = m_state.timings;
    const bool relogin = m_state.connection == Connection::Relogging;
    // After a silence the unit still has our EQ and dynamics; it only needs a moment.
    int delay = relogin ? t.reloginSettle : 0;
    auto stamp = [this, unit] { m_state.stampLastHeard(unit); };
    UnitRecord& first = m_state.table.record(1);
    // Every unit of the chain has its EQ blocks and dynamics read, the first as always, the
    // others after it in the same order and pace.
    for (int u = 1; !relogin && u <= std::max(1, first.unitCount); ++u) {
        for (int slot = 0; slot < 14; ++slot) {
            for (int copy = 0; copy < 2; ++copy) {
                LinkRequest f;
                f.kind = 'F';
                f.unit = u;
                f.index = slot;
                f.frame = buildF(u, slot);
                f.delayBefore = t.eqRequestPause;
                if (copy == 1) f.onSent = stamp;
                m_link.enqueue(std::move(f));
            }
        }
        for (int output = 0; output < kOutputCount; ++output) {
            LinkRequest request;
            request.kind = 'T';
            request.unit = u;
            request.index = output;
            request.frame = buildT(u, output);
            request.pauseAfter = t.sendPause + t.dynamicsRequestPause;
            request.onSent = stamp;
            m_link.enqueue(std::move(request));
        }
    }
    if (m_delivery) m_delivery->loginAccepted(relogin);
    // The state is read first; the changes the unit has not confirmed go again once its report
    // shows what it holds, so changes made at the unit meanwhile are kept.
    if (relogin) emit reloggedIn();
    for (int u = 1; u <= first.unitCount; ++u) {
        LinkRequest c;
        c.kind = 'C';
        c.unit = u;
        c.frame = buildC(u);
        c.delayBefore = delay;
        delay = 0;
        m_link.enqueue(std::move(c));
        first.loginPending = 0;
    }
    LinkRequest on;
    on.kind = 'L';
    on.frame = buildL(true);
    on.delayBefore = delay + t.streamOnDelay;
    on.onSent = stamp;
    m_link.enqueue(std::move(on));
    emit loginAccepted(first.unitCount);
}

void Dispatcher::handleL(std::string_view inner)
{
    m_state.stampLastHeard(1);
    setIndicator(true);
    // The status stream always describes record 1.
    UnitRecord& r = m_state.table.record(1);
    for (int ch = 0; ch < kInputCount; ++ch)
        r.inputLevel[ch] = byteText(inner, 2 + 2 * static_cast<std::size_t>(ch));
    for (int out = 0; out < kOutputCount; ++out)
        r.outputLevel[out] = byteText(inner, 18 + 2 * static_cast<std::size_t>(out));
    const int open = byteText(inner, 23);
    for (int ch = 0; ch < kInputCount; ++ch)
        r.inputOpen[ch] = bitOf(open, ch);
    emit levelsChanged();
}

void Dispatcher::handleZ(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return;
    heard(unit);
    UnitRecord& r = m_state.table.record(unit);
    const int open = byteText(inner, 5);
    for (int ch = 0; ch < kInputCount; ++ch)
        r.inputOpen[ch] = bitOf(open, ch);
    emit levelsChanged();
}

void Dispatcher::handleA(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return;
    m_state.stampLastHeard(unit);
    const int slot = byteText(inner, 5);
    if (slot > 13) return;
    UnitRecord r = m_state.table.record(unit);
    for (int b = 0; b < kInputEqBands; ++b) {
        const std::size_t at = 8 + 15 * static_cast<std::size_t>(b);
        const auto f = static_cast<unsigned>(wordText(inner, at));
        const auto qWord = static_cast<unsigned>(wordText(inner, at + 5));
        const auto g = static_cast<unsigned>(wordText(inner, at + 10));
        const double frequency = f > 0 && f <= 20000 ? frequencyFromWord(f) : 20.0;
        // The unit has three band types; a fourth would be shown as one thing and sent as
        // another, so it is read as a peak.
        const int type = typeFromQWord(qWord) <= 2 ? typeFromQWord(qWord) : 0;
        const unsigned q10 = qWord & kQWordValueMask; // Q x 10, kept when 0.2 < Q <= 20
        const double q = q10 > 2 && q10 <= 200 ? QFromWord(qWord) : 0.3;
        const double gain = g <= 300 ? gainFromWord(g) : 0.0;
        if (slot < 8) {
            r.inputEqAt(b, kEqFrequency, slot) = frequency;
            r.inputEqAt(b, kEqGain, slot) = gain;
            r.inputEqAt(b, kEqQ, slot) = q;
            r.inputEqType[b][slot] = type;
        } else {
            const int output = (slot - 8) / 3;
            const int band = ((slot - 8) % 3) * 5 + b;
            r.outputEqAt(output, kEqFrequency, band) = frequency;
            r.outputEqAt(output, kEqGain, band) = gain;
            r.outputEqAt(output, kEqQ, band) = q;
            r.outputEqType[output][band] = type;
        }
    }
    merge('A', unit, r, slot);
    emit eqReceived(unit, slot);
}

bool Dispatcher::handleP(std::string_view inner)
{
    const QString address = QString::fromStdString(normaliseAddress(inner.substr(5, 15)));
    const int port = decimalField(inner.substr(21, 5));
    // A damaged answer must not move the link, or ip.ini, to an address no unit can have.
    quint32 ip = 0;
    if (!parseIpv4(address, &ip) ||
        hostAddressProblem(ip, m_state.bindAddress.isLoopback()) != HostAddressProblem::None)
        return false;
    UnitRecord& cur = head();
    std::memcpy(cur.adminName, inner.data() + 27, kAccountLength);
    std::memcpy(cur.userName, inner.data() + 35, kAccountLength);
    m_state.deviceAddress = address;
    if (port > 0 && port <= 65535) m_state.port = static_cast<quint16>(port);
    if (!m_state.addressFilePath.isEmpty())
        writeAddressFile(m_state.addressFilePath, address, m_state.port, &m_ui);
    return true;
}

void Dispatcher::handleK(std::string_view inner)
{
    // The count chooses the units as hexadecimal and is stored as decimal.
    int n = byteText(inner, 5);
    if (n > UnitTable::kMaxUnits) n = UnitTable::kMaxUnits;
    const int count = decimalField(inner.substr(5, 2));
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit) {
        UnitRecord& r = m_state.table.record(unit);
        r.unitCount = unit <= n ? count : 0;
        r.connected = unit <= n ? 1 : 0;
    }
}

void Dispatcher::handleU(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    const int output = byteText(inner, 5);
    if (!UnitTable::isValidUnit(unit) || output < 0 || output >= kOutputCount) return;
    UnitRecord r = m_state.table.record(unit);
    const auto ratio = static_cast<unsigned>(wordText(inner, 8));
    const auto threshold = static_cast<unsigned>(wordText(inner, 13));
    const int attack = attackFromWord(static_cast<unsigned>(wordText(inner, 18)));
    const int release = releaseFromWord(static_cast<unsigned>(wordText(inner, 23)));
    r.limiterRatio[output] = ratio >= 1 && ratio <= 100 ? ratioFromWord(ratio) : 1.0;
    r.limiterThreshold[output] = threshold <= 1000 ? thresholdFromWord(threshold) : 20.0;
    r.limiterAttack[output] = attack <= 2000 ? attack : 1;
    // 10 and 20 ms are real settings of the unit.
    r.limiterRelease[output] = release >= 10 && release <= 5000 ? release : 50;
    merge('U', unit, r, output);
    emit dynamicsReceived(unit, output);
}

void Dispatcher::handleY(std::string_view inner)
{
    UnitRecord& cur = head();
    std::memcpy(cur.loginName, inner.data() + 5, kAccountLength);
    std::memcpy(cur.loginPassword, inner.data() + 13, kAccountLength);
    cur.accountChangePending = 0;
}

bool Dispatcher::handleO(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return false;
    UnitRecord r = m_state.table.record(unit);
    for (int ch = 0; ch < kInputCount; ++ch)
        r.inputGain[ch] = clampedByte(inner, 5 + 2 * static_cast<std::size_t>(ch), 0, kGainMax);
    for (int out = 0; out < kOutputCount; ++out)
        applyOutputGain(r, out,
                        clampedByte(inner, 22 + 2 * static_cast<std::size_t>(out), 0, kGainMax));
    r.threshold = clampedByte(inner, 27, 0, kGainMax);
    r.levelsReportReceived = 1;
    m_state.table.record(unit).levelsReportReceived = 1;
    merge('O', unit, r);
    return true;
}

bool Dispatcher::handleS(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return false;
    UnitRecord r = m_state.table.record(unit);
    r.limiterEnable[0] = clampedDigit(digitText(inner, 5), 1);
    r.limiterEnable[1] = clampedDigit(digitText(inner, 6), 1);
    for (int ch = 0; ch < kInputCount; ++ch) {
        const auto c = static_cast<std::size_t>(ch);
        r.feedback[ch] = clampedDigit(digitText(inner, 8 + c), 1);
        r.eqEditorValue[ch] = hexDigit(inner, 17 + c);
        applyInputSwitchByte(r, ch, byteText(inner, 36 + 2 * c));
        r.inputGain[ch] = clampedByte(inner, 59 + 2 * c, 0, kGainMax);
        // Filter indexes run from input 8 down to input 1.
        r.highPassIndex[kInputCount - 1 - ch] =
            clampedDigit(hexDigit(inner, 90 + c), kFilterIndexMax);
        r.lowPassIndex[kInputCount - 1 - ch] =
            clampedDigit(hexDigit(inner, 99 + c), kFilterIndexMax);
    }
    r.routing[0] = byteText(inner, 26);
    r.routing[1] = byteText(inner, 28);
    applyOutputSwitchByte(r, byteText(inner, 53));
    applyUnitSwitchByte(r, byteText(inner, 56));
    applyOutputGain(r, 0, clampedByte(inner, 76, 0, kGainMax));
    applyOutputGain(r, 1, clampedByte(inner, 78, 0, kGainMax));
    r.threshold = clampedByte(inner, 81, 0, kGainMax);
    r.maxOpenChannels = clampedByte(inner, 84, 1, kMaxOpenChannelsMax);
    r.holdTime = clampedByte(inner, 87, 0, kHoldTimeMax);
    const int mutes = byteText(inner, 119);
    for (int ch = 0; ch < kInputCount; ++ch)
        r.inputMute[ch] = bitOf(mutes, ch);
    // A link table of the operator's that the unit has not confirmed stays in the store.
    const LinkTable table = readLinkTable(inner, 108, 122);
    if (!m_delivery || m_delivery->linkTableReported(unit, table, 'S'))
        emit linkTableReported(unit, table);
    r.switchReportReceived = 1;
    m_state.table.record(unit).switchReportReceived = 1;
    merge('S', unit, r);
    return true;
}

bool Dispatcher::handleN(std::string_view inner)
{
    // A report naming no unit we hold says nothing about our groups (as with S).
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return false;
    heard(unit);
    const LinkTable table = readLinkTable(inner, 5, 16);
    if (m_delivery && !m_delivery->linkTableReported(unit, table, 'N')) return false;
    emit linkTableReported(unit, table);
    return true;
}

bool Dispatcher::handleD(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return false;
    UnitRecord r = m_state.table.record(unit);
    for (int ch = 0; ch < kInputCount; ++ch)
        applyInputSwitchByte(r, ch, byteText(inner, 5 + 2 * static_cast<std::size_t>(ch)));
    applyOutputSwitchByte(r, byteText(inner, 22));
    applyUnitSwitchByte(r, byteText(inner, 25));
    for (UnitRecord* target : {&r, &m_state.table.record(unit)}) {
        target->switchesPending = 0;
        target->switchReportReceived = 1;
    }
    merge('D', unit, r);
    return true;
}

void Dispatcher::merge(char report, int unit, const UnitRecord& reported, int index)
{
    if (m_delivery)
        m_delivery->applyReport(report, unit, reported, index);
    else
        m_state.table.record(unit) = reported;
}

void Dispatcher::heard(int unit)
{
    if (m_delivery) m_delivery->heard(unit);
}

void Dispatcher::repeatStreamOff()
{
    const qint64 now = m_state.now();
    // Frames already on their way when the stream-off left are no reason to send it again.
    if (m_streamOffRepeats >= kStreamOffRepeats ||
        now - m_lastStreamOff < m_state.timings.readBackRetry)
        return;
    if (m_streamOffRepeats++ == 0) emit streamOffRepeated();
    m_lastStreamOff = now;
    m_link.sendFrame(buildL(false));
}

void Dispatcher::dropLink()
{
    m_link.sendText('L', buildL(false), 2);
    setStreamOffOwed(true);
    m_lastStreamOff = m_state.now();
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        m_state.table.record(unit).connected = 0;
    m_state.table.record(1).loginPending = 0;
    setIndicator(false);
    emit linkDropped();
}

void Dispatcher::setIndicator(bool on)
{
    if (m_state.indicatorOn == on) return;
    m_state.indicatorOn = on;
    emit indicatorChanged(on);
}

} // namespace sonaro
