// name, eq copy and eq reset: a strip's name dialog and the input EQ window's buttons.
#include "Commands.h"

#include "mixer/InputEqEditor.h"

namespace sonaroctl {

using namespace sonaro;

void runName(CtlSession& s)
{
    s.start(true, [&s](int) {
        const CtlSettings& o = s.settings();
        const ChannelKind kind = o.outputChannel ? ChannelKind::Output : ChannelKind::Input;
        const int index = o.channel - 1;
        const std::optional<QString> current = s.core().channelName(kind, index);
        if (!current) {
            s.finish(kExitFailure, QStringLiteral("the database has no row for this channel"));
            return;
        }
        const QString what =
            QStringLiteral("%1 %2").arg(o.outputChannel ? "output" : "input").arg(o.channel);
        // Done when the database gave the new name back: the delivery tells.
        s.change(
            QStringLiteral("name ") + what,
            [&s, kind, index, current] {
                s.core().renameChannel(kind, index, *current, s.settings().text);
                return Outcome::Applied;
            },
            [&s, what](const QList<ChangeId>&, bool) {
                const CtlSettings& o = s.settings();
                s.console().report(
                    o.json ? jsonLine({{o.outputChannel ? QStringLiteral("output")
                                                        : QStringLiteral("input"),
                                        o.channel},
                                       {QStringLiteral("name"), o.text}})
                           : QStringLiteral("%1 named %2").arg(what, escapeControls(o.text)));
                s.finish(kExitSuccess);
            });
    });
}

void runEq(CtlSession& s)
{
    s.start(true, [&s](int) {
        const CtlSettings& o = s.settings();
        const bool copy = o.command == Command::EqCopy;
        const QString what = copy ? QStringLiteral("eq copy %1 %2").arg(o.channel).arg(o.toChannel)
                                  : QStringLiteral("eq reset %1").arg(o.channel);
        s.change(
            what,
            [&s, copy] {
                // The input EQ window's own logic: linked inputs follow as they do there.
                const CtlSettings& o = s.settings();
                SonaroCore& c = s.core();
                InputEqEditor editor(c.surface(), c.commandPort(), c.operatorInterface());
                editor.selectChannel((copy ? o.toChannel : o.channel) - 1);
                const Outcome outcome = copy ? editor.copyFrom(o.channel - 1) : editor.reset();
                editor.flush();
                return outcome;
            },
            [&s, what](const QList<ChangeId>&, bool) {
                s.console().report(s.settings().json ? jsonLine({{QStringLiteral("done"), what}})
                                                     : what + QStringLiteral(" done"));
                s.finish(kExitSuccess);
            });
    });
}

} // namespace sonaroctl
