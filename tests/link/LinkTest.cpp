#include "link/Link.h"
#include "link/AddressFile.h"
#include "link/LinkState.h"
#include "link/Session.h"
#include "model/RecordingOperator.h"
#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QSettings>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cstring>

using namespace sonaro;
using sonaro::testing::waitFor;

namespace {

// A link on 127.0.0.1 whose unit is a plain socket on 127.0.0.2, same port.
struct LinkFixture
{
    LinkFixture() : state(table, LinkTimings{}.scaled(10)), link(state)
    {
        state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        state.deviceAddress = QStringLiteral("127.0.0.2");
        state.port = 0; // a free one is chosen below, never the default
        for (int attempt = 0; attempt < 50 && !state.port; ++attempt) {
            QUdpSocket probe;
            if (!probe.bind(state.bindAddress, 0)) continue;
            if (unit.bind(QHostAddress(QStringLiteral("127.0.0.2")), probe.localPort()))
                state.port = probe.localPort();
        }
        QObject::connect(
            &link, &Link::frameReceived,
            [this](const QByteArray& frame, const QHostAddress&) { got.push_back(frame); });
    }
    std::vector<QByteArray> unitReads()
    {
        std::vector<QByteArray> frames;
        while (unit.hasPendingDatagrams())
            frames.push_back(unit.receiveDatagram().data());
        return frames;
    }

    UnitTable table;
    LinkState state;
    Link link;
    QUdpSocket unit;
    std::vector<QByteArray> got;
};

} // namespace

TEST(Link, DatagramsShorterThanSixCharactersAreDropped)
{
    LinkFixture f;
    ASSERT_NE(f.state.port, 0);
    ASSERT_TRUE(f.link.start());
    const QHostAddress to(QStringLiteral("127.0.0.1"));
    f.unit.writeDatagram(QByteArray("%L,0#"), to, f.state.port);
    f.unit.writeDatagram(QByteArray("%L,01#"), to, f.state.port);
    f.unit.writeDatagram(QByteArray("%Q,0\0\0\0\0\0#", 11), to, f.state.port); // cut at the zero
    ASSERT_TRUE(waitFor([&] { return !f.got.empty(); }, 1000));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(f.got.size(), 1u);
    EXPECT_EQ(f.got[0], "%L,01#");
}

TEST(Link, StoppedLinkFailsSendsAndFreesThePort)
{
    LinkFixture f;
    ASSERT_NE(f.state.port, 0);
    EXPECT_FALSE(f.link.sendFrame("%L,01,320A#"));
    ASSERT_TRUE(f.link.start());
    EXPECT_TRUE(f.link.sendFrame("%L,01,320A#"));
    f.link.stop();
    EXPECT_FALSE(f.link.sendFrame("%L,01,320A#"));
    QUdpSocket search;
    EXPECT_TRUE(search.bind(f.state.bindAddress, f.state.port)) << "the port is free at once";
    search.close();
    EXPECT_TRUE(f.link.start());
    QUdpSocket second;
    EXPECT_FALSE(second.bind(f.state.bindAddress, f.state.port));
}

TEST(Link, QueuedRequestsCarryTheNewestStateAndAreNotDuplicated)
{
    LinkFixture f;
    ASSERT_TRUE(f.link.start());
    UnitRecord& r = f.table.record(1);
    applyFactoryValues(r);
    // A fader drag: many V requests while one waits build no backlog.
    f.link.sendText('L', buildL(false)); // occupies the line first
    for (int gain = 0; gain <= 40; ++gain) {
        r.inputGain[0] = gain;
        f.link.send('V', 1);
    }
    f.link.send('G', 1);
    f.link.send('V', 2);
    // The same fixed frame asked for again while it waits is not queued twice.
    for (int i = 0; i < 100; ++i)
        f.link.sendText('R', buildR("admin&&", "888888&"));
    // One request sent twice on purpose is never merged.
    f.link.send('V', 1, 0, 2);
    EXPECT_EQ(f.link.queuedCount(), 6);
    r.inputGain[0] = 55;
    ASSERT_TRUE(waitFor([&] { return f.link.isQueueIdle(); }, 2000));
    ASSERT_TRUE(waitFor([&] { return f.unit.hasPendingDatagrams(); }, 500));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const std::vector<QByteArray> frames = f.unitReads();
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_EQ(frames[1].toStdString(), buildV(r, 1)) << "built when it left";
    EXPECT_EQ(frames[2].toStdString(), buildG(r, 1));
    EXPECT_EQ(frames[3].toStdString(), buildV(f.table.record(2), 2));
    EXPECT_EQ(frames[4].toStdString(), buildR("admin&&", "888888&"));
    EXPECT_EQ(frames[5], frames[6]);
}

