#include "dsp/DspCommands.h"
#include "dsp/EqCurves.h"

#include <benchmark/benchmark.h>

using namespace sonaro;

// The editors recompute a channel curve on every control change and every mouse move while a
// band is dragged. Each curve is timed twice: the table-driven computation the editors use and
// the same curve evaluated band by band straight from the formulas. Goals: 20 us for an output
// curve, 10 us for an input curve with both filter curves.

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

} // namespace

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
