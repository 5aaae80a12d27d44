#pragma once

#include <QHostAddress>
#include <QString>
#include <QtGlobal>

#include <vector>

namespace sonaro {

// One IPv4 address of a network interface, as the system lists it.
struct InterfaceAddress
{
    QString name;        // "eth0"
    quint32 address = 0; // host byte order
    quint32 netmask = 0; // host byte order
    bool up = false;     // up and running
    bool loopback = false;
};

// A network the search can sweep: the /24 around one interface address.
struct SweepNetwork
{
    QString interfaceName; // empty for a bound address that no listed interface holds
    QHostAddress address;  // the interface's own address; probes go to the /24 around it
    int prefixLength = 24; // of the interface's own network (the sweep covers the /24 anyway)
    bool holdsDefaultRoute = false;
};

// What the search offers and which of it is chosen when the operator chooses nothing.
struct SweepChoices
{
    std::vector<SweepNetwork> networks;
    int defaultIndex = -1; // -1 when there is nothing to sweep
};

// The networks a search may sweep, from the interfaces' addresses and the link's bound address.
// Probes leave from the bound address, so a link bound to one address reaches only the networks
// behind it: bound to loopback, the up loopback addresses (the demo and the tests); bound to
// another address, that address's network alone. Unbound, every up IPv4 interface except
// loopback, in the order given; the default is the one holding the default route, else the
// first. A loopback network is never offered unless the link is bound to loopback.
SweepChoices chooseSweepNetworks(const std::vector<InterfaceAddress>& interfaces,
                                 const QHostAddress& bindAddress,
                                 const QString& defaultRouteInterface);

// This machine's IPv4 interface addresses.
std::vector<InterfaceAddress> systemInterfaceAddresses();

// The interface that holds the default route, from a routing table in the format of
// /proc/net/route; empty when it cannot be read or holds no default route.
QString defaultRouteInterface(const QString& routeTable = QStringLiteral("/proc/net/route"));

// "eth0  192.168.1.23/24": how the operator recognises an interface.
QString sweepNetworkLabel(const SweepNetwork& network);

} // namespace sonaro
