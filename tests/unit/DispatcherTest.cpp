// The unit's frames (as the virtual unit builds them) read back by the dispatcher: both sides
// of every layout agree, and the dispatcher's validity rules and preconditions hold.
#include "link/Dispatcher.h"
#include "model/RecordingOperator.h"
#include "model/ValueConventions.h"
#include "protocol/FrameCodec.h"
#include "unit/UnitFrames.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace sonaro;

namespace {

struct DispatchFixture
{
    DispatchFixture() : state(table), link(state), dispatcher(state, link, ui)
    {
        state.connection = Connection::LoggingIn;
        QObject::connect(&dispatcher, &Dispatcher::linkTableReported,
                         [this](int, const LinkTable& t) { tables.push_back(t); });
    }
    void dispatch(const std::string& frame) { dispatcher.dispatch(frame); }
    UnitRecord& record(int unit) { return table.record(unit); }

    UnitTable table;
    LinkState state;
    Link link; // not started: follow-ups are not sent anywhere
    RecordingOperator ui;
    Dispatcher dispatcher;
    std::vector<LinkTable> tables;
};

std::string innerOf(const std::string& frame)
{
    std::string_view inner;
    return checkFrame(frame, &inner) ? std::string(inner) : std::string();
}

// A valid frame of unit 1 with every other hex digit of its fields turned to "F".
// Every digit of the frame's fields replaced by digit ('F': hexadecimal fields at their largest,
// '9': decimal ones).
std::string allOnes(const std::string& frame, char digit = 'F')
{
    std::string text = frame.substr(0, frame.size() - 5); // without the checksum
    for (std::size_t i = 6; i < text.size(); ++i)
        if (std::isxdigit(static_cast<unsigned char>(text[i]))) text[i] = digit;
    return text + hex4(frameCrc16(text)) + "#";
}

} // namespace

TEST(UnitFrames, LayoutsHaveTheirInnerLengths)
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    const LinkTable links;
    EXPECT_EQ(innerOf(buildReplyR(true, 1)).size(), 12u);
    EXPECT_EQ(innerOf(buildReplyL({}, 0)).size(), 30u);
    EXPECT_EQ(innerOf(buildReplyZ(1, 3)).size(), 12u);
    EXPECT_EQ(innerOf(buildReplyA(r, 1, 9)).size(), 87u);
    EXPECT_EQ(innerOf(buildReplyP(1, "192.168.1.10", 5000, "admin", "user")).size(), 47u);
    EXPECT_EQ(innerOf(buildReplyP(1, "192.168.1.10", 5000, "admin", "user"))[20], ':');
    EXPECT_EQ(innerOf(buildReplyK(1, 2)).size(), 12u);
    EXPECT_EQ(innerOf(buildReplyU(r, 1, 0)).size(), 32u);
    EXPECT_EQ(innerOf(buildReplyQ(1, 3)).size(), 12u);
    EXPECT_EQ(innerOf(buildReplyH(1, 1)).size(), 12u);
    EXPECT_EQ(innerOf(buildReplyY(1, "admin", "pw")).size(), 25u);
    EXPECT_EQ(innerOf(buildReplyO(r, 1)).size(), 34u);
    EXPECT_EQ(innerOf(buildReplyS(r, 1, links)).size(), 147u);
    EXPECT_EQ(innerOf(buildReplyS(r, 1, links)).substr(31, 4), "0000");
    EXPECT_EQ(innerOf(buildReplyN(1, links)).size(), 41u);
    EXPECT_EQ(innerOf(buildReplyD(r, 1)).size(), 32u);
}

