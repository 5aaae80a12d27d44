#include "protocol/ParameterWords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace sonaro;

// Every word the unit can report must go back out unchanged when the operator does not touch
// the value (A and U answers are decoded with these inverses, then re-sent with E and B).
TEST(ParameterWords, DecodedWordsEncodeToTheSameWord)
{
    for (unsigned g = 0; g <= 300; ++g)
        EXPECT_EQ(gainWord(gainFromWord(g)), g) << g;
    for (unsigned t = 0; t <= 1000; ++t)
        EXPECT_EQ(thresholdWord(thresholdFromWord(t)), t) << t;
    for (unsigned q = 0; q <= kQWordValueMask; ++q)
        for (int type = 0; type < 3; ++type) {
            const unsigned word = q | (static_cast<unsigned>(type) << kQWordTypeShift);
            ASSERT_EQ(QWord(QFromWord(word), typeFromQWord(word)), word) << word;
        }
    for (unsigned f : {20u, 1000u, 19999u, 20000u})
        EXPECT_EQ(frequencyWord(frequencyFromWord(f)), f);
    for (unsigned r = 1; r <= 100; ++r)
        EXPECT_EQ(ratioWord(ratioFromWord(r)), r);
}

TEST(ParameterWords, TenthsAreRoundedWholeNumbersTruncated)
{
    // (-79.9 + 80) x 10 is 0.99999... in doubles: a truncated word would say -80.0 dB.
    EXPECT_EQ(thresholdWord(-79.9), 1u);
    EXPECT_EQ(gainWord(-14.9), 1u);
    EXPECT_EQ(QWord(0.7, 0), 7u);
    EXPECT_EQ(QWord(2.3, 0), 23u);
    EXPECT_EQ(frequencyWord(999.9), 999u);
    EXPECT_EQ(ratioWord(2.9), 2u);
}

TEST(ParameterWords, StrayValuesStayInsideTheirField)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(gainWord(-40.0), 0u) << "a negative word would print as 8 hex digits";
    EXPECT_EQ(gainWord(1e9), kWordMax);
    EXPECT_EQ(gainWord(nan), 0u);
    EXPECT_EQ(frequencyWord(-5.0), 0u);
    EXPECT_EQ(frequencyWord(1e12), kWordMax);
    EXPECT_EQ(thresholdWord(-200.0), 0u);
    EXPECT_EQ(attackWord(-1), 0u);
    EXPECT_EQ(releaseWord(1 << 20), kWordMax);
    // Q x 10 never spills into the type bits; the type keeps two bits.
    EXPECT_EQ(QWord(5000.0, 2), kQWordValueMask | (2u << kQWordTypeShift));
    EXPECT_EQ(QWord(nan, 1), 1u << kQWordTypeShift);
    EXPECT_EQ(typeFromQWord(QWord(1.0, 7)), 3);
}

TEST(Q23, EncodingAndInverse)
{
    EXPECT_EQ(Q23(1.0), 0x0800000u);
    EXPECT_EQ(Q23(-1.0), 0xF800000u);
    EXPECT_EQ(Q23(2.0), 0x1000000u);
    EXPECT_EQ(Q23(-0.5), 0xFC00000u);
    EXPECT_EQ(Q23(0.0), 0u);
    // Truncation toward zero, not floor: the smallest step below zero is -1, not -2.
    EXPECT_EQ(Q23(-1.5 / 8388608.0), 0xFFFFFFFu);
    EXPECT_EQ(Q23(1.9 / 8388608.0), 1u);
    // Beyond +-16 the value wraps in 28 bits; beyond the 32-bit range it saturates.
    EXPECT_EQ(Q23(25.2337640766701), static_cast<std::uint32_t>(25.2337640766701 * 8388608.0));
    EXPECT_EQ(Q23(1e30), 0xFFFFFFFu);
    EXPECT_EQ(Q23(-1e30), 0u);
    EXPECT_EQ(Q23(std::numeric_limits<double>::quiet_NaN()), 0u);
    EXPECT_EQ(Q23(std::numeric_limits<double>::infinity()), 0xFFFFFFFu);

    for (double v : {0.0, 1.0, -1.0, 0.25, -7.5, 15.999, -16.0})
        EXPECT_DOUBLE_EQ(fromQ23(Q23(v)), std::trunc(v * 8388608.0) / 8388608.0) << v;
}
