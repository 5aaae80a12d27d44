// sonaro-server: the web remote and control API, sharing one session with a unit.
//
// --demo runs against a virtual unit on 127.0.0.2 with the link bound to 127.0.0.1, as the
// desktop's demo does, from a fresh folder that is removed at the end.
#include "DemoCommands.h"

#include "server/CoreBackend.h"
#include "server/ServerProgram.h"
#include "unit/VirtualUnit.h"

using namespace sonaro;
using namespace sonaro::server;

namespace {

constexpr char kDemoUnitAddress[] = "127.0.0.2";
constexpr char kDemoBindAddress[] = "127.0.0.1";
constexpr quint16 kDemoPort = 5000;
// Ports tried after kDemoPort when another program holds it.
constexpr int kDemoPortTries = 20;

std::unique_ptr<ServerBackend> makeBackend(const BackendRequest& request, QString* problem)
{
    CoreBackendOptions options = CoreBackend::optionsFor(request.config);
    std::unique_ptr<VirtualUnit> unit;
    if (request.demo) {
        VirtualUnitOptions unitOptions;
        unitOptions.address = QHostAddress(QString::fromLatin1(kDemoUnitAddress));
        unitOptions.logPath = request.demoUnitLog;
        for (int i = 0; i < kDemoPortTries && !unit; ++i) {
            unitOptions.port = quint16(kDemoPort + i);
            unit = std::make_unique<VirtualUnit>(unitOptions);
            if (!unit->start()) unit.reset();
        }
        if (!unit) {
            *problem = QStringLiteral("the demo unit could not bind %1").arg(kDemoUnitAddress);
            return nullptr;
        }
        options.core.bindAddress = QString::fromLatin1(kDemoBindAddress);
        options.core.deviceAddress = unitOptions.address.toString();
        options.core.port = unitOptions.port;
        options.account = unitOptions.adminName;
        options.password = unitOptions.adminPassword;
    }
    auto backend = std::make_unique<CoreBackend>(options);
    if (unit) {
        // Stopped after the backend's close, which still speaks to it.
        VirtualUnit* demoUnit = unit.release();
        demoUnit->setParent(backend.get());
        if (request.demoCommands) playDemoCommands(*demoUnit);
    }
    if (!backend->start(problem)) return nullptr;
    return backend;
}

} // namespace

int main(int argc, char** argv)
{
    return runServerProgram(argc, argv, makeBackend);
}
