#include "unit/VirtualUnit.h"

#include "model/SavedFile.h"

#include "dsp/EqModel.h"
#include "link/AddressFile.h"
#include "model/UnitTable.h"
#include "model/ValueConventions.h"
#include "protocol/FrameCodec.h"
#include "protocol/ParameterWords.h"
#include "unit/UnitFrames.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <cmath>

namespace sonaro {

namespace {

qint64 monotonicNow()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

// The groups of a checked frame's inner text, without the kind letter and the checksum.
std::vector<std::string_view> groupsOf(std::string_view inner)
{
    std::vector<std::string_view> groups;
    std::size_t start = 2;
    while (start < inner.size()) {
        const std::size_t comma = inner.find(',', start);
        if (comma == std::string_view::npos) break; // the checksum
        groups.push_back(inner.substr(start, comma - start));
        start = comma + 1;
    }
    return groups;
}

int hexValue(std::string_view text)
{
    return static_cast<int>(hexField(text, 0, text.size()));
}

int bitOf(int byte, int position)
{
    return (byte >> position) & 1;
}

} // namespace

VirtualUnit::VirtualUnit(VirtualUnitOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_automix(m_options.seed),
      m_random(m_options.seed)
{
    const int units = std::clamp(m_options.unitCount, 1, UnitTable::kMaxUnits);
    m_records.assign(static_cast<std::size_t>(units), zeroRecord());
    m_links.assign(static_cast<std::size_t>(units), LinkTable{});
    for (int u = 0; u < units; ++u) {
        UnitRecord& r = m_records[static_cast<std::size_t>(u)];
        applyFactoryValues(r);
        r.unitNumber = units > 1 ? u + 1 : m_options.unitNumber;
    }
    connect(&m_streamTimer, &QTimer::timeout, this, &VirtualUnit::sendStatus);
    connect(&m_frontPanelTimer, &QTimer::timeout, this, &VirtualUnit::frontPanelChange);
}

VirtualUnit::~VirtualUnit()
{
    stop();
}

bool VirtualUnit::start()
{
    if (m_socket) return true;
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(m_options.address, m_options.port)) {
        delete socket;
        return false;
    }
    m_socket = socket;
    if (m_options.port == 0) m_options.port = m_socket->localPort();
    connect(m_socket, &QUdpSocket::readyRead, this, &VirtualUnit::readPending);
    // A device or a pipe is never opened as the log: it would block or be written over.
    if (!m_options.logPath.isEmpty() && !m_log.isOpen() &&
        notARegularFile(m_options.logPath).isEmpty()) {
        m_log.setFileName(m_options.logPath);
        // Created for its owner alone; one made earlier by someone else is narrowed as well.
        const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        if (m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text, ownerOnly))
            m_log.setPermissions(ownerOnly);
    }
    m_startedAt = monotonicNow();
    if (m_options.frontPanelInterval > 0) m_frontPanelTimer.start(m_options.frontPanelInterval);
    return true;
}

std::size_t VirtualUnit::index(int unit) const
{
    if (m_records.size() == 1) return 0;
    return static_cast<std::size_t>(std::clamp(unit, 1, static_cast<int>(m_records.size())) - 1);
}

void VirtualUnit::frontPanelChange()
{
    UnitRecord& r = record();
    const int ch = static_cast<int>(m_random() % kInputCount);
    switch (m_frontPanelStep++ % 4) {
    case 0:
        r.inputGain[ch] = static_cast<int>(m_random() % (kGainMax + 1));
        reply(buildReplyO(r, m_options.unitNumber));
        return;
    case 1:
        r.inputPhantom[ch] ^= 1;
        reply(buildReplyD(r, m_options.unitNumber));
        return;
    case 2:
        reply(buildReplyZ(m_options.unitNumber, static_cast<int>(m_random() & 0xFF)));
        return;
    default:
        reply(buildReplyK(m_options.unitNumber, m_options.unitCount));
        return;
    }
}

void VirtualUnit::stop()
{
    m_frontPanelTimer.stop();
    m_streamTimer.stop();
    if (!m_socket) return;
    m_socket->close();
    delete m_socket;
    m_socket = nullptr;
}

