#include "dsp/DeviceCoefficients.h"
#include "dsp/DspCommands.h"
#include "dsp/EqCurves.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

using namespace sonaro;

// The editors recompute a channel curve on every control change and every mouse move while a
// band is dragged. Each curve is timed twice: the fast cascade evaluation the editors use and the
// same curve evaluated band by band with complex arithmetic. Goal: 20 us for fifteen bands plus
// both filters, from the bands' values to the finished curve (the unit's coefficients, their
// Q.23 rounding, the evaluation). The fast runs report "maxDiffDb", their largest difference from
// the complex evaluation over the run (goal: below 1e-6 dB).

namespace {

std::array<EqBand, kOutputEqBands> outputBands()
{
    std::array<EqBand, kOutputEqBands> bands;
    for (int b = 0; b < kOutputEqBands; ++b) {
        bands[static_cast<std::size_t>(b)] = defaultOutputEqBand(b);
        bands[static_cast<std::size_t>(b)].gain = (b % 7) - 3.0;
        bands[static_cast<std::size_t>(b)].q = 0.5 + 0.3 * b;
    }
    return bands;
}

std::array<EqBand, kInputEqBands> inputBands()
{
    std::array<EqBand, kInputEqBands> bands;
    for (int b = 0; b < kInputEqBands; ++b)
        bands[static_cast<std::size_t>(b)] = defaultInputEqBand(b);
    bands[0] = EqBand{100.0, 6.0, 0.7, EqBandType::LowShelf};
    bands[2].gain = -4.5;
    bands[3].gain = 3.0;
    bands[4] = EqBand{10000.0, -6.0, 0.7, EqBandType::HighShelf};
    return bands;
}

// Each iteration moves one band a little, as a drag does.
void nudge(EqBand& band, int& step)
{
    step = (step + 1) % 64;
    band.frequency = 800.0 + 10.0 * step;
}

// Fifteen bands and both filters through one cascade, as an output would be with filters.
void fifteenBandsAndFilters(const std::array<EqBand, kOutputEqBands>& bands, int step,
                            ResponseCurve& curve, bool direct)
{
    std::array<Biquad, kOutputEqBands + 2> biquads;
    for (std::size_t b = 0; b < bands.size(); ++b)
        biquads[b] = deviceBiquad(bands[b]);
    biquads[kOutputEqBands] = highPassBiquad(highPassFrequency(1 + step % 10));
    biquads[kOutputEqBands + 1] = lowPassBiquad(lowPassFrequency(1 + (step + 3) % 10));
    if (direct)
        cascadeResponseDirect(biquads, curve);
    else
        cascadeResponse(biquads, curve);
}

double maxDifference(const ResponseCurve& x, const ResponseCurve& y)
{
    double worst = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        worst = std::max(worst, std::abs(x[i] - y[i]));
    return worst;
}

} // namespace

static void BM_FifteenBandsAndFilters_Fast(benchmark::State& state)
{
    auto bands = outputBands();
    bands[0].type = EqBandType::LowShelf;
    bands[14].type = EqBandType::HighShelf;
    ResponseCurve curve;
    int step = 0;
    for (auto _ : state) {
        nudge(bands[8], step);
        fifteenBandsAndFilters(bands, step, curve, false);
        benchmark::DoNotOptimize(curve.data());
        benchmark::ClobberMemory();
    }
    // Outside the timed loop: the same curves against the complex evaluation.
    double worst = 0.0;
    ResponseCurve reference;
    for (int s = 0; s < 64; ++s) {
        nudge(bands[8], step);
        fifteenBandsAndFilters(bands, step, curve, false);
        fifteenBandsAndFilters(bands, step, reference, true);
        worst = std::max(worst, maxDifference(curve, reference));
    }
    state.counters["maxDiffDb"] = worst;
}
BENCHMARK(BM_FifteenBandsAndFilters_Fast)->Unit(benchmark::kMicrosecond);

static void BM_FifteenBandsAndFilters_Direct(benchmark::State& state)
{
    auto bands = outputBands();
    bands[0].type = EqBandType::LowShelf;
    bands[14].type = EqBandType::HighShelf;
    ResponseCurve curve;
    int step = 0;
    for (auto _ : state) {
        nudge(bands[8], step);
        fifteenBandsAndFilters(bands, step, curve, true);
        benchmark::DoNotOptimize(curve.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FifteenBandsAndFilters_Direct)->Unit(benchmark::kMicrosecond);

static void BM_OutputCurve_Fast(benchmark::State& state)
{
    auto bands = outputBands();
    ResponseCurve curve;
    int step = 0;
    for (auto _ : state) {
        nudge(bands[8], step);
        outputChannelCurve(bands, curve);
        benchmark::DoNotOptimize(curve.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OutputCurve_Fast)->Unit(benchmark::kMicrosecond);

static void BM_OutputCurve_Direct(benchmark::State& state)
{
    auto bands = outputBands();
    ResponseCurve curve;
    int step = 0;
    for (auto _ : state) {
        nudge(bands[8], step);
        outputChannelCurveDirect(bands, curve);
        benchmark::DoNotOptimize(curve.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OutputCurve_Direct)->Unit(benchmark::kMicrosecond);

static void BM_InputCurvesWithFilters_Fast(benchmark::State& state)
{
    auto bands = inputBands();
    InputCurves curves;
    int step = 0;
    for (auto _ : state) {
        nudge(bands[2], step);
        computeInputCurves(bands, 1 + step % 10, 1 + (step + 3) % 10, curves);
        benchmark::DoNotOptimize(&curves);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InputCurvesWithFilters_Fast)->Unit(benchmark::kMicrosecond);

static void BM_InputCurvesWithFilters_Direct(benchmark::State& state)
{
    auto bands = inputBands();
    InputCurves curves;
    int step = 0;
    for (auto _ : state) {
        nudge(bands[2], step);
        computeInputCurvesDirect(bands, 1 + step % 10, 1 + (step + 3) % 10, curves);
        benchmark::DoNotOptimize(&curves);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InputCurvesWithFilters_Direct)->Unit(benchmark::kMicrosecond);

// The coefficient frames an editor's sender builds once per timer tick.
static void BM_BuildE(benchmark::State& state)
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    int slot = 0;
    for (auto _ : state) {
        slot = (slot + 1) % kEqSlotCount;
        benchmark::DoNotOptimize(buildE(r, 1, slot));
    }
}
BENCHMARK(BM_BuildE)->Unit(benchmark::kMicrosecond);

static void BM_BuildB(benchmark::State& state)
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    for (auto _ : state)
        benchmark::DoNotOptimize(buildB(r, 1, 0));
}
BENCHMARK(BM_BuildB)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
