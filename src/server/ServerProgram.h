#pragma once

#include "server/ServerConfig.h"

#include <functional>
#include <memory>

// The sonaro-server program without its backend: the command line, the users and tokens
// commands, the demo configuration and the service's run until SIGTERM. The program's main names
// the backend in one line; the tests run the same program with a test backend.
namespace sonaro::server {

class ServerBackend;

struct BackendRequest
{
    ServerConfig config;
    bool demo = false; // an embedded virtual unit on loopback
    // For the tests of the demo: the demo unit logs every datagram it receives to this file,
    // and plays commands read from standard input (front-panel changes, lost frames).
    QString demoUnitLog;
    bool demoCommands = false;
};
// nullptr with problem set when no backend can be made.
using BackendFactory =
    std::function<std::unique_ptr<ServerBackend>(const BackendRequest&, QString* problem)>;

int runServerProgram(int argc, char** argv, const BackendFactory& makeBackend);

} // namespace sonaro::server
