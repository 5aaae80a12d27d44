#include "protocol/Commands.h"
#include "model/UnitRecord.h"
#include "protocol/FrameCodec.h"

#include <gtest/gtest.h>

using namespace sonaro;

namespace {

UnitRecord factoryRecord()
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    return r;
}

} // namespace

TEST(Commands, ShortKindsMatchTheProtocolExamples)
{
    EXPECT_EQ(buildL(true), "%L,01,320A#");
    EXPECT_EQ(buildL(false), "%L,00,A20B#");
    EXPECT_EQ(buildC(1), "%C,01,335E#");
    EXPECT_EQ(buildF(1, 0), "%F,01,00,CFA0#");
    EXPECT_EQ(buildF(1, 13), "%F,01,0D,CF87#");
    EXPECT_EQ(buildT(1, 1), "%T,01,01,8A21#");
    EXPECT_EQ(buildI(1), "%I,01,32C6#") << "the discovery probe";
    EXPECT_EQ(buildI(1, "192.000.002.010", 5000), "%I,01,192.000.002.010:05000,D60B#");
}

TEST(Commands, FactoryRecordFrames)
{
    const UnitRecord r = factoryRecord();
    EXPECT_EQ(buildV(r, 1), "%V,01,2C2C2C2C2C2C2C2C,0000,00,00,D84B#");
    EXPECT_EQ(buildM(r, 1), "%M,01,0101010101010101,E2,08,9140#");
    EXPECT_EQ(buildG(r, 1), "%G,01,00,00,0000000000000000,FFFF,01,06,00000000,00000000,E7B5#");
    EXPECT_EQ(buildV(r, 1).size(), 39u);
    EXPECT_EQ(buildM(r, 1).size(), 34u);
    EXPECT_EQ(buildG(r, 1).size(), 63u);
}

TEST(Commands, VSendsAMutedOutputAsZeroAndKeepsItsGain)
{
    UnitRecord r = factoryRecord();
    r.outputGain[0] = 0x30;
    r.outputGain[1] = 0x3C;
    r.outputMute[1] = 1;
    r.inputMute[0] = 1;
    r.inputMute[7] = 1;
    r.threshold = 20;
    std::string_view inner;
    const std::string v = buildV(r, 1);
    ASSERT_TRUE(checkFrame(v, &inner));
    EXPECT_EQ(inner.substr(2, 31), "01,2C2C2C2C2C2C2C2C,3000,14,81,") << v;
    EXPECT_EQ(r.outputGain[1], 0x3C);
    // A muted input is still sent with its stored gain.
    EXPECT_EQ(inner.substr(5, 2), "2C");
}

TEST(Commands, MPlacesEverySwitchOnItsBit)
{
    UnitRecord r = zeroRecord();
    r.inputPhantom[0] = 1;
    r.inputLine[1] = 1;
    r.inputLowCut[2] = 1;
    r.inputPriority[3] = 1;
    r.outputFlagA = 1;
    r.outputFlagB = 1;
    r.outputFlagC = 1;
    r.outputLevelType[1] = 1;
    r.thresholdMode = 1;
    r.panelLock = 1;
    const std::string m = buildM(r, 2);
    std::string_view inner;
    ASSERT_TRUE(checkFrame(m, &inner));
    EXPECT_EQ(inner.substr(0, 28), "M,02,0102081000000000,AA,22,");
}

TEST(Commands, GOrdersFiltersFromInputEightDown)
{
    UnitRecord r = factoryRecord();
    for (int ch = 0; ch < kInputCount; ++ch) {
        r.highPassIndex[ch] = ch + 1; // input 1 -> 1 ... input 8 -> 8
        r.lowPassIndex[ch] = ch == 7 ? 10 : 0;
    }
    r.feedback[0] = 1;
    r.feedback[7] = 1;
    r.limiterEnable[0] = 1;
    r.limiterEnable[1] = 1;
    r.eqEditorValue[0] = 0xAB;
    r.routing[0] = 0x0F;
    r.maxOpenChannels = 8;
    r.holdTime = 40;
    const std::string g = buildG(r, 1);
    std::string_view inner;
    ASSERT_TRUE(checkFrame(g, &inner));
    EXPECT_EQ(inner.substr(0, 57), "G,01,81,11,AB00000000000000,0FFF,08,28,87654321,A0000000,");
}

TEST(Commands, AccountsArePaddedOrCutToSevenCharacters)
{
    const std::string r = buildR("admin", "12");
    EXPECT_EQ(r.substr(0, 19), "%R,admin&&,12&&&&&,");
    EXPECT_EQ(r.size(), 24u);
    EXPECT_TRUE(checkFrame(r));
    EXPECT_EQ(buildR("abcdefghij", "x").substr(0, 11), "%R,abcdefg,");

    const std::string x = buildX(1, "user", "old", "newpw");
    EXPECT_EQ(x.size(), 43u);
    EXPECT_EQ(x.substr(0, 38), "%X,01,user&&&,old&&&&,user&&&,newpw&&,");
}

TEST(Commands, JCarriesGroupDigitsAndFlagBytes)
{
    LinkTable table;
    table.group[1] = 1; // input 2 in the first group, volume and EQ linked
    table.flags[1] = kVolFlagBit | kEqFlagBit;
    table.flags[3] = 0xFC; // flags of a channel in no group are not sent
    const std::string j = buildJ(1, table);
    EXPECT_EQ(j.size(), 43u);
    std::string_view inner;
    ASSERT_TRUE(checkFrame(j, &inner));
    EXPECT_EQ(inner.substr(0, 37), "J,01,0100000000,00880000000000000000,");
}

TEST(Commands, OutOfRangeFieldsNeverChangeTheFrameLength)
{
    UnitRecord r = factoryRecord();
    r.inputGain[0] = 300;
    r.inputGain[1] = -4;
    r.highPassIndex[0] = 99;
    EXPECT_EQ(buildV(r, 1).size(), 39u);
    EXPECT_EQ(buildG(r, 1).size(), 63u);
}

TEST(Commands, SwitchBytesDecodeToWhatTheyEncode)
{
    // Every byte: the bits that mean something come back, the others are ignored.
    for (int byte = 0; byte < 256; ++byte) {
        UnitRecord r = UnitRecord{};
        applyInputSwitchByte(r, 5, byte);
        applyOutputSwitchByte(r, byte);
        applyUnitSwitchByte(r, byte);
        EXPECT_EQ(inputSwitchByte(r, 5), byte & 0x1B) << byte;
        EXPECT_EQ(outputSwitchByte(r), byte & 0xEA) << byte;
        EXPECT_EQ(unitSwitchByte(r), byte & 0x2A) << byte;
        EXPECT_EQ(inputSwitchByte(r, 4), 0) << "other inputs untouched";
    }
}
