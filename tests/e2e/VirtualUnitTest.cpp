// The virtual unit's awkward parts, as a real unit has them.
#include "e2e/LoopbackHarness.h"

#include "protocol/Commands.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonaro::testing {

TEST(VirtualUnit, RefusesCommandsBeforeALoginAndFromOthers)
{
    LoopbackHarness h;
    h.unit->setRefuseBeforeLogin(true);
    ASSERT_TRUE(h.startBoth());
    UnitRecord& r = h.table.record(1);
    r.panelLock = 1;
    r.inputGain[0] = 12;
    h.link.send('M', 1);
    h.link.send('V', 1);
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 2000));
    EXPECT_EQ(h.unit->record().panelLock, 0);
    EXPECT_NE(h.unit->record().inputGain[0], 12);

    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    r.inputGain[0] = 12; // the state report brought the unit's value
    h.link.send('V', 1);
    ASSERT_TRUE(waitFor([&] { return h.unit->record().inputGain[0] == 12; }, 1000));

    // Someone else, without a login of their own.
    QUdpSocket other;
    ASSERT_TRUE(other.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    UnitRecord forged = r;
    forged.inputGain[0] = 40;
    const std::string v = buildV(forged, 1);
    other.writeDatagram(v.data(), static_cast<qint64>(v.size()), h.unit->address(), h.port);
    spin(100);
    EXPECT_EQ(h.unit->record().inputGain[0], 12);
}

TEST(VirtualUnit, LogMasksLoginsAndIsReadableByItsOwnerOnly)
{
    QTemporaryDir dir;
    LoopbackHarness h;
    VirtualUnitOptions options;
    options.address = QHostAddress(QStringLiteral("127.0.0.2"));
    options.port = h.port;
    options.statusInterval = 10;
    options.logPath = dir.filePath(QStringLiteral("unit.log"));
    h.unit = std::make_unique<VirtualUnit>(options);
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(h.session.changeAccount("admin", "888888", "abc123", "abc123"));
    ASSERT_TRUE(waitFor([&] { return !h.ui.messages.empty(); }, 2000));

    QFile log(options.logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("%R,"));
    EXPECT_TRUE(text.contains("%X,"));
    for (const char* secret : {"888888", "abc123", "admin"})
        EXPECT_FALSE(text.contains(secret)) << secret;
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther;
    EXPECT_EQ(QFileInfo(options.logPath).permissions() & others, QFileDevice::Permissions());
}

TEST(VirtualUnit, FrontPanelChangesReachTheProgram)
{
    LoopbackHarness h;
    ASSERT_TRUE(h.startBoth());
    ASSERT_TRUE(h.login());
    ASSERT_TRUE(waitFor([&] { return h.delivery.isIdle(); }, 1000));
    int levels = 0;
    QObject::connect(&h.dispatcher, &Dispatcher::levelsChanged, [&] { ++levels; });
    for (int i = 0; i < 4; ++i)
        h.unit->frontPanelChange();
    const UnitRecord& unit = h.unit->record();
    const UnitRecord& r = h.table.record(1);
    ASSERT_TRUE(waitFor(
        [&] {
            for (int ch = 0; ch < kInputCount; ++ch)
                if (r.inputGain[ch] != unit.inputGain[ch] ||
                    r.inputPhantom[ch] != unit.inputPhantom[ch])
                    return false;
            return true;
        },
        1000));
    EXPECT_GT(levels, 0);
    EXPECT_TRUE(r.connected) << "the unit count it reports keeps the unit connected";
}

} // namespace sonaro::testing