TEST(Dispatcher, LoginAnswerMarksTheReportedUnitsOrRefuses)
{
    DispatchFixture f;
    int reported = -1;
    QObject::connect(&f.dispatcher, &Dispatcher::unitsReported, [&](int n) { reported = n; });
    f.record(5).connected = 1;
    f.dispatch(buildReplyR(true, 3));
    EXPECT_EQ(reported, 3);
    for (int unit = 1; unit <= 3; ++unit) {
        EXPECT_TRUE(f.record(unit).connected);
        EXPECT_EQ(f.record(unit).unitNumber, unit);
        EXPECT_EQ(f.record(unit).unitCount, 3);
    }
    EXPECT_FALSE(f.record(5).connected);
    EXPECT_TRUE(f.ui.messages.empty());

    // "FF" in only one status field is an accepted login.
    f.dispatch(buildFrame('R', {"FF", "01"}));
    EXPECT_TRUE(f.record(1).loginAccepted);
    EXPECT_TRUE(f.ui.messages.empty());

    f.record(1).loginPending = 1;
    f.dispatch(buildReplyR(false, 0));
    EXPECT_FALSE(f.record(1).loginAccepted);
    EXPECT_FALSE(f.record(1).connected);
    EXPECT_FALSE(f.record(1).loginPending);
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "User Password Error!");

    // A count beyond the table is held to 64 units.
    f.dispatch(buildFrame('R', {"00", "99"}));
    EXPECT_EQ(reported, 64);
    EXPECT_TRUE(f.record(64).connected);
}

TEST(Dispatcher, StatusFramesNeedAConnectedUnitAndFillRecordOne)
{
    DispatchFixture f;
    const std::array<int, 10> levels{1, 2, 3, 4, 5, 6, 7, 8, 40, 50};
    f.dispatch(buildReplyL(levels, 0x81));
    EXPECT_EQ(f.record(1).inputLevel[0], 0) << "not connected: ignored";
    EXPECT_FALSE(f.state.indicatorOn);
    f.record(1).connected = 1;
    f.dispatch(buildReplyL(levels, 0x81));
    EXPECT_TRUE(f.state.indicatorOn);
    EXPECT_EQ(f.record(1).inputLevel[7], 8);
    EXPECT_EQ(f.record(1).outputLevel[1], 50);
    EXPECT_EQ(f.record(1).inputOpen[0], 1);
    EXPECT_EQ(f.record(1).inputOpen[7], 1);
    EXPECT_EQ(f.record(1).inputOpen[3], 0);
    // Z: one unit's open states alone, bit n for input n + 1.
    f.dispatch(buildReplyZ(2, 0x06));
    EXPECT_EQ(f.record(1).inputOpen[0], 1) << "another unit's Z leaves unit 1 alone";
    EXPECT_EQ(f.record(2).inputOpen[0], 0);
    EXPECT_EQ(f.record(2).inputOpen[1], 1);
    EXPECT_EQ(f.record(2).inputOpen[2], 1);
    EXPECT_EQ(f.record(2).inputOpen[3], 0);
}

TEST(Dispatcher, EqBlocksDecodeWithTheirDefaults)
{
    DispatchFixture f;
    // Slot 9 is the second block of the first output: bands 5..9.
    UnitRecord source = zeroRecord();
    applyFactoryValues(source);
    source.outputEqAt(0, kEqGain, 6) = 3.5;
    f.dispatch(buildReplyA(source, 2, 9));
    EXPECT_DOUBLE_EQ(f.record(2).outputEqAt(0, kEqFrequency, 5), 250);
    EXPECT_DOUBLE_EQ(f.record(2).outputEqAt(0, kEqGain, 6), 3.5);
    EXPECT_DOUBLE_EQ(f.record(2).outputEqAt(0, kEqFrequency, 4), 0) << "other bands untouched";

    // Band 0 of input 3: frequency 0, Q word 0x4001, gain word 301; band 1: Q word 0x4005.
    std::vector<std::string> groups{"01", "03", "0000", "4001", "012D", "03E8", "4005", "0096"};
    groups.insert(groups.end(), {"0064", "C00A", "0096"}); // band 2: a fourth type, type 3
    for (int b = 3; b < 5; ++b)
        groups.insert(groups.end(), {"0064", "000A", "0096"});
    f.dispatch(buildFrame('A', groups));
    EXPECT_EQ(f.record(1).inputEqType[2][3], 0) << "the unit has three types: read as a peak";
    EXPECT_DOUBLE_EQ(f.record(1).inputEqAt(2, kEqQ, 3), 1.0);
    EXPECT_DOUBLE_EQ(f.record(1).inputEqAt(0, kEqFrequency, 3), 20);
    EXPECT_EQ(f.record(1).inputEqType[0][3], 1);
    EXPECT_DOUBLE_EQ(f.record(1).inputEqAt(0, kEqQ, 3), 0.3);
    EXPECT_DOUBLE_EQ(f.record(1).inputEqAt(0, kEqGain, 3), 0.0);
    EXPECT_DOUBLE_EQ(f.record(1).inputEqAt(1, kEqQ, 3), 0.5);
    EXPECT_DOUBLE_EQ(f.record(1).inputEqAt(1, kEqFrequency, 3), 1000);

    // Slot 14 and unit 65 change nothing.
    const UnitRecord before = f.record(1);
    groups[1] = "0E";
    f.dispatch(buildFrame('A', groups));
    groups[0] = "41";
    groups[1] = "03";
    f.dispatch(buildFrame('A', groups));
    EXPECT_EQ(std::memcmp(&before, &f.record(1), sizeof before), 0);
}

