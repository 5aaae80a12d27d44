#pragma once

#include "model/Severity.h"

#include <QFrame>
#include <QTimer>

class QLabel;
class QToolButton;

namespace sonaro::ui {

// One line that tells the operator what an action did: the main window's status line, and the
// same line inside the dialogs that raise messages of their own (search, login, groups). It shows
// the latest message with a badge in the severity's colour; results go after a while, errors stay
// until the next message or until the operator closes them. Assistive technology is told of
// every message (an alert for errors).
class MessageLine : public QFrame
{
    Q_OBJECT
public:
    // How long a result stays on the line.
    static constexpr int kResultMs = 12000;

    explicit MessageLine(QWidget* parent = nullptr);

    void showMessage(Severity severity, const QString& text, const QString& detail = {});
    void clearMessage();

    QString text() const;
    Severity severity() const { return m_severity; }
    bool isShowingMessage() const { return m_shown; }
    QLabel* label() const { return m_text; }

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void retranslate();

    QLabel* m_text = nullptr;
    QToolButton* m_close = nullptr;
    QTimer m_expiry;
    Severity m_severity = Severity::Information;
    bool m_shown = false;
};

} // namespace sonaro::ui
