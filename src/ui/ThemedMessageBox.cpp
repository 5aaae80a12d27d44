#include "ui/ThemedMessageBox.h"

#include "ui/kit/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonaro::ui {

namespace {

constexpr int kBadgeSize = 36;
constexpr int kTextWidth = 320;
constexpr int kButtonWidth = 88;

// A round badge with "!" or "i", drawn at the screen's pixel ratio so that it stays sharp.
QPixmap badgePixmap(Severity severity, qreal ratio, bool question)
{
    const Theme& theme = Theme::instance();
    QPixmap pixmap(QSize(kBadgeSize, kBadgeSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = severity == Severity::Error     ? theme.muteRed
                          : severity == Severity::Warning ? theme.priorityAmber
                                                          : theme.accent;
    const QRectF circle(1.0, 1.0, kBadgeSize - 2.0, kBadgeSize - 2.0);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(circle);
    p.setPen(theme.text);
    p.setFont(theme.font(kBadgeSize * 3 / 5, true));
    const bool alarm = severity == Severity::Error || severity == Severity::Warning;
    const QString glyph = question ? QStringLiteral("?")
                          : alarm  ? QStringLiteral("!")
                                   : QStringLiteral("i");
    p.drawText(circle, Qt::AlignCenter, glyph);
    return pixmap;
}

} // namespace

ThemedMessageBox::ThemedMessageBox(Severity severity, const QString& text, Buttons buttons,
                                   QWidget* parent)
    : QDialog(parent), m_buttons(buttons)
{
    const Theme& theme = Theme::instance();
    setWindowTitle(severityTitle(severity));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* badge = new QLabel(this);
    badge->setPixmap(badgePixmap(severity, devicePixelRatioF(), buttons == Buttons::YesNo));
    badge->setFixedSize(kBadgeSize, kBadgeSize);

    m_text = new QLabel(text, this);
    m_text->setObjectName(QStringLiteral("messageText"));
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setFont(theme.font(13));
    m_text->setMinimumWidth(kTextWidth * 3 / 4);
    m_text->setMaximumWidth(kTextWidth);

    m_accept = new QPushButton(this);
    m_accept->setMinimumWidth(kButtonWidth);
    connect(m_accept, &QPushButton::clicked, this, &QDialog::accept);
    if (buttons == Buttons::YesNo) {
        m_reject = new QPushButton(this);
        m_reject->setMinimumWidth(kButtonWidth);
        connect(m_reject, &QPushButton::clicked, this, &QDialog::reject);
        // A question changes something: Enter alone must not say Yes.
        m_reject->setDefault(true);
        m_reject->setFocus();
    } else {
        m_accept->setDefault(true);
        m_accept->setFocus();
    }

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(badge, 0, Qt::AlignTop);
    body->addWidget(m_text, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_accept);
    if (m_reject) row->addWidget(m_reject);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(18);
    layout->addLayout(body);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme.panel);
    palette.setColor(QPalette::WindowText, theme.text);
    setPalette(palette);
    setAutoFillBackground(true);
    retranslate();
}

QString ThemedMessageBox::text() const
{
    return m_text->text();
}

void ThemedMessageBox::retranslate()
{
    if (m_buttons == Buttons::YesNo) {
        m_accept->setText(tr("Yes"));
        m_reject->setText(tr("No"));
    } else {
        m_accept->setText(tr("OK"));
    }
}

void ThemedMessageBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
