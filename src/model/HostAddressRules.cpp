#include "model/HostAddressRules.h"

#include <QCoreApplication>
#include <QStringList>

namespace sonaro {

HostAddressProblem hostAddressProblem(quint32 address, bool loopbackAllowed)
{
    const quint32 first = address >> 24;
    const quint32 host = address & 0xFF;
    if (first == 0) return HostAddressProblem::Unspecified;
    if (first == 127)
        return loopbackAllowed ? HostAddressProblem::None : HostAddressProblem::Loopback;
    if (first >= 224 && first <= 239) return HostAddressProblem::Multicast;
    if (first >= 240) return HostAddressProblem::Reserved;
    if (host == 0) return HostAddressProblem::NetworkAddress;
    if (host == 255) return HostAddressProblem::BroadcastAddress;
    return HostAddressProblem::None;
}

bool parseIpv4(const QString& text, quint32* address)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    quint32 value = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3) return false;
        for (const QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        const uint octet = part.toUInt();
        if (octet > 255) return false;
        value = (value << 8) | octet;
    }
    *address = value;
    return true;
}

QString hostAddressProblemText(HostAddressProblem problem, const QString& address)
{
    const char* text = nullptr;
    switch (problem) {
    case HostAddressProblem::None:
        return {};
    case HostAddressProblem::Unspecified:
        text = QT_TRANSLATE_NOOP("sonaro::HostAddressRules",
                                 "%1 is not a host address (0.x.x.x means \"this network\").");
        break;
    case HostAddressProblem::Loopback:
        text = QT_TRANSLATE_NOOP("sonaro::HostAddressRules",
                                 "%1 is a loopback address; the unit could not be reached there.");
        break;
    case HostAddressProblem::Multicast:
        text = QT_TRANSLATE_NOOP("sonaro::HostAddressRules",
                                 "%1 is a multicast address, not a host address.");
        break;
    case HostAddressProblem::Reserved:
        text = QT_TRANSLATE_NOOP("sonaro::HostAddressRules",
                                 "%1 is a reserved or broadcast address, not a host address.");
        break;
    case HostAddressProblem::NetworkAddress:
        text = QT_TRANSLATE_NOOP(
            "sonaro::HostAddressRules",
            "%1 is the network address of its /24; choose a host from .1 to .254.");
        break;
    case HostAddressProblem::BroadcastAddress:
        text = QT_TRANSLATE_NOOP(
            "sonaro::HostAddressRules",
            "%1 is the broadcast address of its /24; choose a host from .1 to .254.");
        break;
    }
    return QCoreApplication::translate("sonaro::HostAddressRules", text).arg(address);
}

} // namespace sonaro
