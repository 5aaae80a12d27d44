#include "server/ServerOperator.h"

#include <QStringList>

#include <cstdio>

namespace sonaro::server {

ServerOperator::ServerOperator(Sink sink) : m_sink(std::move(sink)) {}

void ServerOperator::say(const QString& line)
{
    if (m_sink) {
        m_sink(line);
        return;
    }
    std::fprintf(stderr, "sonaro-server: %s\n", qPrintable(line));
}

void ServerOperator::showMessage(Severity severity, const QString& text)
{
    // The unit's messages may span lines; the journal keeps one entry per line.
    const QString flat = QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    say(QStringLiteral("%1: %2").arg(severityTitle(severity), flat));
    if (severity == Severity::Error || severity == Severity::Warning) m_problem = flat;
}

bool ServerOperator::confirm(Severity severity, const QString& text)
{
    say(QStringLiteral("%1: %2 no (nobody to ask)")
            .arg(severityTitle(severity),
                 QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    return false;
}

void ServerOperator::chooseOfflineSettings(const QList<ChangeId>& differences,
                                           std::function<void(OfflineChoice)> answer)
{
    QStringList labels;
    for (const ChangeId& id : differences)
        labels << SettingCatalogue::label(id, Language::English);
    say(QStringLiteral("settings changed while no unit was logged in stay unsent; the unit's "
                       "are taken: %1")
            .arg(labels.join(QStringLiteral(", "))));
    answer(OfflineChoice::TakeUnits);
}

} // namespace sonaro::server
