#pragma once

#include "Console.h"
#include "CtlArguments.h"
#include "CtlSession.h"
#include "Report.h"

#include <QObject>

#include <functional>

// One function per command. The commands that log in run on a CtlSession and end through its
// finish(); discover and preset show need no unit.
namespace sonaroctl {

// The command of session's settings.
void runCommand(CtlSession& session);

void runLogin(CtlSession& session);
void runShow(CtlSession& session);
void runGroupShow(CtlSession& session);
void runSet(CtlSession& session);
void runPresetSave(CtlSession& session);
void runPresetLoad(CtlSession& session);
void runFactoryRestore(CtlSession& session);
void runAddressSet(CtlSession& session);
void runAccountChange(CtlSession& session);
void runName(CtlSession& session);
void runEq(CtlSession& session);
void runGroupSet(CtlSession& session);
void runMonitor(CtlSession& session);
void runWatch(CtlSession& session);

// preset show: the exit status.
int runPresetShow(const CtlSettings& settings, Console& console);
// discover: finished runs with the exit status.
void runDiscover(const CtlSettings& settings, Console& console, int timingScale, QObject* owner,
                 std::function<void(int)> finished);

// The values of the settings the core keeps outside the record: channel names and groups.
OtherValue namesAndGroups(sonaro::SonaroCore& core);
OtherValue namesAndGroups(sonaro::SonaroCore& core, int unit);

} // namespace sonaroctl
