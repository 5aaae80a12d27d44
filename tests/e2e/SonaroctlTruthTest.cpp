// sonaroctl against units that lie, stay silent or send garbage: it must never report a success
// the unit did not give. A rogue unit on 127.0.0.4 answers as each test scripts it.
#include "CtlProcess.h"

#include "mixer/StateFile.h"
#include "protocol/Commands.h"
#include "support/FactoryRecord.h"
#include "support/LoopbackPort.h"
#include "unit/UnitFrames.h"
#include "unit/VirtualUnit.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

constexpr char kRogueAddress[] = "127.0.0.4";

int hexAt(const QByteArray& frame, int position)
{
    return frame.mid(position, 2).toInt(nullptr, 16);
}

class SonaroctlTruth : public CtlTest
{
protected:
    void SetUp() override
    {
        if (!prepared({QString::fromLatin1(kRogueAddress)})) return;
        record = factoryRecord();
        record.unitNumber = 1;
        QObject::connect(&stream, &QTimer::timeout, [this] {
            if (rogue) rogue->send(buildReplyL({}, 0));
        });
    }

    // A unit that logs in, reports its state and its EQ and dynamics blocks as a sound one does;
    // every other frame goes to the test's own handler first.
    void startRogue(RogueUnit::Handler special = {})
    {
        rogue.reset(); // frees the port first
        rogue = std::make_unique<RogueUnit>(
            QString::fromLatin1(kRogueAddress), port,
            [this, special](const QByteArray& frame) -> std::vector<std::string> {
                if (silentKinds.contains(frame[1])) return {};
                if (special) {
                    std::vector<std::string> answer = special(frame);
                    if (!answer.empty()) return answer;
                }
                switch (frame[1]) {
                case 'R':
                    return {buildReplyR(true, 1)};
                case 'C':
                    return {buildReplyS(record, 1, links)};
                case 'F':
                    return {buildReplyA(record, 1, hexAt(frame, 6))};
                case 'T':
                    return {buildReplyU(record, 1, hexAt(frame, 6))};
                case 'E':
                    return {buildReplyQ(1, hexAt(frame, 6))};
                case 'B':
                    return {buildReplyH(1, hexAt(frame, 6))};
                case 'M':
                    for (int ch = 0; ch < kInputCount; ++ch)
                        applyInputSwitchByte(record, ch, hexAt(frame, 6 + 2 * ch));
                    applyOutputSwitchByte(record, hexAt(frame, 23));
                    applyUnitSwitchByte(record, hexAt(frame, 26));
                    return {buildReplyD(record, 1)};
                default:
                    return {};
                }
            });
        ASSERT_TRUE(rogue->bound());
        // A status frame every 20 ms keeps the link's watchdog content.
        stream.start(20);
    }

    QStringList link() const
    {
        return linkArguments(dir.path(), QString::fromLatin1(kRogueAddress), port,
                             QStringLiteral("888888"));
    }

    UnitRecord record{};
    LinkTable links{};
    QByteArray silentKinds;
    std::unique_ptr<RogueUnit> rogue;
    QTimer stream;
};

TEST_F(SonaroctlTruth, ASwitchIsDoneOnlyWhenItsAnswerReportsTheAskedValue)
{
    ASSERT_EQ(record.inputPhantom[1], 1);
    const QStringList set = link() << QStringLiteral("set") << QStringLiteral("phantom")
                                   << QStringLiteral("2") << QStringLiteral("off");

    // No answer to M at all.
    silentKinds = "M"; // kinds the unit never answers
    startRogue();
    CtlResult r = runCtl(set);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("set phantom 2 off: not confirmed by the unit"))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("no valid D answer")) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("changed")) << r.out.toStdString();
    EXPECT_GE(rogue->count('M'), 1);

    // A D that reports the old value.
    silentKinds.clear();
    startRogue([this](const QByteArray& frame) -> std::vector<std::string> {
        if (frame[1] == 'M') return {buildReplyD(record, 1)};
        return {};
    });
    r = runCtl(set);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("the unit's D reports other values")) << r.err.toStdString();

    // A D with the asked value but a broken checksum.
    startRogue([this](const QByteArray& frame) -> std::vector<std::string> {
        if (frame[1] != 'M') return {};
        UnitRecord changed = record;
        changed.inputPhantom[1] = 0;
        return {withBadChecksum(buildReplyD(changed, 1))};
    });
    r = runCtl(set);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("no valid D answer")) << r.err.toStdString();

    // The same D whole: done.
    record.inputPhantom[1] = 1;
    startRogue([this](const QByteArray& frame) -> std::vector<std::string> {
        if (frame[1] != 'M') return {};
        UnitRecord changed = record;
        changed.inputPhantom[1] = 0;
        return {buildReplyD(changed, 1)};
    });
    r = runCtl(set);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("phantom 2 off (changed)")) << r.out.toStdString();
}

TEST_F(SonaroctlTruth, GainsAreDoneOnlyWhenTheStateReadBackHoldsThem)
{
    // The unit ignores V: its state still reports the old gain.
    startRogue();
    CtlResult r = runCtl(link() << QStringLiteral("set") << QStringLiteral("input-gain")
                                << QStringLiteral("3") << QStringLiteral("-20"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("the gains (V): the unit reports other values"))
        << r.err.toStdString();
    EXPECT_GE(rogue->count('C'), 2) << "the login's C and the read-back";

    // The unit applies V.
    startRogue([this](const QByteArray& frame) -> std::vector<std::string> {
        if (frame[1] == 'V') record.inputGain[2] = hexAt(frame, 10);
        return {};
    });
    r = runCtl(link() << QStringLiteral("set") << QStringLiteral("input-gain")
                      << QStringLiteral("3") << QStringLiteral("-20"));
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(record.inputGain[2], 30);
}

TEST_F(SonaroctlTruth, APresetIsLoadedOnlyWhenEveryBlockWasAcknowledged)
{
    const QString file = dir.filePath("room.ini");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(StateFile::encode(record, GroupFileRecords{}));
    out.close();

    silentKinds = "E";
    startRogue();
    const CtlResult r =
        runCtl(link() << QStringLiteral("preset") << QStringLiteral("load") << file);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("(E): no Q answer came")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("Open successfully")) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("Loaded")) << r.out.toStdString();
}

