#include "ui/MessageBoxOperator.h"

#include "ui/ThemedMessageBox.h"

#include <QApplication>

namespace sonaro::ui {

QWidget* MessageBoxOperator::boxParent() const
{
    // Over the dialog the operator is in (the search dialog's "Search finished.", the login
    // dialog's refusal), so that the box never hides behind it.
    // Never over another message box: closing that one would take this one with it.
    QWidget* modal = QApplication::activeModalWidget();
    while (qobject_cast<ThemedMessageBox*>(modal))
        modal = modal->parentWidget();
    if (modal) return modal;
    if (m_parent) return m_parent.data();
    return QApplication::activeWindow();
}

void MessageBoxOperator::showMessage(Severity severity, const QString& text)
{
    // Window-modal over its parent, without a nested event loop: the box deletes itself when the
    // operator closes it.
    auto* box = new ThemedMessageBox(severity, text, ThemedMessageBox::Buttons::Ok, boxParent());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool MessageBoxOperator::confirm(Severity severity, const QString& text)
{
    ThemedMessageBox box(severity, text, ThemedMessageBox::Buttons::YesNo, boxParent());
    return box.exec() == QDialog::Accepted;
}

} // namespace sonaro::ui