TEST(Dispatcher, OutOfRangeUnitsAndOutputsAreIgnored)
{
    DispatchFixture f;
    f.record(1).connected = 1;
    UnitRecord source = zeroRecord();
    applyFactoryValues(source);
    source.limiterRatio[0] = 8;
    const UnitTable before = f.table;
    const std::string outputTwo = buildFrame('U', {"01", "02", "0008", "0320", "000A", "000A"});
    f.dispatch(outputTwo);
    f.dispatch(buildReplyU(source, 0, 0));
    f.dispatch(buildReplyU(source, 65, 0));
    f.dispatch(buildReplyZ(0, 0xFF));
    f.dispatch(buildReplyO(source, 65));
    f.dispatch(buildReplyD(source, 200));
    f.dispatch(buildReplyS(source, 0, LinkTable{}));
    f.dispatch(buildReplyN(0, LinkTable{})); // no unit's groups
    for (int unit = 1; unit <= UnitTable::kMaxUnits; ++unit)
        EXPECT_EQ(std::memcmp(&before.record(unit), &f.table.record(unit), sizeof(UnitRecord)), 0)
            << unit;
    EXPECT_TRUE(f.tables.empty());
}

// A login answer while logged in (somebody logged in again on the unit) asks for nothing.
TEST(Dispatcher, ARepeatedLoginAnswerQueuesNothing)
{
    DispatchFixture f;
    int logins = 0;
    QObject::connect(&f.dispatcher, &Dispatcher::loginAccepted, [&] { ++logins; });
    f.dispatch(buildReplyR(true, 1)); // the login's own answer: the unit is read
    f.state.connection = Connection::Connected;
    f.dispatch(buildReplyR(true, 1));
    EXPECT_EQ(logins, 1) << "the reads are asked for once";
}

// Every field of a state and a levels report at its largest is held to its range, so that what
// the program sends back from the record is in range too.
TEST(Dispatcher, FieldsAtTheirLargestAreHeldToTheirRanges)
{
    DispatchFixture f;
    f.record(1).connected = 1;
    f.state.connection = Connection::Connected;
    const UnitRecord source = zeroRecord();
    const UnitRecord& r = f.record(1);
    f.dispatch(allOnes(buildReplyS(source, 1, LinkTable{})));
    EXPECT_EQ(r.holdTime, kHoldTimeMax);
    for (int ch = 0; ch < kInputCount; ++ch) {
        EXPECT_EQ(r.inputGain[ch], kGainMax);
        EXPECT_LE(r.highPassIndex[ch], 10);
        EXPECT_LE(r.lowPassIndex[ch], 10);
    }
    EXPECT_EQ(r.maxOpenChannels, kMaxOpenChannelsMax);
    f.dispatch(allOnes(buildReplyS(source, 1, LinkTable{}), '9')); // decimal switches: on
    EXPECT_EQ(r.limiterEnable[1], 1);
    EXPECT_EQ(r.feedback[kInputCount - 1], 1);
    f.record(1).threshold = 0;
    f.dispatch(allOnes(buildReplyO(source, 1)));
    EXPECT_EQ(r.threshold, kGainMax);
    EXPECT_EQ(r.outputGain[0], kGainMax);
}

