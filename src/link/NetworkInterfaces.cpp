#include "link/NetworkInterfaces.h"

#include <QFile>
#include <QNetworkInterface>

#include <algorithm>
#include <bit>
#include <limits>

namespace sonaro {

namespace {

// Route table columns: Iface, Destination, Gateway, Flags, RefCnt, Use, Metric, Mask, ...
constexpr int kIfaceColumn = 0;
constexpr int kDestinationColumn = 1;
constexpr int kFlagsColumn = 3;
constexpr int kMetricColumn = 6;
constexpr int kMaskColumn = 7;
constexpr uint kRouteUp = 0x1;
// A routing table longer than this is not read further.
constexpr int kMaxRouteLines = 4096;

bool isLoopbackAddress(quint32 address)
{
    return (address >> 24) == 127;
}

SweepNetwork networkOf(const InterfaceAddress& entry, const QString& routed)
{
    return {entry.name, QHostAddress(entry.address), std::popcount(entry.netmask),
            !routed.isEmpty() && entry.name == routed};
}

} // namespace

SweepChoices chooseSweepNetworks(const std::vector<InterfaceAddress>& interfaces,
                                 const QHostAddress& bindAddress,
                                 const QString& defaultRouteInterface)
{
    SweepChoices choices;
    const auto add = [&](const InterfaceAddress& entry) {
        const bool listed = std::any_of(
            choices.networks.begin(), choices.networks.end(),
            [&](const SweepNetwork& n) { return n.address.toIPv4Address() == entry.address; });
        if (!listed) choices.networks.push_back(networkOf(entry, defaultRouteInterface));
    };

    bool bound = false;
    const quint32 own = bindAddress.toIPv4Address(&bound);
    if (bound && own != 0) {
        const bool onLoopback = isLoopbackAddress(own);
        for (const InterfaceAddress& entry : interfaces) {
            if (!entry.up || entry.address == 0) continue;
            // Bound to loopback, every loopback address is reachable; otherwise only the bound
            // address's own network.
            if (onLoopback ? isLoopbackAddress(entry.address) : entry.address == own) add(entry);
        }
        const auto self =
            std::find_if(choices.networks.begin(), choices.networks.end(),
                         [&](const SweepNetwork& n) { return n.address.toIPv4Address() == own; });
        if (self == choices.networks.end()) {
            choices.networks.insert(choices.networks.begin(), {QString(), bindAddress, 24, false});
            choices.defaultIndex = 0;
        } else {
            choices.defaultIndex = static_cast<int>(self - choices.networks.begin());
        }
        return choices;
    }

    for (const InterfaceAddress& entry : interfaces) {
        if (!entry.up || entry.loopback || entry.address == 0 || isLoopbackAddress(entry.address))
            continue;
        add(entry);
    }
    if (choices.networks.empty()) return choices;
    const auto routed = std::find_if(choices.networks.begin(), choices.networks.end(),
                                     [](const SweepNetwork& n) { return n.holdsDefaultRoute; });
    choices.defaultIndex =
        routed == choices.networks.end() ? 0 : static_cast<int>(routed - choices.networks.begin());
    return choices;
}

std::vector<InterfaceAddress> systemInterfaceAddresses()
{
    std::vector<InterfaceAddress> list;
    const auto upAndRunning = QNetworkInterface::IsUp | QNetworkInterface::IsRunning;
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
        const bool up = (nic.flags() & upAndRunning) == upAndRunning;
        const bool loopback = nic.flags().testFlag(QNetworkInterface::IsLoopBack);
        for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
            bool ok = false;
            const quint32 address = entry.ip().toIPv4Address(&ok);
            if (!ok) continue;
            list.push_back({nic.name(), address, entry.netmask().toIPv4Address(), up, loopback});
        }
    }
    return list;
}

QString defaultRouteInterface(const QString& routeTable)
{
    QFile routes(routeTable);
    if (!routes.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    routes.readLine(); // the heading
    QString best;
    uint bestMetric = std::numeric_limits<uint>::max();
    for (int line = 0; line < kMaxRouteLines && !routes.atEnd(); ++line) {
        const QList<QByteArray> fields = routes.readLine().simplified().split(' ');
        if (fields.size() <= kMaskColumn) continue;
        bool flagsOk = false;
        bool metricOk = false;
        const uint flags = fields[kFlagsColumn].toUInt(&flagsOk, 16);
        const uint metric = fields[kMetricColumn].toUInt(&metricOk);
        // The default route: destination 0.0.0.0 with mask 0.0.0.0, up; the lowest metric wins.
        if (fields[kDestinationColumn] != "00000000" || fields[kMaskColumn] != "00000000" ||
            !flagsOk || !(flags & kRouteUp) || !metricOk || metric >= bestMetric)
            continue;
        best = QString::fromLatin1(fields[kIfaceColumn]);
        bestMetric = metric;
    }
    return best;
}

QString sweepNetworkLabel(const SweepNetwork& network)
{
    const QString address =
        QStringLiteral("%1/%2").arg(network.address.toString()).arg(network.prefixLength);
    return network.interfaceName.isEmpty()
               ? address
               : QStringLiteral("%1  %2").arg(network.interfaceName, address);
}

} // namespace sonaro
