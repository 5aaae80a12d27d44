#include "mixer/LoggingOperator.h"

namespace sonaro {

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

} // namespace sonaro
