#include "link/Dispatcher.h"

#include "link/AddressFile.h"
#include "protocol/FrameCodec.h"

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

int bitOf(int byte, int position)
{
    return (byte >> position) & 1;
}

void applyInputSwitches(UnitRecord& r, int ch, int byte)
{
    r.inputPhantom[ch] = bitOf(byte, 0);
    r.inputLine[ch] = bitOf(byte, 1);
    r.inputLowCut[ch] = bitOf(byte, 3);
    r.inputPriority[ch] = bitOf(byte, 4);
}

void applyOutputSwitches(UnitRecord& r, int byte)
{
    r.outputFlagA = bitOf(byte, 1);
    r.outputFlagB = bitOf(byte, 3);
    r.outputFlagC = bitOf(byte, 5);
    r.outputLevelType[0] = bitOf(byte, 6);
    r.outputLevelType[1] = bitOf(byte, 7);
}

void applyUnitSwitches(UnitRecord& r, int byte)
{
    r.thresholdMode = bitOf(byte, 1);
    r.deviceMode = bitOf(byte, 3);
    r.panelLock = bitOf(byte, 5);
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
}

void Dispatcher::dispatch(std::string_view frame)
{
    if (frame.size() < 6) return;
    std::string_view inner;
    switch (frame[1]) {
    case 'R':
        m_state.stampLastHeard(m_state.table.currentUnit());
        if (handleR(frame)) afterLogin();
        return;
    case 'L':
        if (current().connected && validFrame(frame, inner)) handleL(inner);
        return;
    case 'Z':
        if (validFrame(frame, inner)) handleZ(inner);
        return;
    case 'A':
        if (validFrame(frame, inner)) handleA(inner);
        return;
    case 'P':
        if (validFrame(frame, inner) && handleP(inner)) {
            emit addressReported(m_state.deviceAddress, m_state.port);
            dropLink();
            m_state.addressChangeConfirmed = true;
            m_ui.showMessage(Severity::Information,
                             QStringLiteral("Changing IP address successful, restart software."));
        }
        return;
    case 'K':
        if (validFrame(frame, inner)) handleK(inner);
        return;
    case 'U':
        if (validFrame(frame, inner)) handleU(inner);
        return;
    case 'Q':
        m_link.answerArrived('Q'); // the answer counts whatever its content
        return;
    case 'H':
        m_link.answerArrived('H');
        return;
    case 'Y':
        m_state.accountChangePending = false;
        if (validFrame(frame, inner)) handleY(inner);
        // The unit has answered the change either way: the old login no longer holds.
        dropLink();
        m_ui.showMessage(
            Severity::Information,
            QStringLiteral("Password changed successfully, please reconnect the device"));
        return;
    case 'O':
        if (current().connected && validFrame(frame, inner) && handleO(inner)) emit stateChanged();
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
        m_link.answerArrived('D');
        if (current().connected && validFrame(frame, inner) && handleD(inner)) emit stateChanged();
        return;
    default:
        return;
    }
}