TEST(Link, DatagramsKeepTheSendPauseAndTheRequestedDelays)
{
    LinkFixture f;
    f.state.timings.sendPause = 10;
    ASSERT_TRUE(f.link.start());
    std::vector<qint64> times;
    QObject::connect(&f.link, &Link::frameSent,
                     [&](const QByteArray&) { times.push_back(f.state.now()); });
    for (int unit = 1; unit <= 4; ++unit)
        f.link.sendText('C', buildC(unit));
    LinkRequest late;
    late.kind = 'L';
    late.frame = buildL(true);
    late.delayBefore = 50;
    f.link.enqueue(late);
    ASSERT_TRUE(waitFor([&] { return times.size() == 5; }, 2000));
    for (int i = 1; i < 4; ++i)
        EXPECT_GE(times[static_cast<std::size_t>(i)] - times[static_cast<std::size_t>(i) - 1], 10);
    EXPECT_GE(times[4] - times[3], 60) << "the send pause, then the delay";
}

TEST(AddressFile, ReadsNormalisesAndDefaults)
{
    EXPECT_EQ(normaliseAddress(std::string_view("192.168.001.010")), "192.168.1.10");
    EXPECT_EQ(normaliseAddress(std::string_view("10.0.7")), "10.0.7.0");
    EXPECT_EQ(normaliseAddress(std::string_view("")), "0.0.0.0");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ip.ini"));
    AddressFileEntry missing = readAddressFile(path);
    EXPECT_TRUE(missing.ip.isEmpty());
    EXPECT_EQ(missing.port, 5000);
    {
        QSettings file(path, QSettings::IniFormat);
        file.setValue("device/ip", "192.168.001.010");
        file.setValue("device/bind", "127.0.0.1");
    }
    AddressFileEntry entry = readAddressFile(path);
    EXPECT_EQ(entry.ip, "192.168.1.10");
    EXPECT_EQ(entry.port, 5000) << "a missing host gives 5000";
    EXPECT_EQ(entry.bind, "127.0.0.1");
    ASSERT_TRUE(writeAddressFile(path, "10.1.2.3", 6001));
    entry = readAddressFile(path);
    EXPECT_EQ(entry.ip, "10.1.2.3");
    EXPECT_EQ(entry.port, 6001);
    ASSERT_TRUE(writeAddressFile(path, "10.1.2.4"));
    EXPECT_EQ(readAddressFile(path).port, 6001) << "writing the address keeps the port";
    {
        QSettings file(path, QSettings::IniFormat);
        file.setValue("device/host", "99999");
    }
    EXPECT_EQ(readAddressFile(path).port, 5000) << "an unusable port";
}

// The session over a link that is not started: what it decides before anything is sent.
struct SessionFixture
{
    UnitTable table;
    LinkState state{table};
    RecordingOperator ui;
    Link link{state};
    Dispatcher dispatcher{state, link, ui};
    Delivery delivery{state, link, ui};
    Session session{state, link, dispatcher, delivery, ui};
};

TEST(Session, AccountChangeInputsAreCheckedBeforeAChangeBegins)
{
    SessionFixture f;
    f.table.record(1).connected = 1;
    f.state.connection = Connection::Connected;
    const struct
    {
        const char *account, *oldPassword, *newPassword, *confirmation, *message;
    } cases[] = {
        {"admin", "", "a", "a", "Please set password first."},
        {"admin", "a&", "1234567", "1234567", "Must be <=6 bits."}, // lengths before characters
        {"admin", "88&888", "a", "a", "Must be not &."},
        {"admin", "888888", "ab", "%b", "Must be not , # % or &."},
        {"admin", "888888", "p\u00e4ss", "p\u00e4ss", "Must be English."},
        {"admin", "888888", "abc12", "abc12 ", "New psw error."},
    };
    for (const auto& c : cases) {
        f.ui.messages.clear();
        EXPECT_FALSE(f.session.changeAccount(
            QString::fromUtf8(c.account), QString::fromUtf8(c.oldPassword),
            QString::fromUtf8(c.newPassword), QString::fromUtf8(c.confirmation)));
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].text, c.message);
    }
    EXPECT_EQ(f.state.connection, Connection::Connected) << "no change began";
    EXPECT_FALSE(f.table.record(1).accountChangePending);
}

// Before a unit lists its accounts, "admin" is the administrator; afterwards the listed name is.
TEST(Session, TheAccountLevelFollowsTheNamesTheUnitLists)
{
    SessionFixture f;
    UnitRecord& r = f.table.record(1);
    for (const bool listed : {false, true}) {
        if (listed) std::memcpy(r.adminName, "boss\0\0\0", kAccountLength);
        const std::pair<const char*, int> levels[] = {
            {"admin", listed ? 2 : 1}, {"user", 2}, {"boss", listed ? 1 : 2}};
        for (const auto& [name, level] : levels) {
            f.session.storeLogin(QString::fromLatin1(name), QStringLiteral("1"));
            EXPECT_EQ(r.accountLevel, level) << name << (listed ? " listed" : "");
        }
    }
}