TEST(Dispatcher, DynamicsOutOfRangeTakeTheirDefaults)
{
    DispatchFixture f;
    f.dispatch(buildFrame('U', {"01", "01", "0065", "03E9", "07D1", "0009"}));
    EXPECT_DOUBLE_EQ(f.record(1).limiterRatio[1], 1.0);
    EXPECT_DOUBLE_EQ(f.record(1).limiterThreshold[1], 20.0);
    EXPECT_EQ(f.record(1).limiterAttack[1], 1);
    EXPECT_EQ(f.record(1).limiterRelease[1], 50);
    f.dispatch(buildFrame('U', {"01", "00", "0004", "0258", "000A", "0064"}));
    EXPECT_DOUBLE_EQ(f.record(1).limiterRatio[0], 4);
    EXPECT_DOUBLE_EQ(f.record(1).limiterThreshold[0], -20.0);
    EXPECT_EQ(f.record(1).limiterAttack[0], 10);
    EXPECT_EQ(f.record(1).limiterRelease[0], 100);
    // 10 ms is the shortest release the unit has.
    f.dispatch(buildFrame('U', {"01", "00", "0004", "0258", "000A", "000A"}));
    EXPECT_EQ(f.record(1).limiterRelease[0], 10);
}

TEST(Dispatcher, LevelsReportKeepsTheGainOfAMutedOutput)
{
    DispatchFixture f;
    f.record(1).connected = 1;
    f.record(2).outputMute[0] = 1;
    f.record(2).outputGain[0] = 33;
    f.record(2).outputMute[1] = 1;
    UnitRecord source = zeroRecord();
    source.inputGain[4] = 21;
    source.outputGain[1] = 12;
    source.threshold = 9;
    f.dispatch(buildReplyO(source, 2));
    EXPECT_EQ(f.record(2).outputGain[0], 33);
    EXPECT_EQ(f.record(2).outputMute[0], 1);
    EXPECT_EQ(f.record(2).outputGain[1], 12);
    EXPECT_EQ(f.record(2).outputMute[1], 0);
    EXPECT_EQ(f.record(2).inputGain[4], 21);
    EXPECT_EQ(f.record(2).threshold, 9);
    EXPECT_TRUE(f.record(2).levelsReportReceived);
}

TEST(Dispatcher, StateReportFillsEveryFieldAndTheLinkTable)
{
    DispatchFixture f;
    UnitRecord s = zeroRecord();
    applyFactoryValues(s);
    s.limiterEnable[1] = 1;
    s.feedback[6] = 1;
    s.eqEditorValue[2] = 0x1C; // travels as its low nibble
    s.routing[0] = 0x5A;
    s.inputLine[3] = 1;
    s.inputPriority[0] = 1;
    s.outputLevelType[1] = 0;
    s.panelLock = 1;
    s.inputGain[7] = 59;
    s.outputGain[0] = 17;
    s.threshold = 22;
    s.maxOpenChannels = 4;
    s.holdTime = 31;
    s.highPassIndex[0] = 10;
    s.lowPassIndex[7] = 3;
    s.inputMute[5] = 1;
    LinkTable links;
    links.group[9] = 5;
    links.flags[9] = kVolFlagBit | kEqFlagBit;
    f.dispatch(buildReplyS(s, 3, links));
    const UnitRecord& r = f.record(3);
    EXPECT_EQ(r.limiterEnable[1], 1);
    EXPECT_EQ(r.feedback[6], 1);
    EXPECT_EQ(r.eqEditorValue[2], 0xC);
    EXPECT_EQ(r.routing[0], 0x5A);
    EXPECT_EQ(r.routing[1], 0xFF);
    EXPECT_EQ(r.inputLine[3], 1);
    EXPECT_EQ(r.inputPriority[0], 1);
    EXPECT_EQ(r.inputPhantom[2], 1);
    EXPECT_EQ(r.outputLevelType[0], 1);
    EXPECT_EQ(r.outputLevelType[1], 0);
    EXPECT_EQ(r.panelLock, 1);
    EXPECT_EQ(r.deviceMode, 1);
    EXPECT_EQ(r.inputGain[7], 59);
    EXPECT_EQ(r.outputGain[0], 17);
    EXPECT_EQ(r.threshold, 22);
    EXPECT_EQ(r.maxOpenChannels, 4);
    EXPECT_EQ(r.holdTime, 31);
    EXPECT_EQ(r.highPassIndex[0], 10);
    EXPECT_EQ(r.lowPassIndex[7], 3);
    EXPECT_EQ(r.inputMute[5], 1);
    EXPECT_TRUE(r.switchReportReceived);
    ASSERT_EQ(f.tables.size(), 1u);
    EXPECT_EQ(f.tables[0].group[9], 5);
    EXPECT_EQ(f.tables[0].flags[9], kVolFlagBit | kEqFlagBit);

    f.dispatch(buildReplyN(1, links));
    EXPECT_EQ(f.tables.size(), 2u);
}