void VirtualUnit::silence(int ms)
{
    m_silentUntil = monotonicNow() + ms;
}

bool VirtualUnit::silent() const
{
    return monotonicNow() < m_silentUntil;
}

bool VirtualUnit::chance(double p)
{
    if (p <= 0.0) return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < p;
}

QString VirtualUnit::password(const QString& account) const
{
    if (account == m_options.adminName) return m_options.adminPassword;
    if (account == m_options.userName) return m_options.userPassword;
    return {};
}

int VirtualUnit::receivedCount(char kind) const
{
    int count = 0;
    for (const QByteArray& frame : m_received)
        if (frame.size() > 1 && frame[1] == kind) ++count;
    return count;
}

void VirtualUnit::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(4096);
        const QByteArray frame = datagram.data();
        bool dropped = silent() || chance(m_options.dropIncoming);
        if (!dropped && frame.size() > 1) {
            // A loss asked for by kind.
            int& left = m_dropNext[static_cast<unsigned char>(frame[1])];
            if (left > 0) {
                --left;
                dropped = true;
            }
        }
        m_received.push_back(frame);
        m_receivedAt.push_back(monotonicNow());
        log(frame, datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()), dropped);
        emit frameReceived(frame);
        if (dropped) emit frameDropped(frame);
        if (!dropped)
            handle(frame, datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
    }
}

void VirtualUnit::log(const QByteArray& frame, const QHostAddress& from, quint16 fromPort,
                      bool dropped)
{
    if (!m_log.isOpen()) return;
    QByteArray shown = frame;
    if (shown.size() > 2 && (shown[1] == 'R' || shown[1] == 'X' || shown[1] == 'Y')) {
        // Names and passwords never reach the log, nor the checksum: over a six-digit password
        // it gives the password away.
        for (qsizetype i = 3; i < shown.size(); ++i)
            if (shown[i] != ',' && shown[i] != '#') shown[i] = '*';
    }
    QJsonObject line;
    line.insert(QStringLiteral("ms"), monotonicNow() - m_startedAt);
    line.insert(QStringLiteral("unit"), m_options.address.toString());
    line.insert(QStringLiteral("from"), QStringLiteral("%1:%2").arg(from.toString()).arg(fromPort));
    line.insert(QStringLiteral("frame"), QString::fromLatin1(shown));
    if (dropped) line.insert(QStringLiteral("dropped"), true);
    m_log.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    m_log.flush();
}

void VirtualUnit::reply(std::string frame)
{
    if (!m_socket || m_clientPort == 0) return;
    if (chance(m_options.dropOutgoing)) return;
    if (chance(m_options.corruptChecksum) && frame.size() >= 5) {
        char& digit = frame[frame.size() - 2];
        digit = digit == '0' ? '1' : '0';
    }
    const QHostAddress to = m_client;
    const quint16 toPort = m_clientPort;
    auto send = [this, frame, to, toPort] {
        if (m_socket)
            m_socket->writeDatagram(frame.data(), static_cast<qint64>(frame.size()), to, toPort);
    };
    if (m_options.answerDelay > 0)
        QTimer::singleShot(m_options.answerDelay, this, send);
    else
        send();
}

void VirtualUnit::sendStatus()
{
    m_automix.step(record(), m_options.statusInterval);
    if (silent()) return;
    for (int ch = 0; ch < kInputCount; ++ch)
        record().inputOpen[ch] = bitOf(m_automix.openBits(), ch);
    reply(buildReplyL(m_automix.wireLevels(), m_automix.openBits()));
}

