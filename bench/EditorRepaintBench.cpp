// What one mouse move over an editor graph costs while a band point is dragged: the channel curve
// and the dragged band's own curve recomputed, the graph's series and handles updated, and the
// whole graph repainted offscreen into a 1920 x 1080 image. Goal: 4 ms per move. Each repaint is
// timed on its own, by the wall clock and by the thread's CPU clock (on a busy machine the wall
// clock also counts the time other processes ran); the medians are reported as median_ms and
// median_cpu_ms and printed after the last run.

#include <cstdio>

#ifdef SONARO_BENCH_HAS_UI

#include "dsp/EqCurves.h"
#include "dsp/ResponseGrid.h"
#include "ui/kit/ResponseGraph.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <string>
#include <vector>

using namespace sonaro;
using sonaro::ui::ResponseGraph;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void setUpGraph(ResponseGraph& graph)
{
    graph.setAttribute(Qt::WA_DontShowOnScreen);
    graph.setLogarithmicX(true);
    graph.setYRange(kEqMinGain, kEqMaxGain);
    graph.setXRange(kEqMinFrequency, kEqMaxFrequency);
    graph.setXValues(ResponseGrid);
    graph.resize(kWidth, kHeight);
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Result
{
    double wall = 0.0;
    double cpu = 0.0;
    std::size_t repaints = 0;
};
std::map<std::string, Result>& Results()
{
    static std::map<std::string, Result> results;
    return results;
}

double median(std::vector<double>& samples)
{
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

template <typename Move> void timeMoves(benchmark::State& state, const char* name, Move move)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> samples;
    std::vector<double> cpuSamples;
    int step = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadCpuMs();
        ResponseGraph& graph = move(step++);
        QPainter painter(&image);
        graph.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
        samples.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        cpuSamples.push_back(threadCpuMs() - cpuStart);
    }
    const Result result{median(samples), median(cpuSamples), samples.size()};
    state.counters["median_ms"] = result.wall;
    state.counters["median_cpu_ms"] = result.cpu;
    Results()[name] = result; // the last (longest) run is the one printed
}

// Band 2 of an input channel swept across the graph, both filters on.
void BM_InputEditorDragRepaint(benchmark::State& state)
{
    ResponseGraph graph;
    setUpGraph(graph);
    std::array<EqBand, kInputEqBands> bands;
    for (int b = 0; b < kInputEqBands; ++b)
        bands[std::size_t(b)] = defaultInputEqBand(b);
    bands[3].type = EqBandType::HighShelf;
    InputCurves curves;
    ResponseCurve band;
    timeMoves(state, "input EQ graph", [&](int step) -> ResponseGraph& {
        bands[2].frequency = ResponseGrid[std::size_t(step % kGridPoints)];
        bands[2].gain = (step % 31) - 15.0;
        computeInputCurves(bands, 4, 6, curves);
        inputBandCurve(bands[2], band);
        graph.setSeries(1, curves.total);
        graph.setSeries(2, curves.lowPass);
        graph.setSeries(3, curves.highPass);
        graph.setBandCurve(band);
        QList<QPointF> points;
        for (const EqBand& e : bands)
            points << QPointF(e.frequency, e.gain);
        graph.setHandles(points);
        graph.selectBand(2);
        return graph;
    });
}
BENCHMARK(BM_InputEditorDragRepaint)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Band 7 of an output swept across the graph: fifteen bands per curve.
void BM_OutputEditorDragRepaint(benchmark::State& state)
{
    ResponseGraph graph;
    setUpGraph(graph);
    std::array<EqBand, kOutputEqBands> bands;
    for (int b = 0; b < kOutputEqBands; ++b) {
        bands[std::size_t(b)] = defaultOutputEqBand(b);
        bands[std::size_t(b)].gain = (b % 5) - 2.0;
    }
    ResponseCurve curve;
    ResponseCurve band;
    timeMoves(state, "output EQ graph", [&](int step) -> ResponseGraph& {
        bands[7].frequency = ResponseGrid[std::size_t(step % kGridPoints)];
        bands[7].gain = (step % 31) - 15.0;
        outputChannelCurve(bands, curve);
        outputBandCurve(bands[7], band);
        graph.setSeries(1, curve);
        graph.setBandCurve(band);
        QList<QPointF> points;
        for (const EqBand& e : bands)
            points << QPointF(e.frequency, e.gain);
        graph.setHandles(points);
        graph.selectBand(7);
        return graph;
    });
}
BENCHMARK(BM_OutputEditorDragRepaint)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const auto& [name, r] : Results())
        std::printf("%s, %dx%d: median %.3f ms per drag move (CPU %.3f ms) over %zu repaints\n",
                    name.c_str(), kWidth, kHeight, r.wall, r.cpu, r.repaints);
    return 0;
}

#else

int main()
{
    std::puts("EditorRepaintBench needs the desktop program's widgets (SONARO_BUILD_UI=ON).");
    return 0;
}

#endif
