#pragma once

#include <QString>
#include <QtGlobal>

// Whether an IPv4 address can be given to a unit. A unit moved to an address nobody can reach
// (the network or broadcast address of its /24, 0.x, multicast, or loopback on a real network) is
// lost until someone walks to its front panel, so the system page and sonaroctl check the same
// rules before anything is sent.
namespace sonaro {

enum class HostAddressProblem
{
    None,
    Unspecified,      // 0.x.x.x, "this network"
    Loopback,         // 127.x.x.x while the link is not on loopback
    Multicast,        // 224.0.0.0/4
    Reserved,         // 240.0.0.0/4, including the limited broadcast 255.255.255.255
    NetworkAddress,   // host part .0 of the usual /24
    BroadcastAddress, // host part .255 of the usual /24
};

// The address in host byte order; loopbackAllowed when the link itself is bound to loopback (the
// demo and the tests), where a 127.x unit is reachable.
HostAddressProblem hostAddressProblem(quint32 address, bool loopbackAllowed);

// "a.b.c.d" with each part 0..255 and nothing else; false for anything else.
bool parseIpv4(const QString& text, quint32* address);

// The operator's message for a problem, translated; empty for None.
QString hostAddressProblemText(HostAddressProblem problem, const QString& address);

} // namespace sonaro