void VirtualUnit::handle(const QByteArray& data, const QHostAddress& from, quint16 fromPort)
{
    const std::string_view text(data.constData(), static_cast<std::size_t>(data.size()));
    std::string_view inner;
    if (!checkFrame(text, &inner) || inner.size() < 2) return;
    const std::vector<std::string_view> g = groupsOf(inner);
    // A cascade answers for the unit a frame names, and not at all for one it does not have;
    // a single unit answers as itself.
    const bool cascade = m_records.size() > 1;
    const int named = g.empty() ? 0 : hexValue(g[0]);
    const bool unitFrame = QByteArray("CFTVMGJEBX").contains(inner[0]);
    if (cascade && unitFrame && (named < 1 || named > static_cast<int>(m_records.size()))) return;
    const int unit = cascade && unitFrame ? named : m_records.front().unitNumber;
    UnitRecord& r = m_records[index(cascade && unitFrame ? named : 1)];
    LinkTable& links = m_links[index(cascade && unitFrame ? named : 1)];
    auto account = [&](std::string_view name) -> std::pair<QString*, QString*> {
        const std::string padded = padAccount(name);
        if (padded == padAccount(m_options.adminName.toStdString()))
            return {&m_options.adminName, &m_options.adminPassword};
        if (padded == padAccount(m_options.userName.toStdString()))
            return {&m_options.userName, &m_options.userPassword};
        return {nullptr, nullptr};
    };
    const bool probe = inner[0] == 'I' && g.size() < 2;
    if (m_options.refuseBeforeLogin && inner[0] != 'R' && !probe &&
        (fromPort != m_loggedInPort || !from.isEqual(m_loggedIn)))
        return;
    // A unit answers to whoever asked.
    m_client = from;
    m_clientPort = fromPort;
    switch (inner[0]) {
    case 'R': {
        if (g.size() < 2) return;
        const auto [name, password] = account(g[0]);
        const bool accepted = password && padAccount(password->toStdString()) == padAccount(g[1]);
        m_loggedIn = accepted ? from : QHostAddress();
        m_loggedInPort = accepted ? fromPort : 0;
        reply(buildReplyR(accepted, m_options.unitCount));
        return;
    }
    case 'L':
        if (g.empty()) return;
        if (hexValue(g[0]))
            m_streamTimer.start(m_options.statusInterval);
        else
            m_streamTimer.stop();
        return;
    case 'C':
        reply(buildReplyS(r, unit, links));
        return;
    case 'F':
        if (g.size() < 2 || hexValue(g[1]) > 13) return;
        reply(buildReplyA(r, unit, hexValue(g[1])));
        return;
    case 'T':
        if (g.size() < 2 || hexValue(g[1]) > 1) return;
        reply(buildReplyU(r, unit, hexValue(g[1])));
        return;
    case 'V':
        if (g.size() < 5 || g[1].size() < 16 || g[2].size() < 4) return;
        for (int ch = 0; ch < kInputCount; ++ch) {
            r.inputGain[ch] = hexValue(g[1].substr(2 * static_cast<std::size_t>(ch), 2));
            r.inputMute[ch] = bitOf(hexValue(g[4]), ch);
        }
        r.outputGain[0] = hexValue(g[2].substr(0, 2));
        r.outputGain[1] = hexValue(g[2].substr(2, 2));
        r.threshold = hexValue(g[3]);
        return;
    case 'M': {
        if (g.size() < 4 || g[1].size() < 16) return;
        for (int ch = 0; ch < kInputCount; ++ch)
            applyInputSwitchByte(r, ch, hexValue(g[1].substr(2 * static_cast<std::size_t>(ch), 2)));
        applyOutputSwitchByte(r, hexValue(g[2]));
        applyUnitSwitchByte(r, hexValue(g[3]));
        reply(buildReplyD(r, unit));
        return;
    }
    case 'G': {
        if (g.size() < 9 || g[3].size() < 16 || g[4].size() < 4 || g[7].size() < 8 ||
            g[8].size() < 8)
            return;
        const int fbk = hexValue(g[1]);
        const int drc = hexValue(g[2]);
        r.limiterEnable[0] = (drc >> 4) & 0xF ? 1 : 0;
        r.limiterEnable[1] = drc & 0xF ? 1 : 0;
        for (int ch = 0; ch < kInputCount; ++ch) {
            const auto c = static_cast<std::size_t>(ch);
            r.feedback[ch] = bitOf(fbk, ch);
            r.eqEditorValue[ch] = hexValue(g[3].substr(2 * c, 2));
            r.highPassIndex[kInputCount - 1 - ch] = hexValue(g[7].substr(c, 1));
            r.lowPassIndex[kInputCount - 1 - ch] = hexValue(g[8].substr(c, 1));
        }
        r.routing[0] = hexValue(g[4].substr(0, 2));
        r.routing[1] = hexValue(g[4].substr(2, 2));
        r.maxOpenChannels = hexValue(g[5]);
        r.holdTime = hexValue(g[6]);
        return;
    }
    case 'J':
        if (g.size() < 3 || g[1].size() < 10 || g[2].size() < 20) return;
        for (std::size_t ch = 0; ch < LinkTable::kChannels; ++ch) {
            const char c = g[1][ch];
            links.group[ch] = c >= '0' && c <= '9' ? c - '0' : 0;
            links.flags[ch] = static_cast<std::uint8_t>(hexValue(g[2].substr(2 * ch, 2)));
        }
        reply(buildReplyN(unit, links));
        return;
    case 'E': {
        if (g.size() < 2) return;
        const int slot = hexValue(g[1]);
        // The last fifteen groups: frequency, Q word and gain word of each band.
        if (slot <= 13 && g.size() >= 2 + 5 + 15) {
            std::array<EqBand, kBandsPerBlock> bands;
            for (int b = 0; b < kBandsPerBlock; ++b) {
                const std::size_t at = g.size() - 15 + 3 * static_cast<std::size_t>(b);
                const auto qWord = static_cast<unsigned>(hexValue(g[at + 1]));
                EqBand& band = bands[static_cast<std::size_t>(b)];
                band.frequency = frequencyFromWord(static_cast<unsigned>(hexValue(g[at])));
                band.gain = gainFromWord(static_cast<unsigned>(hexValue(g[at + 2])));
                band.q = QFromWord(qWord);
                band.type = static_cast<EqBandType>(typeFromQWord(qWord));
            }
            setEqSlotBands(r, slot, bands);
        }
        reply(buildReplyQ(unit, slot));
        return;
    }
    case 'B': {
        if (g.size() < 2) return;
        const int output = hexValue(g[1]);
        if (output > 1) return;
        if (g.size() >= 4 && g[3].size() >= 16) {
            auto word = [&](std::size_t at) {
                return static_cast<unsigned>(hexValue(g[3].substr(at, 4)));
            };
            r.limiterRatio[output] = ratioFromWord(word(0));
            r.limiterThreshold[output] = thresholdFromWord(word(4));
            r.limiterAttack[output] = attackFromWord(word(8));
            r.limiterRelease[output] = releaseFromWord(word(12));
        }
        reply(buildReplyH(unit, output));
        return;
    }
    case 'I': {
        if (g.size() >= 2) {
            // "aaa.bbb.ccc.ddd:ppppp": the unit moves there after answering.
            const std::string_view target = g[1];
            const std::size_t colon = target.find(':');
            const std::string address = normaliseAddress(target.substr(0, colon));
            const int newPort = colon == std::string_view::npos
                                    ? m_options.port
                                    : decimalField(target.substr(colon + 1));
            reply(buildReplyP(unit, address, newPort, m_options.adminName.toStdString(),
                              m_options.userName.toStdString()));
            const QHostAddress moved(QString::fromStdString(address));
            if (moved.isLoopback() && newPort > 0 && newPort <= 65535) {
                QTimer::singleShot(0, this, [this, moved, newPort] {
                    stop();
                    m_options.address = moved;
                    m_options.port = static_cast<quint16>(newPort);
                    start();
                });
            }
            return;
        }
        reply(buildReplyP(unit, m_options.address.toString().toStdString(), m_options.port,
                          m_options.adminName.toStdString(), m_options.userName.toStdString()));
        return;
    }
    case 'X': {
        if (g.size() < 5) return;
        const auto [name, password] = account(g[1]);
        // Only the holder of the old password may change it.
        if (!password || padAccount(password->toStdString()) != padAccount(g[2])) return;
        std::string newPassword(g[4]);
        while (!newPassword.empty() && newPassword.back() == kAccountFiller)
            newPassword.pop_back();
        *password = QString::fromStdString(newPassword);
        reply(buildReplyY(unit, padAccount(g[3]), padAccount(g[4])));
        return;
    }
    default:
        return;
    }
}

} // namespace sonaro
