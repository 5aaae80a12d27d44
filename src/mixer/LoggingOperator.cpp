#include "mixer/LoggingOperator.h"

namespace sonaro {

namespace {

QString names(const QList<ChangeId>& ids)
{
    QStringList list;
    for (const ChangeId& id : ids)
        list << SettingCatalogue::label(id, Language::English);
    return list.join(QStringLiteral(", "));
}

} // namespace

LoggingOperator::LoggingOperator(OperatorInterface& inner, EventLog& log, EventKind kind)
    : m_inner(inner), m_log(log), m_kind(kind)
{
}

void LoggingOperator::showMessage(Severity severity, const QString& text)
{
    // Logged before it is shown: a box may stay open for a long time.
    m_log.addText(m_kind, severityTitle(severity) + QStringLiteral(": ") + text);
    m_inner.showMessage(severity, text);
}

bool LoggingOperator::confirm(Severity severity, const QString& text)
{
    const bool yes = m_inner.confirm(severity, text);
    m_log.addText(m_kind, severityTitle(severity) + QStringLiteral(": ") + text +
                              (yes ? QStringLiteral(" (Yes)") : QStringLiteral(" (No)")));
    return yes;
}

void LoggingOperator::chooseOfflineSettings(const QList<ChangeId>& differences,
                                            std::function<void(OfflineChoice)> answer)
{
    EventLog* log = &m_log;
    const EventKind kind = m_kind;
    m_inner.chooseOfflineSettings(
        differences, [log, kind, differences, answer = std::move(answer)](OfflineChoice choice) {
            const bool mine = choice == OfflineChoice::SendMine;
            log->addText(kind, (mine ? QStringLiteral("Offline settings sent to the unit: ")
                                     : QStringLiteral("The unit's settings taken over: ")) +
                                   names(differences));
            answer(choice);
        });
}

} // namespace sonaro
