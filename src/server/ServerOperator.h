#pragma once

#include "model/OperatorInterface.h"

#include <QString>

#include <functional>

// How the core speaks to nobody in particular: the service has no operator at a screen. Messages
// go to standard error (the journal, under the service), questions are answered No (nothing the
// core would ask about is done on a remote client's behalf: no file is moved, no EQ overwritten),
// and settings changed while no unit was logged in are not sent (the server takes no changes
// then). The last error or warning is kept, so that a failed preset can say why.
namespace sonaro::server {

class ServerOperator : public OperatorInterface
{
public:
    using Sink = std::function<void(const QString& line)>;
    // Lines go to sink (standard error when none is given).
    explicit ServerOperator(Sink sink = {});

    void showMessage(Severity severity, const QString& text) override;
    bool confirm(Severity severity, const QString& text) override;
    void chooseOfflineSettings(const QList<ChangeId>& differences,
                               std::function<void(OfflineChoice)> answer) override;

    // The newest error or warning since the last clearProblem().
    QString problem() const { return m_problem; }
    void clearProblem() { m_problem.clear(); }

private:
    void say(const QString& line);

    Sink m_sink;
    QString m_problem;
};

} // namespace sonaro::server
