#include "model/HostAddressRules.h"

#include <gtest/gtest.h>

namespace sonaro::testing {
namespace {

quint32 ip(const char* text)
{
    quint32 value = 0;
    EXPECT_TRUE(parseIpv4(QString::fromLatin1(text), &value)) << text;
    return value;
}

TEST(HostAddressRules, RefusesAddressesThatLeaveTheUnitUnreachable)
{
    const struct
    {
        const char* address;
        HostAddressProblem problem;
    } cases[] = {
        {"192.168.1.20", HostAddressProblem::None},
        {"10.0.0.1", HostAddressProblem::None},
        {"0.0.0.0", HostAddressProblem::Unspecified},
        {"0.1.2.3", HostAddressProblem::Unspecified},
        {"127.0.0.5", HostAddressProblem::Loopback},
        {"224.0.0.1", HostAddressProblem::Multicast},
        {"239.255.255.250", HostAddressProblem::Multicast},
        {"255.255.255.255", HostAddressProblem::Reserved},
        {"240.1.1.1", HostAddressProblem::Reserved},
        {"192.168.1.0", HostAddressProblem::NetworkAddress},
        {"192.168.1.255", HostAddressProblem::BroadcastAddress},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hostAddressProblem(ip(c.address), false), c.problem) << c.address;
        EXPECT_EQ(hostAddressProblemText(c.problem, QString()).isEmpty(),
                  c.problem == HostAddressProblem::None)
            << c.address;
    }
    // On a loopback link a 127.x unit is reachable, but .0 and .255 stay refused there too.
    EXPECT_EQ(hostAddressProblem(ip("127.0.0.5"), true), HostAddressProblem::None);
}

TEST(HostAddressRules, ParsesOnlyFourDecimalOctets)
{
    quint32 value = 0;
    ASSERT_TRUE(parseIpv4(QStringLiteral(" 10.1.2.3 "), &value));
    EXPECT_EQ(value, 0x0A010203u);
    for (const char* bad : {"", "10.1.2", "10.1.2.3.4", "10.1..3", "10.1.2.256", "10.1.2.x",
                            "10.1.2.-1", "10.1.2.1000", "1e1.1.1.1"}) {
        EXPECT_FALSE(parseIpv4(QString::fromLatin1(bad), &value)) << bad;
    }
}

} // namespace
} // namespace sonaro::testing
