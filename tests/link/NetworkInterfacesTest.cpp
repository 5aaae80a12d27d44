#include "link/NetworkInterfaces.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sonaro;

namespace {

quint32 ip(const char* text)
{
    return QHostAddress(QString::fromLatin1(text)).toIPv4Address();
}

InterfaceAddress nic(const char* name, const char* address, int prefix, bool up = true)
{
    const quint32 mask = prefix == 0 ? 0 : ~0u << (32 - prefix);
    return {QString::fromLatin1(name), ip(address), mask, up, QByteArray(name) == "lo"};
}

const InterfaceAddress kLo = nic("lo", "127.0.0.1", 8);
const InterfaceAddress kLoSecond = nic("lo", "127.0.1.1", 8);
const InterfaceAddress kEth = nic("eth0", "192.168.1.23", 24);
const InterfaceAddress kWlan = nic("wlan0", "10.4.0.7", 16);
const InterfaceAddress kWlanDown = nic("wlan0", "10.4.0.7", 16, false);
const InterfaceAddress kDocker = nic("docker0", "172.17.0.1", 16);

} // namespace

TEST(NetworkInterfaces, ChoosesTheNetworksASweepMayReachAndTheDefault)
{
    const QHostAddress any(QHostAddress::AnyIPv4);
    struct Case
    {
        const char* what;
        std::vector<InterfaceAddress> interfaces;
        QHostAddress bind;
        QString routed;
        QStringList labels; // in order
        int defaultIndex;
    };
    const Case cases[] = {
        {"unbound: every up interface but loopback, the routed one chosen",
         {kLo, kEth, kWlan, kDocker},
         any,
         "wlan0",
         {"eth0  192.168.1.23/24", "wlan0  10.4.0.7/16", "docker0  172.17.0.1/16"},
         1},
        {"unbound without a default route: the first non-loopback",
         {kLo, kDocker, kEth},
         any,
         "",
         {"docker0  172.17.0.1/16", "eth0  192.168.1.23/24"},
         0},
        {"a route through an interface that is down does not count",
         {kEth, kWlanDown},
         any,
         "wlan0",
         {"eth0  192.168.1.23/24"},
         0},
        {"unbound with loopback alone: nothing to sweep", {kLo, kLoSecond}, any, "lo", {}, -1},
        {"bound to loopback: the loopback addresses only, the bound one chosen",
         {kEth, kLo, kLoSecond},
         QHostAddress("127.0.1.1"),
         "eth0",
         {"lo  127.0.0.1/8", "lo  127.0.1.1/8"},
         1},
        {"bound to a loopback address no interface lists: that address",
         {kLo, kEth},
         QHostAddress("127.0.0.9"),
         "",
         {"127.0.0.9/24", "lo  127.0.0.1/8"},
         0},
        {"bound to a real address: its network alone",
         {kLo, kEth, kWlan},
         QHostAddress("10.4.0.7"),
         "eth0",
         {"wlan0  10.4.0.7/16"},
         0},
        {"the same address twice is listed once",
         {kEth, kEth},
         any,
         "",
         {"eth0  192.168.1.23/24"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SweepChoices choices = chooseSweepNetworks(c.interfaces, c.bind, c.routed);
        QStringList labels;
        for (const SweepNetwork& n : choices.networks)
            labels << sweepNetworkLabel(n);
        EXPECT_EQ(labels, c.labels);
        EXPECT_EQ(choices.defaultIndex, c.defaultIndex);
        if (c.bind.isEqual(any)) {
            for (const SweepNetwork& n : choices.networks)
                EXPECT_FALSE(n.address.isLoopback()) << "loopback only when the link is there";
        }
    }
}

TEST(NetworkInterfaces, TheDefaultRouteIsTheUpOneWithTheLowestMetric)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("route"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"    // not default
        "tun0\t00000000\t00000000\t0000\t0\t0\t0\t00000000\t0\t0\t0\n"    // down
        "wlan0\t00000000\t0100040A\t0003\t0\t0\t600\t00000000\t0\t0\t0\n" // default, 600
        "short line\n"
        "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"); // default, 100
    file.close();
    EXPECT_EQ(defaultRouteInterface(path), "eth0");
    EXPECT_EQ(defaultRouteInterface(dir.filePath(QStringLiteral("missing"))), "");
}
