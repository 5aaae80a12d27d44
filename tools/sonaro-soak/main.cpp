// sonaro-soak [--seconds N] [--seed N] [--trace FILE]: fault soak of the link against a virtual
// unit on loopback, with changes made at the unit's front panel meanwhile. Prints the read-back's
// share of the datagrams and whether the front-panel changes were kept; the last line is "differing
// fields: N", followed by the names when N > 0.
#include "SoakRunner.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Fault soak against a virtual unit"));
    parser.addHelpOption();
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Length of the random operation."),
                                     QStringLiteral("N"), QStringLiteral("120"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write every datagram and action to FILE."),
                                   QStringLiteral("FILE"));
    parser.addOption(seconds);
    parser.addOption(seed);
    parser.addOption(trace);
    parser.process(app);

    sonaro::SoakOptions options;
    bool ok = false;
    options.seconds = parser.value(seconds).toInt(&ok);
    if (!ok || options.seconds < 1) {
        std::fprintf(stderr, "sonaro-soak: --seconds needs a positive number\n");
        return 2;
    }
    options.seed = parser.value(seed).toUInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "sonaro-soak: --seed needs a number\n");
        return 2;
    }
    options.traceFile = parser.value(trace).toStdString();
    const sonaro::SoakResult r = sonaro::runSoak(options);
    if (!r.loggedIn) return 1;
    std::printf("actions: %d\n", r.actions);
    std::printf("frames sent: %d\n", r.framesSent);
    std::printf("retries: %d (answer waits %d, logins %d)\n", r.answerRetries + r.loginRetries,
                r.answerRetries, r.loginRetries);
    std::printf("re-logins: %d\n", r.relogins);
    const int total = r.framesSent + r.framesReceived;
    std::printf("read-back datagrams: %d of %d (%.1f %%)\n", r.readBackDatagrams, total,
                total > 0 ? 100.0 * r.readBackDatagrams / total : 0.0);
    std::printf("front-panel changes kept: %d of %d heard (%d made)",
                r.panelChangesHeard - static_cast<int>(r.panelReverted.size()), r.panelChangesHeard,
                r.panelChanges);
    for (const std::string& name : r.panelReverted)
        std::printf(" reverted %s", name.c_str());
    std::printf("\n");
    std::printf("differing fields: %zu", r.differing.size());
    for (const std::string& name : r.differing)
        std::printf(" %s", name.c_str());
    std::printf("\n");
    return r.differing.empty() && r.panelReverted.empty() ? 0 : 1;
}
