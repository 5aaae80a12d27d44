#include "LoopbackHarness.h"
#include "model/RecordingOperator.h"

#include "link/Discovery.h"
#include "unit/UnitFrames.h"

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

std::unique_ptr<VirtualUnit> unitAt(const char* address, quint16 port, int answerDelay = 0)
{
    VirtualUnitOptions options;
    options.address = QHostAddress(QString::fromLatin1(address));
    options.port = port;
    options.answerDelay = answerDelay;
    options.adminName = QStringLiteral("boss");
    auto unit = std::make_unique<VirtualUnit>(options);
    return unit->start() ? std::move(unit) : nullptr;
}

} // namespace

TEST(Discovery, FindsEveryLoopbackUnitOnceWithinASecond)
{
    const quint16 port = freeLoopbackPort({"127.0.0.2", "127.0.0.5", "127.0.0.9"});
    ASSERT_NE(port, 0);
    UnitTable table;
    LinkState state(table);
    state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    state.port = port;
    RecordingOperator ui;
    // The third unit answers only after its host's window: its answer to the first probe and
    // its answer to the second one both arrive and give one row.
    auto a = unitAt("127.0.0.2", port);
    auto b = unitAt("127.0.0.5", port);
    auto late = unitAt("127.0.0.9", port, state.timings.probeAnswerWindow + 60);
    ASSERT_TRUE(a && b && late);

    Discovery discovery(state, ui);
    std::vector<int> progress;
    QObject::connect(&discovery, &Discovery::progress, [&](int h) { progress.push_back(h); });
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(discovery.start());
    ASSERT_TRUE(waitFor([&] { return !discovery.isRunning(); }, 5000));
    const qint64 elapsed = clock.elapsed();

    QStringList addresses;
    for (const DiscoveredUnit& u : discovery.results())
        addresses << u.address;
    addresses.sort();
    EXPECT_EQ(addresses, (QStringList{"127.0.0.2", "127.0.0.5", "127.0.0.9"}));
    ASSERT_EQ(discovery.results().size(), 3u);
    EXPECT_EQ(discovery.results()[0].port, QString::asprintf("%05d", port));
    EXPECT_EQ(discovery.results()[0].firstName, "boss");
    EXPECT_EQ(discovery.results()[0].secondName, "user");
    EXPECT_EQ(late->receivedCount('I'), 2) << "no answer within the window: a second attempt";
    EXPECT_EQ(a->receivedCount('I'), 1) << "an answered host is not probed again";
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Search finished.");
    EXPECT_EQ(ui.messages[0].title, "INFO");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 254);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    // The whole /24 in under a second on an idle machine; allow for a loaded test run.
    EXPECT_LT(elapsed, 2000);
    // The late answer still arrives after the sweep: nothing is left bound to the port.
    QUdpSocket rebind;
    EXPECT_TRUE(rebind.bind(state.bindAddress, port));
}

TEST(Discovery, RowsAreKeyedByTheAddressInsideTheFrame)
{
    UnitTable table;
    LinkState state(table);
    RecordingOperator ui;
    Discovery discovery(state, ui);
    const std::string p = buildReplyP(1, "192.168.001.010", 5000, "admin", "user");
    EXPECT_EQ(discovery.addResult(p), "192.168.1.10");
    EXPECT_EQ(discovery.addResult(buildReplyP(1, "192.168.1.10", 6000, "x", "y")), "");
    std::string corrupt = p;
    corrupt[corrupt.size() - 2] = corrupt[corrupt.size() - 2] == '0' ? '1' : '0';
    EXPECT_EQ(discovery.addResult(buildReplyP(1, "10.0.0.3", 5000, "a", "b")), "10.0.0.3");
    EXPECT_EQ(discovery.addResult(corrupt), "");
    ASSERT_EQ(discovery.results().size(), 2u);
    EXPECT_EQ(discovery.results()[0].port, "05000");
    EXPECT_EQ(discovery.results()[0].firstName, "admin");
}

TEST(Discovery, AnswerASecondLateIsListedAndStrangersAreNot)
{
    const quint16 port = freeLoopbackPort({"127.0.0.4", "127.0.1.7"});
    ASSERT_NE(port, 0);
    UnitTable table;
    LinkState state(table);
    state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    state.port = port;
    RecordingOperator ui;
    auto late = unitAt("127.0.0.4", port, 900);
    ASSERT_TRUE(late);
    // A host outside the swept network offers a unit inside it.
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(QStringLiteral("127.0.1.7")), port));

    Discovery discovery(state, ui);
    const quint32 lo = QHostAddress(QStringLiteral("127.0.0.1")).toIPv4Address();
    const quint32 eth = QHostAddress(QStringLiteral("10.99.0.5")).toIPv4Address();
    discovery.setInterfaces(
        {{"lo", lo, 0xFF000000u, true, true}, {"eth0", eth, ~0u << 8, true, false}});
    ASSERT_EQ(discovery.sweepNetworks().size(), 1u) << "bound to loopback: loopback only";
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(discovery.start());
    const std::string offer = buildReplyP(1, "127.0.0.50", port, "x", "y");
    stranger.writeDatagram(offer.data(), static_cast<qint64>(offer.size()),
                           QHostAddress(QStringLiteral("127.0.0.1")), port);
    ASSERT_TRUE(waitFor([&] { return !discovery.isRunning(); }, 5000));
    EXPECT_LE(clock.elapsed(), 2000);
    ASSERT_EQ(discovery.results().size(), 1u);
    EXPECT_EQ(discovery.results()[0].address, "127.0.0.4");
    EXPECT_EQ(discovery.droppedCount(), 1);
}

TEST(Discovery, APortInUseIsToldWithAddressPortAndCause)
{
    const quint16 port = freeLoopbackPort({});
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), port));
    UnitTable table;
    LinkState state(table);
    state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    state.port = port;
    RecordingOperator ui;
    const QString where = QStringLiteral("Port %1 on 127.0.0.1").arg(port);

    Discovery discovery(state, ui);
    EXPECT_FALSE(discovery.start());
    EXPECT_TRUE(discovery.errorText().startsWith("Winsock error!"));
    EXPECT_TRUE(discovery.errorText().contains(where)) << discovery.errorText().toStdString();

    LoginCheck check(state);
    bool accepted = true;
    QObject::connect(&check, &LoginCheck::finished, [&](bool ok) { accepted = ok; });
    check.checkLogin("admin", "888888");
    ASSERT_TRUE(waitFor([&] { return !check.errorText().isEmpty(); }, 1000));
    EXPECT_TRUE(check.errorText().contains(where));

    Link link(state);
    Dispatcher dispatcher(state, link, ui);
    Delivery delivery(state, link, ui);
    Session session(state, link, dispatcher, delivery, ui);
    EXPECT_FALSE(session.start());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "ERROR");
    EXPECT_TRUE(ui.messages[0].text.startsWith("Winsock error!\n"));
    EXPECT_TRUE(ui.messages[0].text.contains(where)) << ui.messages[0].text.toStdString();
}
