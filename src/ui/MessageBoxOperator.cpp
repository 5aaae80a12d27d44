#include "ui/MessageBoxOperator.h"

#include "ui/ThemedMessageBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>

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

void MessageBoxOperator::chooseOfflineSettings(const QStringList& differences,
                                               std::function<void(OfflineChoice)> answer)
{
    constexpr int kListed = 8;
    auto tr = [](const char* text) {
        return QCoreApplication::translate("sonaro::ui::MessageBoxOperator", text);
    };
    QString text = tr("Settings changed while offline differ from the unit's:");
    for (int i = 0; i < differences.size() && i < kListed; ++i)
        text += QStringLiteral("\n  \u2022 ") + differences[i];
    if (differences.size() > kListed)
        text += QStringLiteral("\n  ") + tr("and %1 more").arg(differences.size() - kListed);
    text += QStringLiteral("\n\n") + tr("Send your offline settings to the unit, or take the "
                                        "unit's settings?");
    auto* box =
        new ThemedMessageBox(Severity::Notice, text, ThemedMessageBox::Buttons::YesNo, boxParent());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->acceptButton()->setText(tr("Send my settings"));
    box->rejectButton()->setText(tr("Take the unit's"));
    QObject::connect(box, &QDialog::finished, box, [answer](int result) {
        answer(result == QDialog::Accepted ? OfflineChoice::SendMine : OfflineChoice::TakeUnits);
    });
    box->open();
}

} // namespace sonaro::ui
