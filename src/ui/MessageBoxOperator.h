#pragma once

#include "mixer/EventLog.h"
#include "model/OperatorInterface.h"

#include <QPointer>
#include <QWidget>

namespace sonaro::ui {

class MessageLine;

// The desktop program's operator interface (docs/decisions/0008-messages-on-the-line.md):
// - questions open a themed modal box over the window the operator is working in and wait;
// - errors and warnings about a file or the database (something was not read or kept) open a
//   box: the operator has to do something about them;
// - everything else, the results of actions, refusals and failed attempts included, goes to the
//   message line of the window the operator is working in (an open dialog's own line, an editor
//   window's, else the main window's status line). A refusal names what was refused.
// showMessage() never waits: a frame handler or a timer that raises a message goes on, and the
// next datagram or tick is handled after it, never inside a nested event loop.
class MessageBoxOperator : public OperatorInterface
{
public:
    explicit MessageBoxOperator(QWidget* parent = nullptr) : m_parent(parent) {}

    // The window messages go to when no dialog or editor is in front (the main window).
    void setParentWidget(QWidget* parent) { m_parent = parent; }
    // The core logs every message before it passes it on; the log tells which messages concern
    // files and storage, and what a refusal refused.
    void attachEventLog(EventLog& log);

    void showMessage(Severity severity, const QString& text) override;
    bool confirm(Severity severity, const QString& text) override;
    // A themed box listing what differs, with "Send my settings" and "Take the unit's"; opened
    // without waiting, the answer is given when the operator chooses (closing it takes the
    // unit's settings: nothing is sent that was not chosen).
    void chooseOfflineSettings(const QList<ChangeId>& differences,
                               std::function<void(OfflineChoice)> answer) override;

    // The line a message would go to now; nullptr when no window has one.
    MessageLine* currentLine() const;

private:
    QWidget* boxParent() const;
    void boxMessage(Severity severity, const QString& text);

    struct Recent
    {
        EventKind kind = EventKind::Message;
        QString text;
        QString shown;
    };

    QPointer<QWidget> m_parent;
    Recent m_last;
    Recent m_beforeLast;
};

} // namespace sonaro::ui
