#include "model/ValueText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>

using namespace sonaro;

namespace {

struct Case
{
    ValueUnit unit;
    const char* text;
    TypedValue::Kind kind;
    double value;
};

struct Refusal
{
    ValueUnit unit;
    const char* text;
    ValueTextError error;
};

} // namespace

TEST(ValueText, AcceptsEveryUnitAsShown)
{
    using K = TypedValue::Kind;
    const Case cases[] = {
        {ValueUnit::Decibel, "-6", K::Number, -6.0},
        {ValueUnit::Decibel, " +3.5 dB ", K::Number, 3.5},
        {ValueUnit::Decibel, "-12.5DB", K::Number, -12.5},
        {ValueUnit::Decibel, ".5", K::Number, 0.5},
        {ValueUnit::Decibel, "OFF", K::Off, 0.0},
        {ValueUnit::Hertz, "1k", K::Number, 1000.0},
        {ValueUnit::Hertz, "2.5k", K::Number, 2500.0},
        {ValueUnit::Hertz, "2.5 kHz", K::Number, 2500.0},
        {ValueUnit::Hertz, "1200", K::Number, 1200.0},
        {ValueUnit::Hertz, "63Hz", K::Number, 63.0},
        {ValueUnit::Q, "0.7", K::Number, 0.7},
        {ValueUnit::Q, "2", K::Number, 2.0},
        {ValueUnit::Milliseconds, "10", K::Number, 10.0},
        {ValueUnit::Milliseconds, "10ms", K::Number, 10.0},
        {ValueUnit::Milliseconds, "0.5 s", K::Number, 500.0},
        {ValueUnit::Ratio, "4", K::Number, 4.0},
        {ValueUnit::Ratio, "4:1", K::Number, 4.0},
        {ValueUnit::Ratio, "inf", K::Infinite, 0.0},
        {ValueUnit::Ratio, "INF:1", K::Infinite, 0.0},
        {ValueUnit::Ratio, "\u221e", K::Infinite, 0.0},
        {ValueUnit::Percent, "12.5%", K::Number, 12.5},
        {ValueUnit::Percent, "off", K::Off, 0.0},
        {ValueUnit::Dbu, "-10dBu", K::Number, -10.0},
        {ValueUnit::Number, "42", K::Number, 42.0},
    };
    for (const Case& c : cases) {
        const ValueTextResult r = parseValueText(c.unit, c.text);
        ASSERT_TRUE(r.value) << c.text;
        EXPECT_EQ(r.error, ValueTextError::None);
        EXPECT_EQ(r.value->kind, c.kind) << c.text;
        EXPECT_DOUBLE_EQ(r.value->value, c.value) << c.text;
    }
    // Huge numbers reach the caller's clamp as the largest double of their sign.
    const std::string huge = "-1" + std::string(400, '0');
    const ValueTextResult r = parseValueText(ValueUnit::Hertz, huge + "k");
    ASSERT_TRUE(r.value);
    EXPECT_EQ(r.value->value, -DBL_MAX);
}

TEST(ValueText, RefusesWhatIsNotAValue)
{
    const Refusal refusals[] = {
        {ValueUnit::Decibel, "", ValueTextError::Empty},
        {ValueUnit::Decibel, "   ", ValueTextError::Empty},
        {ValueUnit::Decibel, "loud", ValueTextError::NotANumber},
        {ValueUnit::Decibel, "-", ValueTextError::NotANumber},
        {ValueUnit::Decibel, "+.", ValueTextError::NotANumber},
        {ValueUnit::Decibel, "6 Hz", ValueTextError::WrongUnit},
        {ValueUnit::Decibel, "1.2.3", ValueTextError::WrongUnit},
        {ValueUnit::Hertz, "1m", ValueTextError::WrongUnit},
        {ValueUnit::Hertz, "off", ValueTextError::NotANumber}, // frequencies have no off
        {ValueUnit::Hertz, "1e3", ValueTextError::WrongUnit},
        {ValueUnit::Q, "inf", ValueTextError::NotANumber},
        {ValueUnit::Q, "2k", ValueTextError::WrongUnit},
        {ValueUnit::Milliseconds, "nan", ValueTextError::NotANumber},
        {ValueUnit::Ratio, "4:2", ValueTextError::WrongUnit},
        {ValueUnit::Ratio, "off", ValueTextError::NotANumber},
        {ValueUnit::Number, "7 dB", ValueTextError::WrongUnit},
    };
    for (const Refusal& c : refusals) {
        const ValueTextResult r = parseValueText(c.unit, c.text);
        EXPECT_FALSE(r.value) << c.text;
        EXPECT_EQ(r.error, c.error) << c.text;
    }
}
