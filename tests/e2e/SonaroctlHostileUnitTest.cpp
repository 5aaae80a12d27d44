// sonaroctl against units that lie, stay silent or send damaged frames (another host's frames:
// ConnectionTest): the exit status is the delivery's verdict on every change, a failure names what
// was not confirmed, and nothing is sent without bound. The unit on 127.0.0.4 never takes the
// frames of the kinds a case loses and answers them as the case says.
#include "CtlProcess.h"

#include "link/Delivery.h"
#include "mixer/StateFile.h"
#include "protocol/FrameCodec.h"
#include "unit/UnitFrames.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

using namespace sonaro;
using namespace sonaro::testing;

namespace {

const QString kRogue = QStringLiteral("127.0.0.4");

// The D of a record whose input 2 has its phantom power off: what `set phantom 2 off` asks for.
std::string phantomOffD(UnitRecord record)
{
    record.inputPhantom[1] = 0;
    return buildReplyD(record, 1);
}

struct HostileCase
{
    const char* name;
    QStringList words;                                     // after the link options
    QByteArray lost;                                       // kinds the unit never takes
    int unitCount;                                         // in the login answer
    void (*answer)(VirtualUnit&, const QByteArray& frame); // besides the unit's own answers
    int status;
    const char* message; // on standard error
    char counted;        // a kind whose frames must stay few
    int most;
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

class SonaroctlHostileUnit : public CtlTest, public ::testing::WithParamInterface<HostileCase>
{
protected:
    void SetUp() override { prepare({kRogue}, GetParam().unitCount); }
};

TEST_P(SonaroctlHostileUnit, ExitsWithTheDeliverysVerdictAndSendsWithinBounds)
{
    const HostileCase& c = GetParam();
    for (const char kind : c.lost)
        unit->dropNext(kind, 100000);
    VirtualUnit* u = unit.get();
    QObject::connect(u, &VirtualUnit::frameReceived, u, [u, &c](const QByteArray& f) {
        // After the unit's own answer.
        if (c.answer) QTimer::singleShot(0, u, [u, &c, f] { c.answer(*u, f); });
    });
    ASSERT_EQ(unit->record().inputPhantom[1], 1);
    // A preset with inputs 1 and 2 in group 1 (its database id is 2), for the cases that load one.
    GroupFileRecords groups{};
    groups[0] = {2, {1, 2}};
    QFile preset(dir.filePath(QStringLiteral("room.ini")));
    ASSERT_TRUE(preset.open(QIODevice::WriteOnly));
    preset.write(StateFile::encode(unit->record(), groups));
    preset.close();

    QStringList words = c.words;
    words.replaceInStrings(QStringLiteral("FILE"), preset.fileName());
    const CtlResult r = runCtl(link() << words);
    EXPECT_EQ(r.status, c.status) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << r.err.toStdString();
    if (c.status != 0) {
        EXPECT_FALSE(r.err.contains(QLatin1String("successful"), Qt::CaseInsensitive))
            << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(QLatin1String("(changed)"))) << r.out.toStdString();
    }
    EXPECT_LE(unit->receivedCount(c.counted), c.most);
    // Only the first unit is ever addressed: "%C,01,..." and the like.
    for (const QByteArray& frame : unit->received())
        EXPECT_TRUE(!QByteArray("CFTVMGEB").contains(frame[1]) || frame.mid(3, 2) == "01")
            << frame.data();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("ip.ini")))) << "ip.ini untouched";
}

const QStringList kPhantomOff = {"set", "phantom", "2", "off"};
const char* const kNotConfirmed = "not confirmed by the unit: Input 2 phantom power";
// An M the unit never confirms goes again up to this often: each try with its own repeats (the
// answer wait queues it again), and each as two datagrams.
constexpr int kMostM = (Delivery::kMaxResends + 1) * (Delivery::kRequeues + 1) * 2;

// clang-format off
const HostileCase kCases[] = {
    {"SoundUnit", kPhantomOff, "", 1, nullptr, 0, "", 'M', 1},
    {"StaleFirstAnswerThenSilence", kPhantomOff, "M", 1, [](VirtualUnit& u, const QByteArray& frame) {
         if (frame[1] != 'M' || u.receivedCount('M') != 1) return;
         u.sendToClient(buildReplyD(u.record(), 1));
         u.silence(60000); // from now on nothing, not even the stream
     }, 1, kNotConfirmed, 'M', kMostM},
    {"StaleAnswers", kPhantomOff, "M", 1, [](VirtualUnit& u, const QByteArray& frame) {
         if (frame[1] == 'M') u.sendToClient(buildReplyD(u.record(), 1));
     }, 1, kNotConfirmed, 'M', kMostM},
    {"DamagedAndTruncatedAnswers", kPhantomOff, "M", 1, [](VirtualUnit& u, const QByteArray& frame) {
         if (frame[1] != 'M') return;
         std::string answer = phantomOffD(u.record());
         u.sendToClient(answer.substr(0, 20) + "#");
         answer[answer.size() - 2] ^= 1; // a checksum digit
         u.sendToClient(answer);
     }, 1, "Input 2 phantom power", 'M', kMostM},
    // Taken nowhere: the state keeps reporting no group.
    {"UntakenLinkTable", {"preset", "load", "FILE"}, "J", 1, nullptr, 1,
     "not confirmed by the unit: Groups", 'J', 12},
    {"UnitCountOf99", {"set", "input-gain", "3", "-20"}, "", 1,
     [](VirtualUnit& u, const QByteArray& f) {
         if (f[1] == 'R') u.sendToClient(buildFrame('K', {"01", "99"}));
     }, 0, "", 'C', 12},
    {"StateNeverReported", {"login"}, "C", 1, nullptr, 1, "the unit did not report its state", 'C',
     Delivery::kMaxAsks},
    {"LoginAnswerWithoutUnits", {"login"}, "", 0, nullptr, 1, "the login answer reports no unit",
     'C', 0},
    {"ImpossibleAddressAnswer", {"address", "set", "127.0.0.9"}, "I", 1,
     [](VirtualUnit& u, const QByteArray& frame) {
         if (frame[1] != 'I') return;
         for (const char* at : {"999.999.999.999:05000", "abc.def.ghi.jkl:05000"})
             u.sendToClient(buildFrame('P', {"01", at, "admin&&", "user&&&"}));
     }, 1, "the unit did not answer the change", 'I', 1},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, SonaroctlHostileUnit, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
