#include "ui/MessageBoxOperator.h"

#include "ui/ThemedMessageBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QRegularExpression>

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

namespace {

QString offlineText(const char* text)
{
    return QCoreApplication::translate("sonaro::ui::MessageBoxOperator", text);
}

// A setting's name as the session gives it ("unit 2: input 3 phantom", "hold time"), in the
// operator's language.
QString settingText(const QString& name)
{
    // The settings' own words, for the translation.
    [[maybe_unused]] static const char* const kWords[] = {
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "gain"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "mute"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "phantom"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "line"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "low cut"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "priority"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "feedback"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "EQ"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "high-pass"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "low-pass"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "level"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "limiter"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "routing"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "threshold"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "output selection"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "threshold mode"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "device mode"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "panel lock"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "maximum open channels"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "hold time"),
        QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "groups"),
    };
    static const QRegularExpression pattern(
        QStringLiteral("^(?:unit (\\d+): )?(?:(input|output) (\\d+) )?(.+)$"));
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch()) return name;
    QString text = offlineText(m.captured(4).toUtf8().constData());
    if (m.captured(2) == QLatin1String("input"))
        text = offlineText("input %1 %2").arg(m.captured(3), text);
    else if (m.captured(2) == QLatin1String("output"))
        text = offlineText("output %1 %2").arg(m.captured(3), text);
    if (!m.captured(1).isEmpty()) text = offlineText("unit %1: %2").arg(m.captured(1), text);
    return text;
}

} // namespace

void MessageBoxOperator::chooseOfflineSettings(const QStringList& differences,
                                               std::function<void(OfflineChoice)> answer)
{
    constexpr int kListed = 8;
    auto tr = [](const char* text) { return offlineText(text); };
    QString text = tr("Settings changed while offline differ from the unit's:");
    for (int i = 0; i < differences.size() && i < kListed; ++i)
        text += QStringLiteral("\n  \u2022 ") + settingText(differences[i]);
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
