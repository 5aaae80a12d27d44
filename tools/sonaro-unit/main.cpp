// sonaro-unit: virtual mixer units that speak the unit side of the protocol.
#include "model/SavedFile.h"
#include "model/Version.h"
#include "unit/VirtualUnit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

using namespace sonaro;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sonaro-unit"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Virtual Sonaro mixer units. Each unit binds its own address on the link port and\n"
        "answers every request to the sender's address and port: I with P, R with R, C with S,\n"
        "F with A, T with U, M with D, E with Q, B with H, J with N, X with Y (when the old\n"
        "password matches); it applies V, G and J, and streams L status frames every 50 ms\n"
        "while the stream is on, with simulated speech levels and automix open states.\n\n"
        "Accounts: administrator \"admin\" with password \"888888\", user \"user\" with\n"
        "password \"666666\" (change them with the options below or with the program's\n"
        "account change)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption address({"a", "address"},
                                     "Address of a unit (repeat for several units; default "
                                     "127.0.0.2). Use 127.x addresses for local tries.",
                                     "ip");
    const QCommandLineOption port({"p", "port"}, "Link port (default 5000).", "port", "5000");
    const QCommandLineOption units("units", "Unit count reported by the login answer (default 1).",
                                   "n", "1");
    const QCommandLineOption adminPassword("admin-password", "Administrator password.", "text",
                                           "888888");
    const QCommandLineOption userPassword("user-password", "User password.", "text", "666666");
    const QCommandLineOption status("status-interval", "Milliseconds between status frames.", "ms",
                                    "50");
    const QCommandLineOption dropIn("drop-in", "Probability (0..1) that a received frame is lost.",
                                    "p", "0");
    const QCommandLineOption dropOut("drop-out", "Probability (0..1) that a sent frame is lost.",
                                     "p", "0");
    const QCommandLineOption corrupt("corrupt", "Probability (0..1) of a wrong checksum.", "p",
                                     "0");
    const QCommandLineOption delay("delay", "Milliseconds before each answer.", "ms", "0");
    const QCommandLineOption silenceAfter("silence-after",
                                          "Fall silent this many ms after start ...", "ms");
    const QCommandLineOption silenceFor("silence-for", "... for this many ms (default 5000).", "ms",
                                        "5000");
    const QCommandLineOption log("log",
                                 "Append every datagram received as a JSON line to this file "
                                 "(fields ms, unit, from, frame, dropped), readable by its "
                                 "owner only; login and account fields are masked.",
                                 "file");
    const QCommandLineOption refuse("refuse-before-login",
                                    "Answer and apply nothing but a login and a search probe "
                                    "before an accepted login, as a real unit.");
    const QCommandLineOption frontPanel("front-panel",
                                        "Make a front-panel change every this many ms and tell "
                                        "it to the program (O, D, Z and K frames in turn).",
                                        "ms");
    const QCommandLineOption seed("seed", "Seed of the simulation and the fault injection.", "n",
                                  "1");
    parser.addOptions({address, port, units, adminPassword, userPassword, status, dropIn, dropOut,
                       corrupt, delay, silenceAfter, silenceFor, log, seed, refuse, frontPanel});
    parser.process(app);

    QStringList addresses = parser.values(address);
    if (addresses.isEmpty()) addresses << QStringLiteral("127.0.0.2");
    std::vector<std::unique_ptr<VirtualUnit>> running;
    for (const QString& text : addresses) {
        VirtualUnitOptions options;
        options.address = QHostAddress(text);
        if (options.address.isNull()) {
            std::fprintf(stderr, "sonaro-unit: not an address: %s\n", qPrintable(text));
            return 2;
        }
        options.port = static_cast<quint16>(parser.value(port).toUInt());
        options.unitCount = parser.value(units).toInt();
        options.adminPassword = parser.value(adminPassword);
        options.userPassword = parser.value(userPassword);
        options.statusInterval = std::max(1, parser.value(status).toInt());
        options.dropIncoming = parser.value(dropIn).toDouble();
        options.dropOutgoing = parser.value(dropOut).toDouble();
        options.corruptChecksum = parser.value(corrupt).toDouble();
        options.answerDelay = parser.value(delay).toInt();
        options.logPath = parser.value(log);
        if (const QString refused = notARegularFile(options.logPath);
            !options.logPath.isEmpty() && !refused.isEmpty()) {
            std::fprintf(stderr, "sonaro-unit: --log: %s\n", qPrintable(refused));
            return 2;
        }
        options.refuseBeforeLogin = parser.isSet(refuse);
        options.frontPanelInterval = std::max(0, parser.value(frontPanel).toInt());
        options.seed = parser.value(seed).toUInt() + static_cast<unsigned>(running.size());
        auto unit = std::make_unique<VirtualUnit>(options);
        if (!unit->start()) {
            std::fprintf(stderr, "sonaro-unit: cannot bind %s:%s\n", qPrintable(text),
                         qPrintable(parser.value(port)));
            return 1;
        }
        std::printf("unit on %s:%u\n", qPrintable(text), unit->port());
        running.push_back(std::move(unit));
    }
    std::fflush(stdout);
    if (parser.isSet(silenceAfter)) {
        const int forMs = parser.value(silenceFor).toInt();
        QTimer::singleShot(parser.value(silenceAfter).toInt(), &app, [&running, forMs] {
            for (auto& unit : running)
                unit->silence(forMs);
        });
    }
    return QCoreApplication::exec();
}
