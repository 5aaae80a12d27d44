#pragma once

#include "EventLoop.h"
#include "LoopbackPort.h"

#include "mixer/SonaroCore.h"
#include "model/RecordingOperator.h"
#include "unit/VirtualUnit.h"

#include <QTemporaryDir>

#include <memory>
#include <string>

namespace sonaro::testing {

struct LoopbackCoreOptions
{
    bool withUnit = true;      // a virtual unit on kUnitAddress, started by start()
    bool readStateFile = true; // as the desktop program does at start-up
    int timingDivisor = 10;    // the link's timings shrunk this many times
    // Most tests are about what reaches the unit, not the watchdog: a loaded machine may stall
    // the loop for a few hundred milliseconds (disk writes), so the silence time-out stays whole.
    bool fullSilenceTimeout = true;
    int unitCount = 1;
    int readBackQuiet = -1; // ms; -1: the shrunk default
};

// The program's whole core (database, link, session, surface) in a temporary data directory,
// bound to kProgramAddress, with a virtual unit on kUnitAddress at a free port.
class LoopbackCore
{
public:
    explicit LoopbackCore(LoopbackCoreOptions options = {});
    ~LoopbackCore();

    // Starts the unit (when there is one) and the core.
    bool start();
    // Logs in and waits until the unit streams and the login's requests have all left.
    bool login(const QString& user = QStringLiteral("admin"),
               const QString& password = QStringLiteral("888888"));
    // The link's queue is empty and the unit has had a moment to read everything that left.
    bool waitIdle(int timeoutMs = 5000);
    // The unit received at least this many frames of the kind since its last clear.
    bool waitReceived(char kind, int count, int timeoutMs = 5000);

    // Kind letters of the frames the unit received since its last clear, separated by blanks;
    // L with its argument ("L00", "L01").
    std::string receivedKinds() const;

    UnitRecord& record() { return core->table().current(); }
    // A new core on the same data directory, as at the program's next start (the old one is
    // gone without its close sequence: whatever it wrote is what the next start finds).
    bool restartCore();

    QTemporaryDir dir;
    quint16 port = 0;
    RecordingOperator op;
    std::unique_ptr<VirtualUnit> unit;
    std::unique_ptr<SonaroCore> core;
    CoreOptions coreOptions;
};

// Puts the channels (SerialIDs: inputs 1..8, outputs 9..10) into group slot 1..5 with the links,
// as the group dialog's OK stores them; the surface reloads its groups. Nothing is sent.
void groupChannels(SonaroCore& core, int slot, std::initializer_list<int> serials,
                   std::initializer_list<LinkFlag> links);

} // namespace sonaro::testing
