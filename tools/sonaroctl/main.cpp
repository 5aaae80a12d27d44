// sonaroctl: command-line control of a Sonaro mixer unit for scripts and installers.
//
//   sonaroctl [--data-dir DIR] [--bind ADDR] [--address ADDR] [--port N] [--user NAME]
//             [--password PSW] [--json] [--log FILE] COMMAND ...
//
// A thin main over the core the desktop program uses; see 'sonaroctl --help'. The environment
// variable SONARO_TIMING_SCALE=N (not shown in the help) divides every link timing and time-out
// by N, so that tests do not wait for the protocol's seconds.

#include "Commands.h"
#include "CtlArguments.h"
#include "CtlSession.h"

#include "model/Version.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace sonaroctl;

namespace {

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_interrupted = 0;

// How long the orderly end after Ctrl-C or SIGTERM may take (the status stream switched off, the
// queue drained) before the program ends without it.
constexpr unsigned kInterruptGraceSeconds = 5;

void onSignal(int signal)
{
    // Only async-signal-safe work here: the event loop picks the byte up. A second signal, or an
    // orderly end that takes too long, ends the program at once.
    if (g_interrupted || signal == SIGALRM) ::_exit(kExitFailure);
    g_interrupted = 1;
    ::alarm(kInterruptGraceSeconds);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

int usageError(const QString& message)
{
    std::fprintf(stderr, "sonaroctl: %s\nTry 'sonaroctl --help'.\n", message.toUtf8().constData());
    return kExitUsage;
}

// The arguments as file names are decoded: one whose bytes would not survive the decoding (not
// valid in the system's encoding) would name another file, so it is refused.
bool decodeArguments(int argc, char** argv, QStringList& arguments, QString& problem)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        const QString text = QFile::decodeName(raw);
        if (QFile::encodeName(text) != raw) {
            problem = QStringLiteral("argument %1 ('%2') is not valid text in this system's "
                                     "encoding: as a file name it would name another file")
                          .arg(i)
                          .arg(escapeControls(text));
            return false;
        }
        arguments << text;
    }
    return true;
}

// Reads a line from the terminal without echo. Runs before the event loop starts; Ctrl-C ends
// the program here as it always does.
QString promptPassword(const QString& prompt)
{
    std::fprintf(stderr, "%s: ", prompt.toUtf8().constData());
    std::fflush(stderr);
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return QString::fromStdString(line);
}

// The password (and an account change's new one): the environment or a prompt, never a guess.
QString askPasswords(CtlSettings& s)
{
    if (s.logsIn() && !s.passwordGiven) {
        if (qEnvironmentVariableIsSet("SONARO_PASSWORD"))
            s.password = qEnvironmentVariable("SONARO_PASSWORD");
        else if (::isatty(STDIN_FILENO))
            s.password = promptPassword(QStringLiteral("Password for %1").arg(s.user));
        else
            return QStringLiteral("no password: give --password, set SONARO_PASSWORD or run on a "
                                  "terminal");
        const QString error = checkAccountText(QStringLiteral("the password"), s.password);
        if (!error.isEmpty()) return error;
    }
    if (s.command != Command::AccountChange) return {};
    // Never from the command line, where other users and the shell history see it.
    if (qEnvironmentVariableIsSet("SONARO_NEW_PASSWORD")) {
        s.newPassword = qEnvironmentVariable("SONARO_NEW_PASSWORD");
    } else if (::isatty(STDIN_FILENO)) {
        s.newPassword = promptPassword(QStringLiteral("New password"));
        if (promptPassword(QStringLiteral("New password again")) != s.newPassword)
            return QStringLiteral("the two new passwords differ");
    } else {
        return QStringLiteral("no new password: set SONARO_NEW_PASSWORD or run on a terminal");
    }
    return checkAccountText(QStringLiteral("the new password"), s.newPassword);
}

// The factory restore is asked here, before anything is sent; a closed standard input is a No.
bool factoryRestoreConfirmed(CtlSettings& s)
{
    if (s.command != Command::FactoryRestore || s.yes) return true;
    std::fputs("Restore Factory Settings? [y/N] ", stderr);
    std::fflush(stderr);
    std::string answer;
    const bool got = static_cast<bool>(std::getline(std::cin, answer));
    if (!got) std::fputc('\n', stderr);
    const QString reply = QString::fromStdString(answer).trimmed().toLower();
    if (!got || (reply != QLatin1String("y") && reply != QLatin1String("yes"))) {
        std::fputs("sonaroctl: factory restore not confirmed: nothing was changed (give --yes to "
                   "restore without asking)\n",
                   stderr);
        return false;
    }
    s.yes = true;
    return true;
}

// Ctrl-C and SIGTERM end the run through the event loop, so that the stream is switched off.
std::unique_ptr<QSocketNotifier> catchInterrupts(const std::function<void()>& interrupt)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [interrupt] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        interrupt();
    });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGALRM})
        ::sigaction(signal, &action, nullptr);
    return notifier;
}

int run(const CtlSettings& settings, Console& console, int scale)
{
    if (settings.command == Command::PresetShow) return runPresetShow(settings, console);
    auto finished = [](int status) { QCoreApplication::exit(status); };
    std::unique_ptr<CtlSession> session;
    if (settings.logsIn()) {
        session = std::make_unique<CtlSession>(settings, console, scale);
        QObject::connect(session.get(), &CtlSession::finished, qApp, finished,
                         Qt::QueuedConnection);
        QTimer::singleShot(0, session.get(), [&session] { runCommand(*session); });
    } else {
        QTimer::singleShot(0, qApp, [&] { runDiscover(settings, console, scale, qApp, finished); });
    }
    const auto notifier = catchInterrupts([&session] {
        if (session)
            session->interrupt();
        else
            QCoreApplication::exit(kExitFailure);
    });
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    // A write past the file size limit or into a closed pipe fails and is reported, instead of
    // ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    // The same names as the desktop program, so that both find the same per-user data directory.
    QCoreApplication::setApplicationName(QStringLiteral("Sonaro"));
    QCoreApplication::setOrganizationName(QStringLiteral("Sonaro"));

    QStringList arguments;
    QString problem;
    if (!decodeArguments(argc, argv, arguments, problem)) return usageError(problem);
    const qsizetype optionsEnd = arguments.indexOf(QStringLiteral("--"));
    if (arguments.first(optionsEnd < 0 ? arguments.size() : optionsEnd)
            .contains(QStringLiteral("--version"))) {
        std::printf("sonaroctl %s\n", sonaro::kVersion);
        return kExitSuccess;
    }
    ParseResult parsed = parseArguments(arguments);
    if (parsed.outcome == ParseResult::Outcome::Usage) return usageError(parsed.error);
    CtlSettings& settings = parsed.settings;
    if (parsed.outcome == ParseResult::Outcome::Help) {
        Console console(false);
        console.report(parsed.helpText);
        return console.conclude(kExitSuccess, {});
    }
    if (const QString error = askPasswords(settings); !error.isEmpty()) return usageError(error);
    if (!factoryRestoreConfirmed(settings)) return kExitFailure;

    bool scaleOk = false;
    const int scale = qEnvironmentVariableIntValue("SONARO_TIMING_SCALE", &scaleOk);
    Console console(settings.yes);
    return run(settings, console, scaleOk && scale > 1 ? scale : 1);
}
