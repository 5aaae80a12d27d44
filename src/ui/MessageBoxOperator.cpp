#include "ui/MessageBoxOperator.h"

#include "ui/MessageLine.h"
#include "ui/ThemedMessageBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>

namespace sonaro::ui {

QWidget* MessageBoxOperator::boxParent() const
{
    // Over the dialog the operator is in, so that the box never hides behind it.
    // Never over another message box: closing that one would take this one with it.
    QWidget* modal = QApplication::activeModalWidget();
    while (qobject_cast<ThemedMessageBox*>(modal))
        modal = modal->parentWidget();
    if (modal) return modal;
    if (m_parent) return m_parent.data();
    return QApplication::activeWindow();
}

void MessageBoxOperator::attachEventLog(EventLog& log)
{
    QObject::connect(&log, &EventLog::eventAdded, &log, [this](const Event& event) {
        m_beforeLast = std::exchange(m_last, Recent{event.kind, event.text, event.shownText()});
    });
}

MessageLine* MessageBoxOperator::currentLine() const
{
    // The dialog in front, else the window in front (an editor), else the main window.
    QWidget* candidates[] = {QApplication::activeModalWidget(), QApplication::activeWindow(),
                             m_parent ? m_parent->window() : nullptr};
    for (QWidget* w : candidates) {
        if (!w || qobject_cast<ThemedMessageBox*>(w)) continue;
        if (auto* line = w->findChild<MessageLine*>()) return line;
    }
    return nullptr;
}

void MessageBoxOperator::boxMessage(Severity severity, const QString& text)
{
    // Window-modal over its parent, without a nested event loop: the box deletes itself when the
    // operator closes it.
    auto* box = new ThemedMessageBox(severity, text, ThemedMessageBox::Buttons::Ok, boxParent());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MessageBoxOperator::showMessage(Severity severity, const QString& text)
{
    // The core logged the message just now ("TITLE: text"): its kind says what it is about.
    const bool logged = m_last.kind != EventKind::Refused &&
                        m_last.text.startsWith(severityTitle(severity) + QStringLiteral(": "));
    const EventKind kind = logged ? m_last.kind : EventKind::Message;
    const QString refusal =
        logged && m_beforeLast.kind == EventKind::Refused ? m_beforeLast.shown : QString();
    m_last = m_beforeLast = Recent{};
    const bool alarm = severity == Severity::Error || severity == Severity::Warning;
    const bool aboutFiles =
        kind == EventKind::Storage || kind == EventKind::StateFile || kind == EventKind::Preset;
    MessageLine* line = currentLine();
    if ((alarm && aboutFiles) || !line) {
        boxMessage(severity, text);
        return;
    }
    line->showMessage(severity, text, refusal);
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

} // namespace

void MessageBoxOperator::chooseOfflineSettings(const QList<ChangeId>& differences,
                                               std::function<void(OfflineChoice)> answer)
{
    constexpr int kListed = 8;
    QString text =
        offlineText(QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator",
                                      "Settings changed while offline differ from the unit's:"));
    for (int i = 0; i < differences.size() && i < kListed; ++i)
        text += QStringLiteral("\n  \u2022 ") + SettingCatalogue::label(differences[i]);
    if (differences.size() > kListed)
        text += QStringLiteral("\n  ") +
                offlineText(QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "and %1 more"))
                    .arg(differences.size() - kListed);
    text +=
        QStringLiteral("\n\n") +
        offlineText(QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator",
                                      "Send your offline settings to the unit, or take the unit's "
                                      "settings?"));
    auto* box =
        new ThemedMessageBox(Severity::Notice, text, ThemedMessageBox::Buttons::YesNo, boxParent());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->acceptButton()->setText(
        offlineText(QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "Send my settings")));
    box->rejectButton()->setText(
        offlineText(QT_TRANSLATE_NOOP("sonaro::ui::MessageBoxOperator", "Take the unit's")));
    QObject::connect(box, &QDialog::finished, box, [answer](int result) {
        answer(result == QDialog::Accepted ? OfflineChoice::SendMine : OfflineChoice::TakeUnits);
    });
    box->open();
}

} // namespace sonaro::ui
