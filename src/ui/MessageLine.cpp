#include "ui/MessageLine.h"

#include "ui/kit/Theme.h"

#include <QAccessible>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

namespace sonaro::ui {

namespace {
constexpr int kBadge = 10;
constexpr int kBadgeMargin = 8;
constexpr int kHeight = 28;

QColor badgeColour(Severity severity)
{
    const Theme& theme = Theme::instance();
    switch (severity) {
    case Severity::Error:
        return theme.muteRed;
    case Severity::Warning:
        return theme.priorityAmber;
    case Severity::Information:
    case Severity::Notice:
        break;
    }
    return theme.activeGreen;
}

} // namespace

MessageLine::MessageLine(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("messageLine"));
    setMinimumHeight(kHeight);
    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setFont(Theme::instance().font(12, true));
    m_close = new QToolButton(this);
    m_close->setText(QStringLiteral("\u00d7"));
    m_close->setAutoRaise(true);
    m_close->hide();
    connect(m_close, &QToolButton::clicked, this, &MessageLine::clearMessage);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kBadge + 2 * kBadgeMargin, 0, 4, 0);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_close);
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, &MessageLine::clearMessage);
    retranslate();
}

void MessageLine::showMessage(Severity severity, const QString& text, const QString& detail)
{
    m_severity = severity;
    m_shown = true;
    m_text->setText(detail.isEmpty() ? text : text + QStringLiteral("  \u2014  ") + detail);
    m_text->setToolTip(m_text->text());
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::WindowText, severity == Severity::Error ? Theme::instance().text
                                                                       : Theme::instance().textDim);
    m_text->setPalette(palette);
    const bool stays = severity == Severity::Error || severity == Severity::Warning;
    m_close->setVisible(stays);
    if (stays)
        m_expiry.stop();
    else
        m_expiry.start(kResultMs);
    setAccessibleDescription(m_text->text());
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, stays ? QAccessible::Alert : QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void MessageLine::clearMessage()
{
    m_expiry.stop();
    m_shown = false;
    m_text->clear();
    m_text->setToolTip(QString());
    m_close->hide();
    setAccessibleDescription(QString());
    update();
}

QString MessageLine::text() const
{
    return m_text->text();
}

void MessageLine::retranslate()
{
    setAccessibleName(tr("Messages"));
    m_text->setAccessibleName(tr("Message"));
    m_close->setToolTip(tr("Close the message"));
    m_close->setAccessibleName(tr("Close the message"));
}

void MessageLine::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QFrame::changeEvent(event);
}

void MessageLine::paintEvent(QPaintEvent*)
{
    if (!m_shown) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(badgeColour(m_severity));
    p.drawEllipse(QRectF(kBadgeMargin, (height() - kBadge) / 2.0, kBadge, kBadge));
}

} // namespace sonaro::ui
