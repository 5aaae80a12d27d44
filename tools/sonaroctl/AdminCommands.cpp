// factory-restore, address set and account change: the administrator's actions of the system
// page.
#include "Commands.h"

#include "model/HostAddressRules.h"

namespace sonaroctl {

using namespace sonaro;

void runFactoryRestore(CtlSession& s)
{
    s.start(true, [&s](int) {
        s.change(
            QStringLiteral("factory-restore"),
            // Asks through the operator: answered Yes only with --yes or the prompt's yes.
            [&s] {
                return s.core().files().factoryRestore() ? Outcome::Applied : Outcome::Refused;
            },
            [&s](const QList<ChangeId>&, bool) {
                s.console().report(s.settings().json
                                       ? jsonLine({{QStringLiteral("factoryRestored"), true}})
                                       : QStringLiteral("Factory settings restored"));
                s.finish(kExitSuccess);
            });
    });
}

void runAddressSet(CtlSession& s)
{
    s.start(true, [&s](int) {
        quint32 ip = 0;
        parseIpv4(s.settings().text, &ip); // checked with the arguments
        const HostAddressProblem problem =
            hostAddressProblem(ip, s.core().bindAddress().isLoopback());
        if (problem != HostAddressProblem::None) {
            s.finish(kExitUsage, hostAddressProblemText(problem, s.settings().text));
            return;
        }
        const QString wanted = QHostAddress(ip).toString();
        // The unit's answer names where it is now: done only when that is the address asked for.
        QObject::connect(
            &s.core(), &SonaroCore::addressReported, &s,
            [&s, wanted](const QString& address, quint16 port) {
                if (address != wanted) {
                    s.finish(kExitFailure,
                             QStringLiteral("the unit reported the address %1:%2, not %3")
                                 .arg(escapeControls(address))
                                 .arg(port)
                                 .arg(wanted));
                    return;
                }
                s.console().report(
                    s.settings().json
                        ? jsonLine({{QStringLiteral("address"), address},
                                    {QStringLiteral("port"), port}})
                        : QStringLiteral("The unit now answers at %1:%2").arg(address).arg(port));
                s.finish(kExitSuccess);
            });
        s.administer([&s] {
            s.finish(kExitFailure, QStringLiteral("the link dropped before the unit answered"));
        });
        if (!s.core().session().changeAddress(QHostAddress(ip))) s.finish(kExitFailure); // said why
    });
}

void runAccountChange(CtlSession& s)
{
    s.start(true, [&s](int) {
        const CtlSettings& o = s.settings();
        const QString account = o.text.isEmpty() ? o.user : o.text;
        // The unit's whole answer ends the login on purpose; a silence or a time-out does not
        // clear the change.
        s.administer([&s, account] {
            if (s.core().table().current().accountChangePending != 0) {
                s.finish(kExitFailure, QStringLiteral("the link dropped before the unit answered"));
                return;
            }
            s.console().report(
                s.settings().json
                    ? jsonLine(
                          {{QStringLiteral("account"), account}, {QStringLiteral("changed"), true}})
                    : QStringLiteral("Account %1 changed; log in with the new password")
                          .arg(account));
            s.finish(kExitSuccess);
        });
        if (!s.core().session().changeAccount(account, o.password, o.newPassword, o.newPassword))
            s.finish(kExitFailure); // the session said why
    });
}

} // namespace sonaroctl
