#pragma once

#include "model/OperatorInterface.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

namespace sonaro::ui {

// The program's own modal message box: a badge that follows the title ("ERROR", "INFO", "Info",
// "Warming"), the text, and either OK or Yes/No. The title is the window title.
class ThemedMessageBox : public QDialog
{
    Q_OBJECT
public:
    enum class Buttons
    {
        Ok,
        YesNo
    };

    ThemedMessageBox(const QString& text, const QString& title, Buttons buttons,
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
// main window).
class MessageBoxOperator : public OperatorInterface
{
public:
    explicit MessageBoxOperator(QWidget* parent = nullptr) : m_parent(parent) {}

    // The window boxes open over when no modal dialog is open (the main window, once it exists).
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void showMessage(const QString& text, const QString& title) override;
    bool confirm(const QString& text, const QString& title) override;

private:
    QWidget* boxParent() const;

    QPointer<QWidget> m_parent;
};

} // namespace sonaro::ui
