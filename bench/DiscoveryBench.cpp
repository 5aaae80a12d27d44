// Sweep time of the device search over a loopback /24 with three virtual units: the pipelined
// sweep against the one-host-at-a-time sweep (10 ms + 10 ms per attempt, two attempts
// for every silent host). Both include the second the sweep listens for late answers;
// last_row_ms says when the last unit was listed.
#include "link/Discovery.h"
#include "link/LinkState.h"
#include "model/RecordingOperator.h"
#include "model/UnitTable.h"
#include "unit/VirtualUnit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUdpSocket>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace sonaro;

namespace {

const char* const kUnits[] = {"127.0.0.2", "127.0.0.77", "127.0.0.200"};

quint16 freePort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0)) continue;
        const quint16 port = probe.localPort();
        bool free = true;
        for (const char* address : kUnits) {
            QUdpSocket other;
            free = free && other.bind(QHostAddress(QString::fromLatin1(address)), port);
        }
        if (free) return port;
    }
    return 0;
}

void sweep(benchmark::State& bench, Discovery::Pace pace)
{
    const quint16 port = freePort();
    std::vector<std::unique_ptr<VirtualUnit>> units;
    for (const char* address : kUnits) {
        VirtualUnitOptions options;
        options.address = QHostAddress(QString::fromLatin1(address));
        options.port = port;
        units.push_back(std::make_unique<VirtualUnit>(options));
        if (!units.back()->start()) {
            bench.SkipWithError("cannot bind a virtual unit");
            return;
        }
    }
    UnitTable table;
    LinkState state(table);
    state.bindAddress = QHostAddress(QStringLiteral("127.0.0.1")); // never leaves loopback
    state.port = port;
    RecordingOperator ui;
    std::size_t found = 0;
    double lastRowMs = 0;
    for (auto _ : bench) {
        Discovery discovery(state, ui);
        QElapsedTimer clock;
        clock.start();
        // Rows appear as answers arrive; the sweep then still listens for late answers.
        QObject::connect(&discovery, &Discovery::unitFound,
                         [&] { lastRowMs = static_cast<double>(clock.nsecsElapsed()) / 1e6; });
        if (!discovery.start(pace)) {
            bench.SkipWithError("cannot bind the link port");
            return;
        }
        while (discovery.isRunning() && clock.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        bench.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        found = discovery.results().size();
    }
    bench.counters["units"] = static_cast<double>(found);
    bench.counters["last_row_ms"] = lastRowMs;
}

void BM_PipelinedSweep(benchmark::State& bench)
{
    sweep(bench, Discovery::Pace::Pipelined);
}
BENCHMARK(BM_PipelinedSweep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OneHostAtATimeSweep(benchmark::State& bench)
{
    sweep(bench, Discovery::Pace::OneHostAtATime);
}
BENCHMARK(BM_OneHostAtATimeSweep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // sockets and timers need the event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
