// sonaro-figures: runs the first-login sequence, a preset open and a factory restore of the real
// core against a virtual unit on loopback (127.0.0.1 -> 127.0.0.2) with the protocol's timings,
// and measures the largest delay of a 1 ms timer on the same event loop meanwhile. Prints
// "max stall <sequence>: X ms (wire Y ms)" per sequence.
#include "mixer/SonaroCore.h"
#include "model/RecordingOperator.h"
#include "support/LoopbackPort.h"
#include "unit/VirtualUnit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

using namespace sonaro;

namespace {

using testing::freeLoopbackPort;
using testing::kProgramAddress;
using testing::kUnitAddress;

// With --trace: the longest event deliveries, wall and thread CPU time, to find what blocks.
class TimingApplication : public QCoreApplication
{
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!tracing || depth > 0) return QCoreApplication::notify(receiver, event);
        ++depth;
        timespec cpu0{}, cpu1{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
        QElapsedTimer wall;
        wall.start();
        const bool result = QCoreApplication::notify(receiver, event);
        const double wallMs = wall.nsecsElapsed() / 1e6;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
        --depth;
        const double cpuMs =
            (cpu1.tv_sec - cpu0.tv_sec) * 1e3 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e6;
        if (wallMs > 2.0)
            std::fprintf(stderr, "  slow event: %s type %d, wall %.1f ms, cpu %.1f ms\n",
                         receiver->metaObject()->className(), static_cast<int>(event->type()),
                         wallMs, cpuMs);
        return result;
    }
    bool tracing = false;
    int depth = 0;
};

struct Measurement
{
    bool finished = false;
    double maxStallMs = 0.0;
    double wireMs = 0.0;
};

// Starts the sequence and runs the event loop until done() holds, with a 1 ms timer beside it
// whose largest lateness is the stall. The wire time runs from the start to the last datagram.
Measurement measure(SonaroCore& core, const std::function<void()>& start,
                    const std::function<bool()>& done, int timeoutMs)
{
    Measurement m;
    QElapsedTimer clock;
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    qint64 lastTick = 0;
    qint64 lastSent = 0;
    const auto sent = QObject::connect(&core, &SonaroCore::datagramSent, &loop,
                                       [&] { lastSent = clock.nsecsElapsed(); });
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        m.maxStallMs = std::max(m.maxStallMs, (now - lastTick) / 1e6 - 1.0);
        lastTick = now;
        if (done()) {
            m.finished = true;
            loop.quit();
        } else if (now / 1000000 > timeoutMs) {
            loop.quit();
        }
    });
    clock.start();
    tick.start();
    start();
    // The sequence's first step may already have run inside start(): count it too.
    m.maxStallMs = std::max(m.maxStallMs, clock.nsecsElapsed() / 1e6 - 1.0);
    lastTick = clock.nsecsElapsed();
    loop.exec();
    tick.stop();
    QObject::disconnect(sent);
    m.wireMs = lastSent / 1e6;
    return m;
}

void printFigure(const char* sequence, const Measurement& m)
{
    if (!m.finished) std::printf("%s did not finish in time\n", sequence);
    std::printf("max stall %s: %.1f ms (wire %.0f ms)\n", sequence, std::max(0.0, m.maxStallMs),
                m.wireMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    TimingApplication app(argc, argv);
    app.tracing = app.arguments().contains(QStringLiteral("--trace"));
    QTemporaryDir dataDir;
    const quint16 port = freeLoopbackPort();
    if (!dataDir.isValid() || port == 0) {
        std::fprintf(stderr, "sonaro-figures: no data directory or no free loopback port\n");
        return 1;
    }
    RecordingOperator op; // answers Yes to the factory restore's question
    CoreOptions options;
    options.dataDirectory = dataDir.path();
    options.bindAddress = kProgramAddress;
    options.deviceAddress = kUnitAddress;
    options.port = port;
    options.readStateFile = false;
    SonaroCore core(op, options);
    VirtualUnitOptions unitOptions;
    unitOptions.address = QHostAddress(kUnitAddress);
    unitOptions.port = port;
    VirtualUnit unit(unitOptions);
    if (!unit.start() || !core.start()) {
        std::fprintf(stderr, "sonaro-figures: cannot bind the loopback addresses\n");
        return 1;
    }
    Delivery& delivery = core.delivery();
    const UnitRecord& first = core.table().record(1);
    int failures = 0;

    const Measurement login = measure(
        core,
        [&] {
            core.session().storeLogin(QStringLiteral("admin"), QStringLiteral("888888"));
            core.session().sendLogin();
        },
        [&] { return first.connected && unit.streaming() && delivery.isIdle(); }, 20000);
    printFigure("first login", login);
    failures += !login.finished;

    const QString preset = dataDir.filePath(QStringLiteral("figures.ini"));
    if (!core.files().savePreset([&] { return preset; })) {
        std::fprintf(stderr, "sonaro-figures: cannot write the preset\n");
        return 1;
    }
    const Measurement open = measure(
        core, [&] { core.files().openPreset([&] { return preset; }); },
        [&] { return delivery.isIdle() && unit.streaming(); }, 20000);
    printFigure("preset open", open);
    failures += !open.finished;

    const Measurement restore = measure(
        core, [&] { core.files().factoryRestore(); },
        [&] { return delivery.isIdle() && unit.streaming(); }, 20000);
    printFigure("factory restore", restore);
    failures += !restore.finished;

    core.session().shutdown();
    unit.stop();
    return failures == 0 ? 0 : 1;
}
