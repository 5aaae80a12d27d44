#include "SoakRunner.h"
#include "model/RecordingOperator.h"

#include "RecordComparison.h"

#include "mixer/InputEqEditor.h"
#include "mixer/LimiterEditor.h"
#include "mixer/LinkCommandPort.h"
#include "mixer/OutputEqEditor.h"
#include "mixer/SonaroCore.h"
#include "model/ValueConventions.h"
#include "support/EventLoop.h"
#include "support/LoopbackPort.h"
#include "unit/UnitFrames.h"
#include "unit/VirtualUnit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <set>

namespace sonaro {

namespace {

using testing::freeLoopbackPort;
using testing::kProgramAddress;
using testing::kUnitAddress;
using testing::spin;
using testing::waitFor;

// The operator: one random strip, matrix, system, EQ or limiter action per call, on a value
// grid that the wire carries exactly.
class RandomOperator
{
public:
    RandomOperator(ControlSurface& surface, InputEqEditor& inputEq, OutputEqEditor& outputEq,
                   LimiterEditor& limiter, unsigned seed)
        : m_surface(surface), m_inputEq(inputEq), m_outputEq(outputEq), m_limiter(limiter),
          m_random(seed)
    {
    }

    void act()
    {
        switch (pick(5)) {
        case 0:
            strip();
            break;
        case 1: {
            const int input = pick(kInputCount);
            const int output = pick(kOutputCount);
            m_surface.setCrosspoint(input, output, !m_surface.crosspoint(input, output));
        } break;
        case 2:
            system();
            break;
        case 3:
            eq();
            break;
        default:
            limiter();
            break;
        }
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    // A gain on the faders' 1 dB grid, -50 to +10 dB.
    int randomDb() { return ControlSurface::kMinDb + pick(kGainMax + 1); }
    const UnitRecord& record() { return m_surface.record(); }

    void strip()
    {
        const int ch = pick(kInputCount);
        const int out = pick(kOutputCount);
        switch (pick(8)) {
        case 0:
            m_surface.setInputGain(ch, randomDb(), Phase::Committed);
            break;
        case 1:
            m_surface.setInputMute(ch, !record().inputMute[ch]);
            break;
        case 2:
            m_surface.setInputLine(ch, !record().inputLine[ch]);
            break;
        case 3:
            m_surface.setInputPhantom(ch, !record().inputPhantom[ch]);
            break;
        case 4:
            m_surface.setInputPriority(ch, !record().inputPriority[ch]);
            break;
        case 5:
            m_surface.setOutputGain(out, randomDb(), Phase::Committed);
            break;
        case 6:
            m_surface.setOutputMute(out, !record().outputMute[out]);
            break;
        default:
            m_surface.setOutputLevelType(out, record().outputLevelType[out] ? OutputLevel::Line
                                                                            : OutputLevel::Mic);
            break;
        }
    }

    void system()
    {
        switch (pick(6)) {
        case 0:
            m_surface.setPanelLock(!record().panelLock);
            break;
        case 1:
            m_surface.setDeviceMode(record().deviceMode ? DeviceMode::Slave : DeviceMode::Master);
            break;
        case 2:
            m_surface.setThresholdMode(record().thresholdMode == 1 ? ThresholdMode::Auto
                                                                   : ThresholdMode::Manual);
            break;
        case 3:
            if (m_surface.thresholdAdjustable()) m_surface.setThreshold(randomDb());
            break;
        case 4:
            m_surface.setHoldTime(pick(kHoldTimeMax + 1) * ControlSurface::kHoldTimeStepMs);
            break;
        default:
            m_surface.setMaxOpenChannels(pick(kMaxOpenChannelsMax) + 1);
            break;
        }
    }

    void eq()
    {
        const double frequency = 20 + pick(19980);
        const double gain = (pick(61) - 30) * 0.5;
        const double q = (3 + pick(198)) * 0.1;
        switch (pick(5)) {
        case 0:
        case 1:
            m_inputEq.selectChannel(pick(kInputCount));
            m_inputEq.knobChanged(pick(kInputEqBands), frequency, gain, q);
            break;
        case 2:
            m_inputEq.selectChannel(pick(kInputCount));
            if (pick(2))
                m_inputEq.toggleHighPass();
            else
                m_inputEq.highPassSliderMoved(pick(InputEqEditor::kFilterPositions + 1));
            break;
        default:
            m_outputEq.selectOutput(pick(kOutputCount));
            m_outputEq.knobChanged(pick(kOutputEqBands), frequency, gain, q);
            break;
        }
    }

    void limiter()
    {
        m_limiter.selectOutput(pick(kOutputCount));
        switch (pick(5)) {
        case 0:
            m_limiter.thresholdReadoutChanged(pick(1001));
            break;
        case 1:
            m_limiter.attackReadoutChanged(1 + pick(200));
            break;
        case 2:
            m_limiter.releaseReadoutChanged(50 + pick(4951));
            break;
        case 3:
            m_limiter.ratioReadoutChanged(1 + pick(100));
            break;
        default:
            m_limiter.toggleEnable();
            break;
        }
    }

    ControlSurface& m_surface;
    InputEqEditor& m_inputEq;
    OutputEqEditor& m_outputEq;
    LimiterEditor& m_limiter;
    std::mt19937 m_random;
};

} // namespace

SoakResult runSoak(const SoakOptions& options)
{
    SoakResult result;
    QTemporaryDir dataDir;
    const quint16 port = freeLoopbackPort();
    if (!dataDir.isValid() || port == 0) {
        std::fprintf(stderr, "sonaro-soak: no data directory or no free loopback port\n");
        return result;
    }

    RecordingOperator op;
    CoreOptions coreOptions;
    coreOptions.dataDirectory = dataDir.path();
    coreOptions.bindAddress = kProgramAddress;
    coreOptions.deviceAddress = kUnitAddress;
    coreOptions.port = port;
    coreOptions.readStateFile = false;
    SonaroCore core(op, coreOptions);

    VirtualUnitOptions unitOptions;
    unitOptions.address = QHostAddress(kUnitAddress);
    unitOptions.port = port;
    unitOptions.seed = options.seed;
    VirtualUnit unit(unitOptions);

    // The editors send through the same port as the surface does, so their G waits for its
    // confirmation too.
    CommandPort& editorPort = core.commandPort();
    InputEqEditor inputEq(core.surface(), editorPort, op);
    OutputEqEditor outputEq(core.surface(), editorPort);
    LimiterEditor limiter(core.surface(), editorPort);

    // Changes made at the unit's front panel. Only those whose report reached the program can
    // be kept by it (a lost report leaves the program nothing to keep); those the operator
    // changed again later are the operator's.
    struct PanelChange
    {
        std::string field;
        UnitRecord at;
        QByteArray report; // the O (gains) or the D (switches) that tells it
        bool heard = false;
        bool replaced = false;
    };
    std::vector<PanelChange> panelChanges;
    auto replace = [&](const std::vector<std::string>& names) {
        for (PanelChange& c : panelChanges)
            if (std::find(names.begin(), names.end(), c.field) != names.end()) c.replaced = true;
    };
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> trace(
        options.traceFile.empty() ? nullptr : std::fopen(options.traceFile.c_str(), "w"),
        &std::fclose);
    QElapsedTimer traceClock;
    traceClock.start();
    auto traceLine = [&](const char* what, const QByteArray& text) {
        if (trace)
            std::fprintf(trace.get(), "%6lld %s %s\n", static_cast<long long>(traceClock.elapsed()),
                         what, text.constData());
    };
    QObject::connect(&unit, &VirtualUnit::frameReceived, &core,
                     [&](const QByteArray& frame) { traceLine("unit<", frame); });
    QObject::connect(&unit, &VirtualUnit::frameDropped, &core,
                     [&](const QByteArray& frame) { traceLine("unit-dropped", frame); });
    QObject::connect(&core, &SonaroCore::datagramReceived, &core, [&](const QByteArray& frame) {
        traceLine("<", frame);
        ++result.framesReceived;
        for (PanelChange& c : panelChanges)
            if (frame == c.report) c.heard = true;
    });
    std::set<std::string> lost;
    auto keyOf = [](const ChangeId& id) { return SettingCatalogue::key(id).toStdString(); };
    Delivery& delivery = core.delivery();
    QObject::connect(&delivery, &Delivery::changeNotDelivered, &core,
                     [&](const ChangeId& id) { lost.insert(keyOf(id)); });
    QObject::connect(&delivery, &Delivery::changeConfirmed, &core,
                     [&](const ChangeId& id) { lost.erase(keyOf(id)); });
    QObject::connect(&delivery, &Delivery::changeResent, &core, [&](const ChangeId& id, int) {
        traceLine("resend", QByteArray::fromStdString(keyOf(id)));
    });
    QObject::connect(&delivery, &Delivery::changeNotDelivered, &core, [&](const ChangeId& id) {
        traceLine("not-delivered", QByteArray::fromStdString(keyOf(id)));
    });

    QByteArray previousSent;
    QObject::connect(&core, &SonaroCore::datagramSent, &core, [&](const QByteArray& frame) {
        traceLine(">", frame);
        ++result.framesSent;
        const char kind = frame.size() > 1 ? frame[1] : 0;
        if (kind == 'R' && result.framesSent > 1) ++result.loginRetries;
        // An answer wait sends the very same datagram again.
        if ((kind == 'M' || kind == 'E' || kind == 'B') && frame == previousSent)
            ++result.answerRetries;
        previousSent = frame;
    });
    int logins = 0;
    QObject::connect(&core, &SonaroCore::loginAccepted, &core, [&](int) { ++logins; });
    QObject::connect(&core.session(), &Session::connectFailed, &core,
                     [&] { core.session().sendLogin(); });

    if (!unit.start() || !core.start()) {
        std::fprintf(stderr, "sonaro-soak: cannot bind 127.0.0.1/127.0.0.2 port %u\n", port);
        return result;
    }
    const UnitRecord& program = core.table().record(1);
    core.session().storeLogin(QStringLiteral("admin"), QStringLiteral("888888"));
    core.session().sendLogin();
    // The first login runs clean, so that both sides start from the unit's state.
    result.loggedIn = waitFor(
        [&] { return program.connected && core.indicatorOn() && delivery.isIdle(); }, 15000);
    if (!result.loggedIn) {
        std::fprintf(stderr, "sonaro-soak: the first login failed\n");
        return result;
    }
    inputEq.start();
    outputEq.start();
    limiter.start();

    unit.setDropIncoming(options.dropEachWay);
    unit.setDropOutgoing(options.dropEachWay);
    unit.setCorruptChecksum(options.corruptChecksum);

    RandomOperator randomOperator(core.surface(), inputEq, outputEq, limiter, options.seed);
    std::mt19937 pace(options.seed ^ 0x5A5A5A5Au);
    const qint64 runMs = static_cast<qint64>(options.seconds) * 1000;
    // Two silences, at a third and at two thirds of the run.
    qint64 silences[2] = {runMs / 3, 2 * runMs / 3};
    int nextSilence = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 nextAction = 0;
    qint64 nextPanelChange = options.panelIntervalMs;
    while (clock.elapsed() < runMs) {
        const qint64 now = clock.elapsed();
        if (nextSilence < 2 && now >= silences[nextSilence]) {
            unit.silence(options.silenceMs);
            std::printf("silence %d at %lld s\n", nextSilence + 1, now / 1000);
            std::fflush(stdout);
            ++nextSilence;
        }
        if (now >= nextPanelChange) {
            const UnitRecord before = unit.record();
            unit.frontPanelChange();
            const std::vector<std::string> names = differingFields(before, unit.record());
            for (const std::string& name : names)
                traceLine("panel", QByteArray::fromStdString(name));
            replace(names);
            std::set<std::string> waiting;
            for (const ChangeId& id : delivery.unconfirmed())
                waiting.insert(keyOf(id));
            for (const std::string& name : names) {
                // A change of the operator's still on its way wins over the unit's own.
                PanelChange c{name, unit.record(), {}, false, waiting.count(name) > 0};
                // Only the report that carries the field tells it: a D answering one of our M
                // says nothing about a gain.
                const bool gain = name.size() > 5 && name.compare(name.size() - 5, 5, ".gain") == 0;
                c.report = QByteArray::fromStdString(gain ? buildReplyO(unit.record(), 1)
                                                          : buildReplyD(unit.record(), 1));
                panelChanges.push_back(std::move(c));
            }
            nextPanelChange = now + options.panelIntervalMs;
        }
        if (now >= nextAction) {
            const UnitRecord before = program;
            randomOperator.act();
            const std::vector<std::string> changed = differingFields(before, program);
            for (const std::string& name : changed)
                traceLine("operator", QByteArray::fromStdString(name));
            replace(changed);
            ++result.actions;
            nextAction = now + std::uniform_int_distribution<int>(50, 400)(pace);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    // The operator stops; the faults end; what is still on its way gets there.
    unit.setDropIncoming(0.0);
    unit.setDropOutgoing(0.0);
    unit.setCorruptChecksum(0.0);
    const LinkTimings& t = core.timings();
    const int settleMs =
        t.silenceTimeout + t.reloginSettle + 2 * InputEqEditor::kDefaultSendIntervalMs;
    spin(settleMs);
    waitFor(
        [&] {
            return program.connected && delivery.isIdle() && !inputEq.dirty() &&
                   !outputEq.dirty() && !limiter.dirty();
        },
        30000);
    spin(500);
    // The program reads the unit's state once more, as it does after every burst of changes:
    // a field with a change still waiting keeps the operator's value, so what was lost shows.
    CommandRequest readBack;
    readBack.kind = 'C';
    core.commandPort().submit(readBack);
    spin(50);
    waitFor([&] { return delivery.isIdle(); }, 5000);
    spin(200);

    result.relogins = logins > 0 ? logins - 1 : 0;
    result.differing = differingFields(program, unit.record());
    // A change given up as not delivered took the unit's value: it still counts.
    for (const std::string& name : lost)
        result.differing.push_back("not delivered: " + name);
    result.readBackDatagrams = 2 * delivery.readBackRequests() + delivery.resendCount();
    for (const PanelChange& c : panelChanges) {
        if (c.replaced) continue;
        ++result.panelChanges;
        if (!c.heard) continue;
        ++result.panelChangesHeard;
        const std::vector<std::string> now = differingFields(c.at, unit.record());
        if (std::find(now.begin(), now.end(), c.field) != now.end())
            result.panelReverted.push_back(c.field);
    }
    unit.stop();
    core.session().shutdown();
    return result;
}

} // namespace sonaro
