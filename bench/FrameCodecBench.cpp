#include "link/Commands.h"
#include "link/FrameCodec.h"

#include <benchmark/benchmark.h>

using namespace sonaro;

// Building and validating the frames that dominate the traffic: V while a fader moves, and the
// status stream that comes back.
static void BM_BuildV(benchmark::State& state)
{
    UnitRecord r = ZeroRecord();
    ApplyFactoryValues(r);
    for (auto _ : state) {
        r.inputGain[0] = (r.inputGain[0] + 1) % 61;
        benchmark::DoNotOptimize(BuildV(r, 1));
    }
}
BENCHMARK(BM_BuildV);

static void BM_BuildAndCheckFrame(benchmark::State& state)
{
    const std::string payload(static_cast<std::size_t>(state.range(0)), 'A');
    for (auto _ : state) {
        const std::string frame = BuildFrame('S', {payload});
        std::string_view inner;
        benchmark::DoNotOptimize(CheckFrame(frame, &inner));
        benchmark::DoNotOptimize(inner);
    }
}
BENCHMARK(BM_BuildAndCheckFrame)->Arg(16)->Arg(140)->Arg(260);

BENCHMARK_MAIN();
