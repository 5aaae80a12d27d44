#include "dsp/DeviceCoefficients.h"

#include "dsp/EqResponse.h"
#include "protocol/FrameCodec.h"
#include "protocol/ParameterWords.h"

#include <algorithm>
#include <cmath>

namespace sonaro {

void deviceCoefficients(double frequency, double gain, double frequencyOverQ, int type,
                        std::array<double, 3>& b, std::array<double, 3>& a)
{
    const double pi = 4.0 * std::atan(1.0);
    const double q = frequency / frequencyOverQ;
    switch (static_cast<EqBandType>(type)) {
    case EqBandType::Peak: {
        const double k = std::tan(pi * frequency * 1.0416666666666666e-05); // pi f / 96000
        const double v = std::pow(10.0, gain * 0.05);
        const double kk = k * k;
        const double d = 1.0 + k / q + kk;
        b[0] = (1.0 + v * k / q + kk) / d;
        b[1] = 2.0 * (kk - 1.0) / d;
        b[2] = (1.0 - v * k / q + kk) / d;
        a[0] = 1.0;
        a[1] = -b[1];
        a[2] = -(1.0 - k / q + kk) / d;
        return;
    }
    case EqBandType::LowShelf:
    case EqBandType::HighShelf: {
        const double amp = std::pow(10.0, gain * 0.025);
        const double w0 = pi * frequency * 2.0833333333333333e-05; // 2 pi f / 96000
        const double cosw = std::cos(w0);
        const double beta = 2.0 * std::sqrt(amp) * std::sin(w0) / std::sqrt(2.0); // slope 1
        const Biquad c =
            shelfBiquad(amp, cosw, beta, static_cast<EqBandType>(type) == EqBandType::LowShelf);
        b = {c.b0, c.b1, c.b2};
        a = {1.0, -c.a1, -c.a2}; // the unit takes the feedback terms negated
        return;
    }
    }
}

std::array<std::uint32_t, 5> deviceCoefficientFields(const EqBand& band)
{
    std::array<double, 3> b{1.0, 0.0, 0.0};
    std::array<double, 3> a{1.0, 0.0, 0.0};
    deviceCoefficients(band.frequency, band.gain, band.frequency / band.q,
                       static_cast<int>(band.type), b, a);
    // Values no editor produces (a Q of 0, NaN from a damaged file) give no filter at all; their
    // NaN would go out as all-zero fields, a filter that silences the channel.
    const bool designed =
        std::all_of(b.begin(), b.end(), [](double v) { return std::isfinite(v); }) &&
        std::all_of(a.begin(), a.end(), [](double v) { return std::isfinite(v); });
    if (!designed) {
        b = {1.0, 0.0, 0.0};
        a = {1.0, 0.0, 0.0};
    }
    return {Q23(b[0]), Q23(b[1]), Q23(b[2]), Q23(a[1]), Q23(a[2])};
}

Biquad deviceBiquad(const EqBand& band)
{
    const auto fields = deviceCoefficientFields(band);
    return Biquad{fromQ23(fields[0]), fromQ23(fields[1]), fromQ23(fields[2]), -fromQ23(fields[3]),
                  -fromQ23(fields[4])};
}

std::array<std::string, 20> encodeEqBlock(const std::array<EqBand, kBandsPerBlock>& bands)
{
    std::array<std::string, 20> groups;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const EqBand& band = bands[i];
        std::string& coefficients = groups[i];
        for (std::uint32_t field : deviceCoefficientFields(band))
            coefficients += hex7(field);

        groups[5 + 3 * i] = hex4(frequencyWord(band.frequency));
        groups[6 + 3 * i] = hex4(QWord(band.q, static_cast<int>(band.type)));
        groups[7 + 3 * i] = hex4(gainWord(band.gain));
    }
    return groups;
}

} // namespace sonaro