bool Dispatcher::handleR(std::string_view frame)
{
    std::string_view inner;
    if (!validFrame(frame, inner)) return false;
    UnitRecord& cur = current();
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
    const int unit = m_state.table.currentUnit();
    UnitRecord& cur = current();
    if (!cur.loginAccepted) {
        cur.connected = 0;
        cur.loginPending = 0;
        // A refused re-login must not be repeated with the same password every few seconds.
        m_state.reloginAfterSilence = false;
        emit loginRefused();
        m_ui.showMessage(Severity::Error, QStringLiteral("User Password Error!"));
        return;
    }
    m_state.stampLastHeard(unit);
    const LinkTimings& t = m_state.timings;
    const bool relogin = m_state.reloginAfterSilence;
    // After a silence the unit still has our EQ and dynamics; it only needs a moment.
    int delay = relogin ? t.reloginSettle : 0;
    auto stamp = [this, unit] { m_state.stampLastHeard(unit); };
    if (!relogin) {
        m_state.loginRetryCount = 0;
        for (int slot = 0; slot < 14; ++slot) {
            for (int copy = 0; copy < 2; ++copy) {
                LinkRequest f;
                f.kind = 'F';
                f.unit = unit;
                f.index = slot;
                f.frame = buildF(unit, slot);
                f.delayBefore = t.eqRequestPause;
                if (copy == 1) f.onSent = stamp;
                m_link.enqueue(std::move(f));
            }
        }
        for (int output = 0; output < kOutputCount; ++output) {
            LinkRequest request;
            request.kind = 'T';
            request.unit = unit;
            request.index = output;
            request.frame = buildT(unit, output);
            request.pauseAfter = t.sendPause + t.dynamicsRequestPause;
            request.onSent = stamp;
            m_link.enqueue(std::move(request));
        }
    }
    m_state.reloginAfterSilence = false;
    UnitRecord& first = m_state.table.record(1);
    if (relogin) {
        // V and G are never acknowledged, so one lost in the silence would leave the unit
        // different from the records: both go again, before the state report is asked for.
        for (int u = 1; u <= first.unitCount; ++u) {
            for (const char kind : {'V', 'G'}) {
                LinkRequest again;
                again.kind = kind;
                again.unit = u;
                again.delayBefore = delay;
                delay = 0;
                m_link.enqueue(std::move(again));
            }
        }
        emit reloggedIn();
    }
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
    m_state.stampLastHeard(m_state.table.currentUnit());
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
    UnitRecord& r = m_state.table.record(unit);
    for (int b = 0; b < kInputEqBands; ++b) {
        const std::size_t at = 8 + 15 * static_cast<std::size_t>(b);
        const int f = wordText(inner, at);
        const int qWord = wordText(inner, at + 5);
        const int g = wordText(inner, at + 10);
        const double frequency = f > 0 && f <= 20000 ? f : 20.0;
        const int type = qWord >> 14;
        const int q10 = qWord & 0x3FFF; // Q x 10, kept when 0.2 < Q <= 20
        const double q = q10 > 2 && q10 <= 200 ? q10 * 0.1 : 0.3;
        const double gain = g >= 0 && g <= 300 ? (g - 150) * 0.1 : 0.0;
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
    emit eqReceived(unit, slot);
}

bool Dispatcher::handleP(std::string_view inner)
{
    // The link never probes; a P on it is the answer to an address change. A late answer to a
    // discovery probe must not move the link elsewhere or report a change nobody asked for.
    if (!m_state.addressChangeInProgress || m_state.addressChangeConfirmed) return false;
    const QString address = QString::fromStdString(normaliseAddress(inner.substr(5, 15)));
    const int port = decimalField(inner.substr(21, 5));
    UnitRecord& cur = current();
    std::memcpy(cur.adminName, inner.data() + 27, kAccountLength);
    std::memcpy(cur.userName, inner.data() + 35, kAccountLength);
    m_state.deviceAddress = address;
    if (port > 0 && port <= 65535) m_state.port = static_cast<quint16>(port);
    if (!m_state.addressFilePath.isEmpty())
        writeAddressFile(m_state.addressFilePath, address, m_state.port);
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
    UnitRecord& r = m_state.table.record(unit);
    const int ratio = wordText(inner, 8);
    const int threshold = wordText(inner, 13);
    const int attack = wordText(inner, 18);
    const int release = wordText(inner, 23);
    r.limiterRatio[output] = ratio >= 1 && ratio <= 100 ? ratio : 1.0;
    r.limiterThreshold[output] = threshold <= 1000 ? threshold * 0.1 - 80.0 : 20.0;
    r.limiterAttack[output] = attack <= 2000 ? attack : 1;
    r.limiterRelease[output] = release >= 50 && release <= 5000 ? release : 50;
    emit dynamicsReceived(unit, output);
}

void Dispatcher::handleY(std::string_view inner)
{
    UnitRecord& cur = current();
    std::memcpy(cur.loginName, inner.data() + 5, kAccountLength);
    std::memcpy(cur.loginPassword, inner.data() + 13, kAccountLength);
    cur.accountChangePending = 0;
}

bool Dispatcher::handleO(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return false;
    UnitRecord& r = m_state.table.record(unit);
    for (int ch = 0; ch < kInputCount; ++ch)
        r.inputGain[ch] = byteText(inner, 5 + 2 * static_cast<std::size_t>(ch));
    for (int out = 0; out < kOutputCount; ++out)
        applyOutputGain(r, out, byteText(inner, 22 + 2 * static_cast<std::size_t>(out)));
    r.threshold = byteText(inner, 27);
    r.levelsReportReceived = 1;
    return true;
}

bool Dispatcher::handleS(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return false;
    UnitRecord& r = m_state.table.record(unit);
    r.limiterEnable[0] = digitText(inner, 5);
    r.limiterEnable[1] = digitText(inner, 6);
    for (int ch = 0; ch < kInputCount; ++ch) {
        const auto c = static_cast<std::size_t>(ch);
        r.feedback[ch] = digitText(inner, 8 + c);
        r.eqEditorValue[ch] = hexDigit(inner, 17 + c);
        applyInputSwitches(r, ch, byteText(inner, 36 + 2 * c));
        r.inputGain[ch] = byteText(inner, 59 + 2 * c);
        // Filter indexes run from input 8 down to input 1.
        r.highPassIndex[kInputCount - 1 - ch] = hexDigit(inner, 90 + c);
        r.lowPassIndex[kInputCount - 1 - ch] = hexDigit(inner, 99 + c);
    }
    r.routing[0] = byteText(inner, 26);
    r.routing[1] = byteText(inner, 28);
    applyOutputSwitches(r, byteText(inner, 53));
    applyUnitSwitches(r, byteText(inner, 56));
    applyOutputGain(r, 0, byteText(inner, 76));
    applyOutputGain(r, 1, byteText(inner, 78));
    r.threshold = byteText(inner, 81);
    r.maxOpenChannels = byteText(inner, 84);
    r.holdTime = byteText(inner, 87);
    const int mutes = byteText(inner, 119);
    for (int ch = 0; ch < kInputCount; ++ch)
        r.inputMute[ch] = bitOf(mutes, ch);
    emit linkTableReported(readLinkTable(inner, 108, 122));
    r.switchReportReceived = 1;
    return true;
}

bool Dispatcher::handleN(std::string_view inner)
{
    emit linkTableReported(readLinkTable(inner, 5, 16));
    return true;
}

bool Dispatcher::handleD(std::string_view inner)
{
    const int unit = byteText(inner, 2);
    if (!UnitTable::isValidUnit(unit)) return false;
    UnitRecord& r = m_state.table.record(unit);
    for (int ch = 0; ch < kInputCount; ++ch)
        applyInputSwitches(r, ch, byteText(inner, 5 + 2 * static_cast<std::size_t>(ch)));
    applyOutputSwitches(r, byteText(inner, 22));
    applyUnitSwitches(r, byteText(inner, 25));
    r.switchesPending = 0;
    r.switchReportReceived = 1;
    return true;
}

void Dispatcher::dropLink()
{
    m_link.sendText('L', buildL(false), 2);
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        m_state.table.record(unit).connected = 0;
    m_state.reloginAfterSilence = false;
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
