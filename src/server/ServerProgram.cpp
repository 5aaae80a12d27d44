#include "server/ServerProgram.h"

#include "model/Version.h"
#include "server/RemoteServer.h"
#include "server/ServerBackend.h"
#include "server/UserStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace sonaro::server {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: the event loop picks the byte up.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void say(const QString& text)
{
    std::fprintf(stderr, "sonaro-server: %s\n", qPrintable(text));
}

// A password from the terminal without echo, or one line of standard input from a script.
QString readPassword(const QString& prompt)
{
    termios saved{};
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        std::fprintf(stderr, "%s: ", qPrintable(prompt));
        std::fflush(stderr);
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    return QString::fromStdString(line);
}

std::optional<Role> roleOption(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    const auto role = parseRole(parser.value(option));
    if (!role) say(QStringLiteral("--role is operator or administrator"));
    return role;
}

int addUser(UserStore& users, const QString& name, Role role)
{
    const QString password = readPassword(QStringLiteral("Password for %1").arg(name));
    if (::isatty(STDIN_FILENO) && readPassword(QStringLiteral("The same again")) != password) {
        say(QStringLiteral("the two passwords differ; nothing changed"));
        return kExitFailure;
    }
    QString problem;
    if (!users.setUser(name, role, password, &problem) || !users.save(&problem)) {
        say(problem);
        return kExitFailure;
    }
    std::printf("%s is an %s\n", qPrintable(name), qPrintable(roleName(role)));
    return kExitOk;
}

int listCredentials(const QList<Credential>& list)
{
    for (const Credential& c : list)
        std::printf("%s\t%s\n", qPrintable(c.name), qPrintable(roleName(c.role)));
    return kExitOk;
}

// user add|remove|list, token add|remove|list
int manageUsers(const QCommandLineParser& parser, const QCommandLineOption& roleOpt,
                const ServerConfig& config)
{
    const QStringList args = parser.positionalArguments();
    const QString what = args.value(0);
    const QString action = args.value(1);
    const QString name = args.value(2);
    UserStore users(config.users);
    QString problem;
    if (!users.load(&problem)) {
        say(problem);
        return kExitFailure;
    }
    const bool user = what == QLatin1String("user");
    if (action == QLatin1String("list"))
        return listCredentials(user ? users.users() : users.tokens());
    if (name.isEmpty() || (action != QLatin1String("add") && action != QLatin1String("remove"))) {
        say(QStringLiteral("%1 add NAME --role ROLE, %1 remove NAME or %1 list").arg(what));
        return kExitUsage;
    }
    if (action == QLatin1String("remove")) {
        if (!(user ? users.removeUser(name) : users.removeToken(name))) {
            say(QStringLiteral("no %1 %2").arg(what, name));
            return kExitFailure;
        }
        if (!users.save(&problem)) say(problem);
        return problem.isEmpty() ? kExitOk : kExitFailure;
    }
    const auto role = roleOption(parser, roleOpt);
    if (!role) return kExitUsage;
    if (user) return addUser(users, name, *role);
    const auto token = users.addToken(name, *role, &problem);
    if (!token || !users.save(&problem)) {
        say(problem);
        return kExitFailure;
    }
    // Shown once: only its hash is kept.
    std::printf("%s\n", qPrintable(*token));
    return kExitOk;
}

// The demo runs from a fresh folder with one administrator, "demo" / "demo".
std::optional<ServerConfig> demoConfig(const QTemporaryDir& folder, QString* problem)
{
    auto config = ServerConfigFile::load(folder.filePath(QStringLiteral("server.conf")), problem);
    if (!config) return std::nullopt;
    UserStore users(config->users);
    if (!users.setUser(QStringLiteral("demo"), Role::Administrator, QStringLiteral("demo"),
                       problem) ||
        !users.save(problem))
        return std::nullopt;
    return config;
}

void watchSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void warnAboutExposure(const RemoteServer& server, const UserStore& users)
{
    const ServerConfig& c = server.config();
    if (!c.loopbackOnly() && !c.tls())
        say(QStringLiteral("listening on %1 without TLS: passwords and sessions cross the network "
                           "unencrypted; give listen/certificate and listen/key")
                .arg(c.listenAddress.toString()));
    if (users.users().isEmpty() && users.tokens().isEmpty())
        say(QStringLiteral("no users yet: add one with 'sonaro-server --config %1 user add NAME "
                           "--role administrator'")
                .arg(c.path));
}

int serve(QCoreApplication& app, const BackendFactory& makeBackend, const BackendRequest& request)
{
    QString problem;
    std::unique_ptr<ServerBackend> backend = makeBackend(request, &problem);
    if (!backend) {
        say(problem);
        return kExitFailure;
    }
    RemoteServer server(*backend, request.config);
    if (!server.start(&problem)) {
        say(problem);
        return kExitFailure;
    }
    warnAboutExposure(server, server.users());
    const ServerConfig& c = server.config();
    const QString host = c.listenAddress.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(c.listenAddress.toString())
                             : c.listenAddress.toString();
    std::printf("sonaro-server: listening on %s://%s:%u/\n", c.tls() ? "https" : "http",
                qPrintable(host), server.port());
    if (request.demo) std::printf("sonaro-server: demo login: demo / demo\n");
    std::fflush(stdout);
    watchSignals(app);
    return QCoreApplication::exec();
}

} // namespace

int runServerProgram(int argc, char** argv, const BackendFactory& makeBackend)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sonaro-server"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shares one session with a Sonaro mixer unit: a web remote for tablets and phones, a JSON\n"
        "API over WebSocket for control systems and scripts, and a health check.\n\n"
        "Commands:\n"
        "  (none)                                   run the server\n"
        "  user add NAME --role operator|administrator   add a user (password from a prompt)\n"
        "  user remove NAME | user list\n"
        "  token add NAME --role operator|administrator  print a new API token\n"
        "  token remove NAME | token list"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOpt(
        "config",
        QStringLiteral("Configuration file (default %1).").arg(ServerConfigFile::defaultPath()),
        "file");
    const QCommandLineOption listenOpt("listen",
                                       "Listen on ADDRESS:PORT instead of the configured "
                                       "address (0 as port: any free one).",
                                       "address:port");
    const QCommandLineOption demoOpt("demo", "Run against an embedded virtual unit on loopback, "
                                             "with the login demo / demo.");
    const QCommandLineOption roleOpt("role", "Role of a new user or token.", "role", "operator");
    // The tests' window on the demo unit.
    QCommandLineOption unitLogOpt("demo-unit-log", QString(), "file");
    unitLogOpt.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption commandsOpt("demo-commands");
    commandsOpt.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({configOpt, listenOpt, demoOpt, roleOpt, unitLogOpt, commandsOpt});
    parser.addPositionalArgument("command", "user or token, with its action.", "[command]");
    parser.process(app);

    QString problem;
    QTemporaryDir demoFolder;
    const bool demo = parser.isSet(demoOpt);
    const auto config =
        demo ? demoConfig(demoFolder, &problem)
             : ServerConfigFile::load(parser.isSet(configOpt) ? parser.value(configOpt)
                                                              : ServerConfigFile::defaultPath(),
                                      &problem);
    if (!config) {
        say(problem);
        return kExitFailure;
    }
    const QStringList args = parser.positionalArguments();
    if (!args.isEmpty()) {
        if (args.first() != QLatin1String("user") && args.first() != QLatin1String("token")) {
            say(QStringLiteral("unknown command '%1'; try --help").arg(args.first()));
            return kExitUsage;
        }
        return manageUsers(parser, roleOpt, *config);
    }
    BackendRequest request{*config, demo, parser.value(unitLogOpt), parser.isSet(commandsOpt)};
    if (parser.isSet(listenOpt)) {
        const auto listen = ServerConfigFile::parseListen(parser.value(listenOpt));
        if (!listen) {
            say(QStringLiteral("--listen takes ADDRESS:PORT, for example 127.0.0.1:8080"));
            return kExitUsage;
        }
        request.config.listenAddress = listen->first;
        request.config.listenPort = listen->second;
    }
    return serve(app, makeBackend, request);
}

} // namespace sonaro::server
