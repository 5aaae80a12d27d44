// sonaroctl against units that lie, stay silent, send damaged frames or are forged by another
// host: the exit status is the delivery's verdict on every change, a failure names what was
// not confirmed, and nothing is sent without bound. A rogue unit on 127.0.0.4 answers as each
// case scripts it; forgeries come from 127.0.0.5.
#include "CtlProcess.h"

#include "link/Delivery.h"
#include "mixer/StateFile.h"

#include <QFile>
#include <QFileInfo>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

const QString kRogue = QStringLiteral("127.0.0.4");
const QString kForger = QStringLiteral("127.0.0.5");

// The D of a record whose input 2 has its phantom power off: what `set phantom 2 off` asks for.
std::string phantomOffD(UnitRecord record)
{
    record.inputPhantom[1] = 0;
    return buildReplyD(record, 1);
}

struct HostileCase
{
    const char* name;
    QStringList words; // after the link options
    // Scripts the rogue; returns the answers to a frame (none: the sound unit's answer).
    std::function<std::vector<std::string>(RogueUnit& rogue, const QByteArray& frame)> script;
    int status;
    const char* message; // on standard error
    char counted;        // a kind whose frames must stay few
    int most;
};

class SonaroctlHostileUnit : public CtlTest, public ::testing::WithParamInterface<HostileCase>
{
protected:
    void SetUp() override { prepared({kRogue, kForger}); }
};

TEST_P(SonaroctlHostileUnit, ExitsWithTheDeliverysVerdictAndSendsWithinBounds)
{
    if (IsSkipped() || HasFatalFailure()) return;
    const HostileCase& c = GetParam();
    std::unique_ptr<RogueUnit> rogue;
    rogue = std::make_unique<RogueUnit>(kRogue, port, [&](const QByteArray& frame) {
        return c.script ? c.script(*rogue, frame) : std::vector<std::string>{};
    });
    ASSERT_TRUE(rogue->bound());
    ASSERT_TRUE(rogue->record.inputPhantom[1] == 1);
    // A preset with inputs 1 and 2 in group 1 (its database id is 2), for the cases that load one.
    GroupFileRecords groups{};
    groups[0] = {2, {1, 2}};
    QFile preset(dir.filePath(QStringLiteral("room.ini")));
    ASSERT_TRUE(preset.open(QIODevice::WriteOnly));
    preset.write(StateFile::encode(rogue->record, groups));
    preset.close();

    QStringList words = c.words;
    words.replaceInStrings(QStringLiteral("FILE"), preset.fileName());
    const CtlResult r = runCtl(linkArguments(dir.path(), kRogue, port) << words);
    EXPECT_EQ(r.status, c.status) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << r.err.toStdString();
    if (c.status != 0) {
        EXPECT_FALSE(r.err.contains(QLatin1String("successful"), Qt::CaseInsensitive))
            << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(QLatin1String("(changed)"))) << r.out.toStdString();
    }
    EXPECT_LE(rogue->count(c.counted), c.most);
    // Only the first unit is ever addressed: "%C,01,..." and the like.
    for (const QByteArray& frame : rogue->received()) {
        if (!QByteArray("CFTVMGEB").contains(frame[1])) continue;
        EXPECT_EQ(frame.mid(3, 2), "01") << frame.data();
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("ip.ini")))) << "ip.ini untouched";
}

const QStringList kPhantomOff = {"set", "phantom", "2", "off"};
// An M the unit never confirms goes again up to this often: each try with its own repeats (the
// answer wait queues it again), and each as two datagrams.
constexpr int kMostM = (Delivery::kMaxResends + 1) * (Delivery::kRequeues + 1) * 2;

const HostileCase kCases[] = {
    {"SoundUnit", kPhantomOff, {}, 0, "", 'M', 1},
    {"StaleFirstAnswerThenSilence", kPhantomOff,
     [](RogueUnit& rogue, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] != 'M') return {};
         rogue.silentKinds = "RLCFTVMGEBJ"; // from now on nothing, not even the stream
         rogue.streaming = false;
         return {buildReplyD(rogue.record, 1)};
     },
     1, "not confirmed by the unit: Input 2 phantom power", 'M', kMostM},
    {"StaleAnswers", kPhantomOff,
     [](RogueUnit& rogue, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] == 'M') return {buildReplyD(rogue.record, 1)};
         return {};
     },
     1, "not confirmed by the unit: Input 2 phantom power", 'M', kMostM},
    {"DamagedAnswers", kPhantomOff,
     [](RogueUnit& rogue, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] == 'M') return {withBadChecksum(phantomOffD(rogue.record))};
         return {};
     },
     1, "Input 2 phantom power", 'M', kMostM},
    {"TruncatedAnswers", kPhantomOff,
     [](RogueUnit& rogue, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] == 'M') return {phantomOffD(rogue.record).substr(0, 20) + "#"};
         return {};
     },
     1, "Input 2 phantom power", 'M', kMostM},
    {"ForgedAnswersFromAnotherHost", kPhantomOff,
     [](RogueUnit& rogue, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] == 'M' || frame[1] == 'C') {
             rogue.forge(kForger, phantomOffD(rogue.record));
             rogue.forge(kForger, buildReplyQ(1, 1));
             rogue.forge(kForger, buildReplyH(1, 0));
             if (frame[1] == 'M') return {std::string("%")}; // the unit itself says nothing
         }
         return {};
     },
     1, "Input 2 phantom power", 'M', kMostM},
    {"UntakenLinkTable",
     {"preset", "load", "FILE"},
     [](RogueUnit&, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] == 'J') return {std::string("%")}; // taken nowhere: S keeps reporting none
         return {};
     },
     1,
     "not confirmed by the unit: Groups",
     'J',
     12},
    {"UnitCountOf99",
     {"set", "input-gain", "3", "-20"},
     [](RogueUnit& rogue, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] == 'R') return {buildReplyR(true, 1), buildFrame('K', {"01", "99"})};
         if (frame[1] == 'V') rogue.record.inputGain[2] = hexAt(frame, 10);
         return {};
     },
     0,
     "",
     'C',
     12},
    {"LoginAnswerWithoutUnits",
     {"login"},
     [](RogueUnit&, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] == 'R') return {buildFrame('R', {"00", "ZZ"})};
         return {};
     },
     1,
     "the login answer reports no unit",
     'C',
     0},
    {"ImpossibleAddressAnswer",
     {"address", "set", "127.0.0.9"},
     [](RogueUnit&, const QByteArray& frame) -> std::vector<std::string> {
         if (frame[1] == 'I')
             return {buildFrame('P', {"01", "999.999.999.999:05000", "admin&&", "user&&&"}),
                     buildFrame('P', {"01", "abc.def.ghi.jkl:05000", "admin&&", "user&&&"})};
         return {};
     },
     1,
     "the unit did not answer the change",
     'I',
     1},
};

INSTANTIATE_TEST_SUITE_P(Cases, SonaroctlHostileUnit, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
