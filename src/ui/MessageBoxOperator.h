#pragma once

#include "model/OperatorInterface.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

namespace sonaro::ui {

// The program's own modal message box: a badge that follows the severity, the text, and either OK
// or Yes/No. The window title is the severity's title ("ERROR", "INFO", "Info", "Warming").
class ThemedMessageBox : public QDialog
{
    Q_OBJECT
public:
    enum class Buttons
    {
        Ok,
        YesNo
    };

    ThemedMessageBox(Severity severity, const QString& text, Buttons buttons,
                     QWidget* parent = nullptr);

    QString text() const;
    // OK, or Yes of a question.
    QPushButton* acceptButton() const { return m_accept; }
    // No of a question; nullptr for a message.
    QPushButton* rejectButton() const { return m_reject; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    Buttons m_buttons;
    QLabel* m_text = nullptr;
    QPushButton* m_accept = nullptr;
    QPushButton* m_reject = nullptr;
};

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

private:
    QWidget* boxParent() const;

    QPointer<QWidget> m_parent;
};

} // namespace sonaro::ui
