#pragma once

#include "mixer/EventLog.h"
#include "model/OperatorInterface.h"

namespace sonaro {

// Passes every message and question on to the operator interface it wraps and logs it first,
// with its title ("ERROR: Save Fail: ..."), questions with the answer. The kind says what raised
// the message: Message for most, Preset or Storage for the file actions and the database, so
// that their outcomes are found under their own kind.
class LoggingOperator : public OperatorInterface
{
public:
    LoggingOperator(OperatorInterface& inner, EventLog& log, EventKind kind = EventKind::Message);

    void showMessage(Severity severity, const QString& text) override;
    bool confirm(Severity severity, const QString& text) override;
    void chooseOfflineSettings(const QList<ChangeId>& differences,
                               std::function<void(OfflineChoice)> answer) override;

    EventKind kind() const { return m_kind; }
    void setKind(EventKind kind) { m_kind = kind; }

    // Logs under another kind while it lives (the state file, written through the file actions).
    class KindScope
    {
    public:
        KindScope(LoggingOperator& op, EventKind kind) : m_op(op), m_previous(op.kind())
        {
            op.setKind(kind);
        }
        ~KindScope() { m_op.setKind(m_previous); }
        KindScope(const KindScope&) = delete;
        KindScope& operator=(const KindScope&) = delete;

    private:
        LoggingOperator& m_op;
        EventKind m_previous;
    };

private:
    OperatorInterface& m_inner;
    EventLog& m_log;
    EventKind m_kind;
};

} // namespace sonaro
