// sonaroctl: command-line control of a Sonaro mixer unit for scripts and installers.
//
//   sonaroctl [--data-dir DIR] [--bind ADDR] [--address ADDR] [--port N] [--user NAME]
//             [--password PSW] [--json] [--log FILE] COMMAND ...
//
// A thin main over the core the desktop program uses; see 'sonaroctl --help'. The environment
// variable SONARO_TIMING_SCALE=N (not shown in the help) divides every link timing and time-out
// by N, so that tests do not wait for the protocol's seconds.

#include "CtlArguments.h"
#include "CtlRunner.h"
#include "TextEscape.h"

#include "model/Version.h"
#include "store/DataDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: the event loop picks the byte up.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// Reads a password from the terminal without echo. Runs before the event loop starts.
QString promptPassword(const QString& prompt)
{
    std::fprintf(stderr, "%s: ", qPrintable(prompt));
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

int usageError(const QString& message)
{
    std::fprintf(stderr, "sonaroctl: %s\nTry 'sonaroctl --help'.\n", qPrintable(message));
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The same names as the desktop program, so that both find the same per-user data directory.
    QCoreApplication::setApplicationName(QStringLiteral("Sonaro"));
    QCoreApplication::setOrganizationName(QStringLiteral("Sonaro"));

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const qsizetype optionsEnd = arguments.indexOf(QStringLiteral("--"));
    if (arguments.first(optionsEnd < 0 ? arguments.size() : optionsEnd)
            .contains(QStringLiteral("--version"))) {
        std::printf("sonaroctl %s\n", sonaro::kVersion);
        return kExitSuccess;
    }
    ParseResult parsed = parseArguments(arguments);
    if (parsed.outcome == ParseResult::Outcome::Help) {
        std::fputs(qPrintable(parsed.helpText), stdout);
        return kExitSuccess;
    }
    if (parsed.outcome == ParseResult::Outcome::Usage) return usageError(parsed.error);
    CtlSettings& settings = parsed.settings;

    const bool logsIn =
        settings.command != Command::Discover && settings.command != Command::PresetShow;
    if (logsIn && !settings.passwordGiven) {
        const QByteArray fromEnvironment = qgetenv("SONARO_PASSWORD");
        if (!fromEnvironment.isEmpty())
            settings.password = QString::fromLocal8Bit(fromEnvironment);
        else if (::isatty(STDIN_FILENO))
            settings.password =
                promptPassword(QStringLiteral("Password for %1 at %2")
                                   .arg(settings.user, settings.deviceAddress.isEmpty()
                                                           ? QStringLiteral("the unit")
                                                           : settings.deviceAddress));
        else
            return usageError(QStringLiteral("no password: give --password, set SONARO_PASSWORD "
                                             "or run on a terminal"));
        const QString error = checkAccountText(QStringLiteral("the password"), settings.password);
        if (!error.isEmpty()) return usageError(error);
    }

    if (settings.command == Command::AccountChange) {
        // Never from the command line, where other users and the shell history see it.
        const QByteArray fromEnvironment = qgetenv("SONARO_NEW_PASSWORD");
        if (!fromEnvironment.isEmpty()) {
            settings.newPassword = QString::fromLocal8Bit(fromEnvironment);
        } else if (::isatty(STDIN_FILENO)) {
            settings.newPassword = promptPassword(QStringLiteral("New password"));
            if (promptPassword(QStringLiteral("New password again")) != settings.newPassword)
                return usageError(QStringLiteral("the two new passwords differ"));
        } else {
            return usageError(QStringLiteral("no new password: set SONARO_NEW_PASSWORD or run on "
                                             "a terminal"));
        }
        const QString error =
            checkNewAccountText(QStringLiteral("the new password"), settings.newPassword);
        if (!error.isEmpty()) return usageError(error);
    }

    if (settings.command == Command::FactoryRestore && !settings.yes) {
        // Asked here, before anything is sent; a closed standard input is a No.
        std::fputs("Restore Factory Settings? [y/N] ", stderr);
        std::fflush(stderr);
        std::string answer;
        const bool got = static_cast<bool>(std::getline(std::cin, answer));
        if (!got) std::fputc('\n', stderr);
        const QString reply = QString::fromStdString(answer).trimmed().toLower();
        if (!got || (reply != QLatin1String("y") && reply != QLatin1String("yes"))) {
            std::fputs("sonaroctl: factory restore not confirmed: nothing was changed (give --yes "
                       "to restore without asking)\n",
                       stderr);
            return kExitFailure;
        }
        settings.yes = true;
    }

    // A data directory that was named but does not exist is made only inside an existing
    // directory, and the operator is told: a mistyped path must not grow a tree of its own.
    if (settings.command != Command::PresetShow) {
        const QString named = !settings.dataDir.isEmpty()
                                  ? settings.dataDir
                                  : qEnvironmentVariable(sonaro::kDataDirEnvironment);
        if (!named.isEmpty() && !QFileInfo(named).isDir()) {
            const QFileInfo info(named);
            if (info.exists())
                return usageError(QStringLiteral("the data directory %1 is not a directory")
                                      .arg(escapeControls(named)));
            if (!info.absoluteDir().exists())
                return usageError(QStringLiteral("the data directory %1 does not exist, nor does "
                                                 "its parent")
                                      .arg(escapeControls(named)));
            if (!QDir().mkdir(info.absoluteFilePath())) {
                std::fprintf(stderr, "sonaroctl: cannot create the data directory %s\n",
                             qPrintable(escapeControls(named)));
                return kExitFailure;
            }
            std::fprintf(stderr, "sonaroctl: created the data directory %s\n",
                         qPrintable(escapeControls(named)));
        }
    }

    bool scaleOk = false;
    const int scale = qEnvironmentVariableIntValue("SONARO_TIMING_SCALE", &scaleOk);

    CtlRunner runner(settings, scaleOk && scale > 1 ? scale : 1);
    QObject::connect(
        &runner, &CtlRunner::finished, &app, [](int status) { QCoreApplication::exit(status); },
        Qt::QueuedConnection);

    // Ctrl-C and SIGTERM end the run through the event loop, so the stream is switched off.
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &runner, [&runner] {
            char byte = 0;
            [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
            runner.interrupt();
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

    QTimer::singleShot(0, &runner, &CtlRunner::start);
    return QCoreApplication::exec();
}
