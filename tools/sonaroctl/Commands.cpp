#include "Commands.h"

namespace sonaroctl {

void runCommand(CtlSession& session)
{
    struct Entry
    {
        Command command;
        void (*run)(CtlSession&);
    };
    static constexpr Entry kTable[] = {
        {Command::Login, runLogin},
        {Command::Show, runShow},
        {Command::Set, runSet},
        {Command::PresetSave, runPresetSave},
        {Command::PresetLoad, runPresetLoad},
        {Command::Monitor, runMonitor},
        {Command::Watch, runWatch},
        {Command::FactoryRestore, runFactoryRestore},
        {Command::AddressSet, runAddressSet},
        {Command::AccountChange, runAccountChange},
        {Command::Name, runName},
        {Command::EqCopy, runEq},
        {Command::EqReset, runEq},
        {Command::GroupShow, runGroupShow},
        {Command::GroupSet, runGroupSet},
    };
    for (const Entry& entry : kTable)
        if (entry.command == session.settings().command) {
            entry.run(session);
            return;
        }
    session.finish(kExitUsage, QStringLiteral("nothing to do"));
}

} // namespace sonaroctl
