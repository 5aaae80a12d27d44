#pragma once

#include "model/OperatorInterface.h"

#include <QPointer>
#include <QWidget>

namespace sonaro::ui {

// The desktop program's operator interface: every message and question of the core opens a
// themed modal box over the window the operator is working in (an open dialog first, else the
// main window). A message box is opened and left to the operator: showMessage() returns at once,
// so a frame handler or a timer that raises one goes on, and the next datagram or tick is handled
// after it, never inside a nested event loop. A question waits for its answer; questions come
// only from operator actions.
class MessageBoxOperator : public OperatorInterface
{
public:
    explicit MessageBoxOperator(QWidget* parent = nullptr) : m_parent(parent) {}

    // The window boxes open over when no modal dialog is open (the main window, once it exists).
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void showMessage(Severity severity, const QString& text) override;
    bool confirm(Severity severity, const QString& text) override;
    // A themed box listing what differs, with "Send my settings" and "Take the unit's"; opened
    // without waiting, the answer is given when the operator chooses (closing it takes the
    // unit's settings: nothing is sent that was not chosen).
    void chooseOfflineSettings(const QStringList& differences,
                               std::function<void(OfflineChoice)> answer) override;

private:
    QWidget* boxParent() const;

    QPointer<QWidget> m_parent;
};

} // namespace sonaro::ui
