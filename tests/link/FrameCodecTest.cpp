#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <random>

using namespace sonaro;

TEST(FrameCrc16, CheckValuesAndTable)
{
    EXPECT_EQ(FrameCrc16(""), 0xFFFF);
    EXPECT_EQ(FrameCrc16("123456789"), 0x4B37);
    EXPECT_EQ(FrameCrc16("%I,01,"), 0x32C6);
    EXPECT_EQ(FrameCrc16("%L,01,"), 0x320A);
    EXPECT_EQ(FrameCrc16("%C,01,"), 0x335E);
    EXPECT_EQ(FrameCrc16("%F,01,00,"), 0xCFA0);
    // Only the first length bytes count.
    EXPECT_EQ(FrameCrc16("123456789xyz", 9), 0x4B37);
}

TEST(BuildFrame, ExamplesOfTheProtocol)
{
    EXPECT_EQ(BuildFrame('I', {"01"}), "%I,01,32C6#");
    EXPECT_EQ(BuildFrame('L', {"01"}), "%L,01,320A#");
    EXPECT_EQ(BuildFrame('L', {"00"}), "%L,00,A20B#");
    EXPECT_EQ(BuildFrame('F', {"01", "0D"}), "%F,01,0D,CF87#");
    const std::vector<std::string> groups{"01", "01"};
    EXPECT_EQ(BuildFrame('T', groups), "%T,01,01,8A21#");
}

TEST(CheckFrame, AcceptsValidAndRejectsDamagedFrames)
{
    std::string_view inner;
    ASSERT_TRUE(CheckFrame("%L,01,320A#", &inner));
    EXPECT_EQ(inner, "L,01,320A");
    EXPECT_EQ(inner[0], 'L');

    EXPECT_FALSE(CheckFrame("%L,01,320a#")) << "lower-case checksum digits must fail";
    EXPECT_FALSE(CheckFrame("%L,01,320A")) << "a frame cut before '#' must fail";
    EXPECT_FALSE(CheckFrame("L,01,320A#")) << "missing start mark";
    EXPECT_FALSE(CheckFrame("%L,02,320A#")) << "payload changed under the checksum";
    EXPECT_FALSE(CheckFrame("%L#"));
    EXPECT_FALSE(CheckFrame(""));
    // Six characters: "%" kind-less but checksum of "%" alone is not "...." - rejected, no crash.
    EXPECT_FALSE(CheckFrame("%ABCD#"));
    // The shortest acceptable frame: "%" plus a four-digit checksum over "%" alone.
    const std::string minimal = "%" + Hex4(FrameCrc16("%")) + "#";
    EXPECT_TRUE(CheckFrame(minimal, &inner));
}

TEST(CheckFrame, WorkingAreaLimitsTheCheckedPart)
{
    // A valid frame whose checksummed part is 70 characters.
    const std::string payload(64, '0');
    const std::string frame = BuildFrame('D', {payload});
    EXPECT_TRUE(CheckFrame(frame));
    EXPECT_FALSE(CheckIncomingFrame(frame)) << "D frames must fit 64 bytes";
    const std::string state = BuildFrame('S', {payload});
    EXPECT_TRUE(CheckIncomingFrame(state)) << "S frames have 256 bytes";
    const std::string huge = BuildFrame('S', {std::string(300, '0')});
    EXPECT_FALSE(CheckIncomingFrame(huge));
    EXPECT_TRUE(CheckIncomingFrame(BuildFrame('A', {std::string(300, '0')})));
    EXPECT_EQ(IncomingWorkingArea('U'), 512u);
    EXPECT_EQ(IncomingWorkingArea('R'), 64u);
}

TEST(HexField, ReadsLikeTheUnitWrites)
{
    EXPECT_EQ(HexField("0a", 0, 2), 10u);
    EXPECT_EQ(HexField("G1", 0, 2), 1u) << "non-hex characters count as 0";
    EXPECT_EQ(HexField("L,03E8", 2, 4), 0x03E8u);
    EXPECT_EQ(HexField("F", 0, 1), 15u);
    EXPECT_EQ(HexField("1fF", 0, 3), 0x1FFu);
    EXPECT_EQ(HexField("AB", 1, 4), 0xB000u) << "characters past the end count as 0";
    EXPECT_EQ(HexField("AB", 10, 2), 0u);
}

TEST(DecimalField, LeadingDigitsOnly)
{
    EXPECT_EQ(DecimalField("5000"), 5000);
    EXPECT_EQ(DecimalField("05000:"), 5000);
    EXPECT_EQ(DecimalField("12x4"), 12);
    EXPECT_EQ(DecimalField("x"), 0);
    EXPECT_EQ(DecimalField(""), 0);
    EXPECT_EQ(DecimalField("99999999999999"), INT_MAX);
}

TEST(FindPattern, SplitsFramesAndAddresses)
{
    const std::string two = "%L,01,320A#%L,00,A20B#";
    const int first = FindPattern(two, "#", 0);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(FindPattern(two, "#", first + 1), 21);
    EXPECT_EQ(FindPattern(two, "#", 22), -1);
    EXPECT_EQ(FindPattern("192.168.1.20", ".", 4), 7);
    EXPECT_EQ(FindPattern("abc", "", 2), 2);
    EXPECT_EQ(FindPattern("abc", "a", -1), -1);
    EXPECT_EQ(FindPattern(nullptr, "a", 0), -1);
    EXPECT_EQ(FindPattern("abc", nullptr, 0), -1);
    EXPECT_EQ(FindPattern("ababcabab", "abab", 1), 5);
    EXPECT_EQ(FindPattern("%L,01", "%?,", 0), 0);
}

TEST(FindPattern, AgreesWithABruteForceSearch)
{
    auto brute = [](const std::string& t, const std::string& p, int start) {
        for (int i = start; i + static_cast<int>(p.size()) <= static_cast<int>(t.size()); ++i) {
            bool ok = true;
            for (std::size_t j = 0; j < p.size() && ok; ++j)
                ok = p[j] == '?' || p[j] == t[static_cast<std::size_t>(i) + j];
            if (ok) return i;
        }
        return -1;
    };
    std::mt19937 rng(7);
    const std::string alphabet = "ab?";
    for (int round = 0; round < 5000; ++round) {
        std::string t, p;
        const int tn = static_cast<int>(rng() % 12), pn = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < tn; ++i)
            t += alphabet[rng() % 2];
        for (int i = 0; i < pn; ++i)
            p += alphabet[rng() % 3];
        const int start = static_cast<int>(rng() % 4);
        ASSERT_EQ(FindPattern(t, p, start), brute(t, p, start)) << t << " / " << p;
    }
}