TEST(Dispatcher, AccountAnswerActsOnlyWhenWholeAndAskedFor)
{
    DispatchFixture f;
    f.record(1).connected = 1;
    storeAccount(f.record(1).loginPassword, "old");
    // Without a change asked for, even a whole answer changes nothing.
    f.state.connection = Connection::Connected;
    f.dispatch(buildReplyY(1, "user", "pw"));
    // While a change waits, a corrupt answer is dropped as well.
    f.state.connection = Connection::ChangingAccount;
    std::string y = buildReplyY(1, "admin", "new");
    y[y.size() - 2] = y[y.size() - 2] == '0' ? '1' : '0';
    f.dispatch(y);
    EXPECT_TRUE(f.record(1).connected);
    EXPECT_EQ(accountField(f.record(1).loginPassword), "old&&&&");
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(f.dispatcher.droppedCount(), 2);

    f.dispatch(buildReplyY(1, "user", "pw"));
    EXPECT_FALSE(f.record(1).connected);
    EXPECT_EQ(accountField(f.record(1).loginName), "user&&&");
    EXPECT_EQ(accountField(f.record(1).loginPassword), "pw&&&&&");
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "Password changed successfully, please reconnect the device");
}

TEST(Dispatcher, AddressReportActsOnlyOnARequestedChange)
{
    DispatchFixture f;
    f.record(1).connected = 1;
    f.state.connection = Connection::Connected;
    const std::string p = buildReplyP(1, "192.168.001.010", 6000, "boss", "guest");
    f.dispatch(p); // a stray answer to somebody's probe
    EXPECT_TRUE(f.record(1).connected);
    EXPECT_EQ(f.state.deviceAddress, "192.168.0.188");
    EXPECT_TRUE(f.ui.messages.empty());

    f.state.connection = Connection::ChangingAddress;
    f.dispatch(p);
    EXPECT_EQ(f.state.deviceAddress, "192.168.1.10");
    EXPECT_EQ(f.state.port, 6000);
    EXPECT_EQ(accountField(f.record(1).adminName), "boss&&&");
    EXPECT_EQ(accountField(f.record(1).userName), "guest&&");
    EXPECT_FALSE(f.record(1).connected);
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "Changing IP address successful, restart software.");
}

TEST(Dispatcher, UnitCountChoosesUnitsAsHexAndStoresDecimal)
{
    DispatchFixture f;
    f.dispatch(buildFrame('K', {"01", "12"})); // 0x12 = 18 units, stored count 12
    EXPECT_TRUE(f.record(18).connected);
    EXPECT_FALSE(f.record(19).connected);
    EXPECT_EQ(f.record(1).unitCount, 12);
    EXPECT_EQ(f.record(19).unitCount, 0);
}
