#pragma once

#include "model/Severity.h"

#include <QString>

namespace sonaro {

// How the core speaks to the operator. The desktop program shows message boxes, sonaroctl prints,
// tests record. The core never opens a window itself.
class OperatorInterface
{
public:
    virtual ~OperatorInterface() = default;
    // A message. It never waits for the operator: frame handlers and timers raise messages too.
    virtual void showMessage(Severity severity, const QString& text) = 0;
    // A Yes/No question; true for Yes. Asked only from an operator action, never from a frame
    // handler or a timer.
    virtual bool confirm(Severity severity, const QString& text) = 0;
};

} // namespace sonaro
