#include "protocol/FrameCodec.h"

#include <gtest/gtest.h>

#include <random>

using namespace sonaro;

TEST(frameCrc16, CheckValuesAndTable)
{
    EXPECT_EQ(frameCrc16(""), 0xFFFF);
    EXPECT_EQ(frameCrc16("123456789"), 0x4B37);
    EXPECT_EQ(frameCrc16("%I,01,"), 0x32C6);
    EXPECT_EQ(frameCrc16("%L,01,"), 0x320A);
    EXPECT_EQ(frameCrc16("%C,01,"), 0x335E);
    EXPECT_EQ(frameCrc16("%F,01,00,"), 0xCFA0);
    // Only the first length bytes count.
    EXPECT_EQ(frameCrc16("123456789xyz", 9), 0x4B37);
}

TEST(buildFrame, ExamplesOfTheProtocol)
{
    EXPECT_EQ(buildFrame('I', {"01"}), "%I,01,32C6#");
    EXPECT_EQ(buildFrame('L', {"01"}), "%L,01,320A#");
    EXPECT_EQ(buildFrame('L', {"00"}), "%L,00,A20B#");
    EXPECT_EQ(buildFrame('F', {"01", "0D"}), "%F,01,0D,CF87#");
    const std::vector<std::string> groups{"01", "01"};
    EXPECT_EQ(buildFrame('T', groups), "%T,01,01,8A21#");
}

TEST(checkFrame, AcceptsValidAndRejectsDamagedFrames)
{
    std::string_view inner;
    ASSERT_TRUE(checkFrame("%L,01,320A#", &inner));
    EXPECT_EQ(inner, "L,01,320A");
    EXPECT_EQ(inner[0], 'L');

    EXPECT_FALSE(checkFrame("%L,01,320a#")) << "lower-case checksum digits must fail";
    EXPECT_FALSE(checkFrame("%L,01,320A")) << "a frame cut before '#' must fail";
    EXPECT_FALSE(checkFrame("L,01,320A#")) << "missing start mark";
    EXPECT_FALSE(checkFrame("%L,02,320A#")) << "payload changed under the checksum";
    EXPECT_FALSE(checkFrame("%L#"));
    EXPECT_FALSE(checkFrame(""));
    // Six characters: "%" kind-less but checksum of "%" alone is not "...." - rejected, no crash.
    EXPECT_FALSE(checkFrame("%ABCD#"));
    // The shortest acceptable frame: "%" plus a four-digit checksum over "%" alone.
    const std::string minimal = "%" + hex4(frameCrc16("%")) + "#";
    EXPECT_TRUE(checkFrame(minimal, &inner));
}

TEST(checkFrame, WorkingAreaLimitsTheCheckedPart)
{
    // The checksummed part is "%", the kind letter, "," and the fields with their commas: a
    // payload of n characters makes n + 4.
    const struct
    {
        char kind;
        std::size_t area;
    } kinds[]{{'D', 64}, {'R', 64}, {'S', 256}, {'A', 512}, {'U', 512}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(std::string(1, k.kind));
        const std::string atLimit = buildFrame(k.kind, {std::string(k.area - 4, '0')});
        const std::string over = buildFrame(k.kind, {std::string(k.area - 3, '0')});
        EXPECT_TRUE(checkIncomingFrame(atLimit)) << "a frame that just fits is taken";
        EXPECT_FALSE(checkIncomingFrame(over)) << "one character more is refused";
        EXPECT_TRUE(checkFrame(over)) << "the frame itself is sound";
    }
}

TEST(hexField, ReadsLikeTheUnitWrites)
{
    EXPECT_EQ(hexField("0a", 0, 2), 10u);
    EXPECT_EQ(hexField("G1", 0, 2), 1u) << "non-hex characters count as 0";
    EXPECT_EQ(hexField("L,03E8", 2, 4), 0x03E8u);
    EXPECT_EQ(hexField("F", 0, 1), 15u);
    EXPECT_EQ(hexField("1fF", 0, 3), 0x1FFu);
    EXPECT_EQ(hexField("AB", 1, 4), 0xB000u) << "characters past the end count as 0";
    EXPECT_EQ(hexField("AB", 10, 2), 0u);
}

TEST(decimalField, LeadingDigitsOnly)
{
    EXPECT_EQ(decimalField("5000"), 5000);
    EXPECT_EQ(decimalField("05000:"), 5000);
    EXPECT_EQ(decimalField("12x4"), 12);
    EXPECT_EQ(decimalField("x"), 0);
    EXPECT_EQ(decimalField(""), 0);
    EXPECT_EQ(decimalField("99999999999999"), INT_MAX);
}

TEST(findPattern, SplitsFramesAndAddresses)
{
    const std::string two = "%L,01,320A#%L,00,A20B#";
    const int first = findPattern(two, "#", 0);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(findPattern(two, "#", first + 1), 21);
    EXPECT_EQ(findPattern(two, "#", 22), -1);
    EXPECT_EQ(findPattern("192.168.1.20", ".", 4), 7);
    EXPECT_EQ(findPattern("abc", "", 2), 2);
    EXPECT_EQ(findPattern("abc", "a", -1), -1);
    EXPECT_EQ(findPattern(nullptr, "a", 0), -1);
    EXPECT_EQ(findPattern("abc", nullptr, 0), -1);
    EXPECT_EQ(findPattern("ababcabab", "abab", 1), 5);
    EXPECT_EQ(findPattern("%L,01", "%?,", 0), 0);
}

TEST(findPattern, AgreesWithABruteForceSearch)
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
        ASSERT_EQ(findPattern(t, p, start), brute(t, p, start)) << t << " / " << p;
    }
}
