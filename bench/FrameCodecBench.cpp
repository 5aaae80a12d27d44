#include "protocol/Commands.h"
#include "protocol/FrameCodec.h"

#include <benchmark/benchmark.h>

using namespace sonaro;

// Building and validating the frames that dominate the traffic: V while a fader moves, and the
// status stream that comes back.
static void BM_BuildV(benchmark::State& state)
{
    UnitRecord r = zeroRecord();
    applyFactoryValues(r);
    for (auto _ : state) {
        r.inputGain[0] = (r.inputGain[0] + 1) % 61;
        benchmark::DoNotOptimize(buildV(r, 1));
    }
}
BENCHMARK(BM_BuildV);

static void BM_BuildAndCheckFrame(benchmark::State& state)
{
    const std::string payload(static_cast<std::size_t>(state.range(0)), 'A');
    for (auto _ : state) {
        const std::string frame = buildFrame('S', {payload});
        std::string_view inner;
        benchmark::DoNotOptimize(checkFrame(frame, &inner));
        benchmark::DoNotOptimize(inner);
    }
}
BENCHMARK(BM_BuildAndCheckFrame)->Arg(16)->Arg(140)->Arg(260);

BENCHMARK_MAIN();