TEST_F(SonaroctlTruth, ShowPrintsOnlyTheStateReportedAfterItsLogin)
{
    UnitRecord stale = record;
    stale.inputGain[0] = 5;   // -45 dB
    record.inputGain[0] = 40; // -10 dB
    startRogue([&stale](const QByteArray& frame) -> std::vector<std::string> {
        // A state report ahead of the login answer.
        if (frame[1] == 'R') return {buildReplyS(stale, 1, LinkTable{}), buildReplyR(true, 1)};
        return {};
    });
    const CtlResult r = runCtl(link() << QStringLiteral("--json") << QStringLiteral("show"));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(jsonObjectOf(r.out).value("inputs").toArray()[0].toObject().value("gainDb").toInt(),
              -10);
}

TEST_F(SonaroctlTruth, ImpossibleAndRefusingLoginAnswersFail)
{
    for (const char* count : {"00", "ZZ", "-1", "65"}) {
        startRogue([count](const QByteArray& frame) -> std::vector<std::string> {
            if (frame[1] == 'R') return {buildFrame('R', {"00", count})};
            return {};
        });
        const CtlResult r = runCtl(link() << QStringLiteral("login"));
        EXPECT_EQ(r.status, 1) << count;
        EXPECT_TRUE(r.err.contains(QStringLiteral("impossible unit count '%1'").arg(count)))
            << r.err.toStdString();
        EXPECT_FALSE(r.out.contains("Logged in")) << count;
    }

    startRogue([](const QByteArray& frame) -> std::vector<std::string> {
        if (frame[1] == 'R') return {buildFrame('R', {"ff", "ff"})};
        return {};
    });
    CtlResult r = runCtl(link() << QStringLiteral("login"));
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("User Password Error!")) << r.err.toStdString();

    // Accepted, then refused at once.
    startRogue([](const QByteArray& frame) -> std::vector<std::string> {
        if (frame[1] == 'R') return {buildReplyR(true, 1), buildReplyR(false, 0)};
        return {};
    });
    r = runCtl(link() << QStringLiteral("login"));
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("refused the login after accepting it")) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("Logged in"));
}

TEST_F(SonaroctlTruth, MonitorFailsWhenTheUnitFallsSilent)
{
    VirtualUnitOptions options;
    options.address = QHostAddress(QString::fromLatin1(kRogueAddress));
    options.port = port;
    options.statusInterval = 20;
    VirtualUnit unit(options);
    ASSERT_TRUE(unit.start());
    QProcess process;
    startCtl(process, link() << QStringLiteral("monitor") << QStringLiteral("--seconds")
                             << QStringLiteral("5"));
    ASSERT_TRUE(waitFor([&] { return unit.streaming(); }, 10000));
    spin(200);
    unit.silence(60000);
    const CtlResult r = finishCtl(process);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("the unit went silent")) << r.err.toStdString();
}

TEST_F(SonaroctlTruth, NetworkAndFileTextIsEscapedAndImpossibleValuesAreMarked)
{
    // Discovery: a name with a terminal escape, and an answer with an impossible address.
    startRogue([this](const QByteArray& frame) -> std::vector<std::string> {
        if (frame[1] != 'I') return {};
        return {buildReplyP(1, kRogueAddress, port, "\x1b[2J", "user"),
                buildFrame('P', {"01", "999.999.999.999:99999", "admin&&", "user&&&"})};
    });
    CtlResult r = runCtl({"--data-dir", dir.path(), "--bind", "127.0.0.1", "--port",
                          QString::number(port), "discover"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains(QChar(0x1b)));
    EXPECT_TRUE(r.out.contains(QStringLiteral("127.0.0.4 %1 \\x1b[2J user").arg(port)))
        << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("999")) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("ignored 1 answer(s)")) << r.err.toStdString();

    // A preset of all 0xFF bytes.
    const QString file = dir.filePath("ff.ini");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(static_cast<int>(StateFile::kFileSize), '\xff'));
    out.close();
    r = runCtl({"preset", "show", file});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Out of range")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("! input 1 gain (-1)")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QChar(0xff)));
    EXPECT_TRUE(r.err.contains("out of range"));
    r = runCtl({"--json", "preset", "show", file});
    EXPECT_FALSE(jsonObjectOf(r.out).value("outOfRange").toArray().isEmpty());
}

TEST_F(SonaroctlTruth, TheDataDirectoryMustBeNamedAndIsCreatedOnlyBesideAnExistingOne)
{
    CtlResult r = runCtl({"--data-dir", "", "login"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("--data-dir needs a directory")) << r.err.toStdString();

    const QString deep = dir.filePath("no/such/tree");
    r = runCtl({"--data-dir", deep, "--password", "888888", "login"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("nor does its parent")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("no")));

    // One level missing: made, and said. (Nothing answers: the login itself fails.)
    const QString fresh = dir.filePath("fresh");
    r = runCtl({"--data-dir", fresh, "--bind", "127.0.0.1", "--address", kRogueAddress, "--port",
                QString::number(port), "--password", "888888", "login"});
    EXPECT_TRUE(QFileInfo(fresh).isDir());
    EXPECT_TRUE(r.err.contains("created the data directory")) << r.err.toStdString();
}

} // namespace
