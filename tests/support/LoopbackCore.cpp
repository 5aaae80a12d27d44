#include "LoopbackCore.h"

#include "link/Link.h"
#include "link/Session.h"
#include "mixer/GroupEditor.h"

namespace sonaro::testing {

LoopbackCore::LoopbackCore(LoopbackCoreOptions options) : port(freeLoopbackPort())
{
    coreOptions.dataDirectory = dir.path();
    coreOptions.readStateFile = options.readStateFile;
    coreOptions.bindAddress = kProgramAddress;
    coreOptions.deviceAddress = kUnitAddress;
    coreOptions.port = port;
    coreOptions.timings = LinkTimings{}.scaled(options.timingDivisor);
    if (options.fullSilenceTimeout)
        coreOptions.timings.silenceTimeout = LinkTimings{}.silenceTimeout;
    if (options.readBackQuiet >= 0) coreOptions.timings.readBackQuiet = options.readBackQuiet;
    core = std::make_unique<SonaroCore>(op, coreOptions);
    if (options.withUnit) {
        VirtualUnitOptions unitOptions;
        unitOptions.address = QHostAddress(kUnitAddress);
        unitOptions.port = port;
        unitOptions.unitCount = options.unitCount;
        unitOptions.statusInterval = 10;
        unit = std::make_unique<VirtualUnit>(unitOptions);
    }
}

LoopbackCore::~LoopbackCore() = default;

bool LoopbackCore::restartCore()
{
    core.reset();
    core = std::make_unique<SonaroCore>(op, coreOptions);
    return core->start();
}

bool LoopbackCore::start()
{
    if (unit && !unit->start()) return false;
    return core->start();
}

bool LoopbackCore::login(const QString& user, const QString& password)
{
    core->session().storeLogin(user, password);
    core->session().sendLogin();
    return waitFor(
               [this] { return core->table().current().connected && (!unit || unit->streaming()); },
               3000) &&
           waitIdle();
}

bool LoopbackCore::waitIdle(int timeoutMs)
{
    if (!waitFor([this] { return core->delivery().isIdle(); }, timeoutMs)) return false;
    spin(50);
    return true;
}

bool LoopbackCore::waitReceived(char kind, int count, int timeoutMs)
{
    return unit && waitFor([&] { return unit->receivedCount(kind) >= count; }, timeoutMs);
}

std::string LoopbackCore::receivedKinds() const
{
    std::string text;
    if (!unit) return text;
    for (const QByteArray& f : unit->received()) {
        if (f.size() < 2) continue;
        if (!text.empty()) text += ' ';
        text += f[1];
        if (f[1] == 'L' && f.size() >= 5) text += f.mid(3, 2).toStdString();
    }
    return text;
}

void groupChannels(SonaroCore& core, int slot, std::initializer_list<int> serials,
                   std::initializer_list<LinkFlag> links)
{
    GroupTable table = core.groupTable();
    const auto editor = core.groupEditor(table);
    editor->open();
    editor->clickGroup(slot);
    for (int serial : serials)
        editor->clickChannel(serial);
    for (LinkFlag flag : links)
        editor->clickLink(flag);
    editor->accept();
    core.surface().reloadGroups();
}

} // namespace sonaro::testing
