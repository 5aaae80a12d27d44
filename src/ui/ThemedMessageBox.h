#pragma once

#include "model/Severity.h"

#include <QDialog>

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

} // namespace sonaro::ui
