#include "ui/GroupDialog.h"

#include "mixer/GroupEditor.h"
#include "ui/MessageLine.h"
#include "ui/kit/PaintedButton.h"
#include "ui/kit/Theme.h"

#include <QEvent>

#include <cmath>

namespace sonaro::ui {

namespace {

// Client pixels of the dialog's layout.
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kChannelWidth = 120;
constexpr int kGroupRowY = 50;
constexpr int kChannelRowY = 100;
constexpr int kChannelRowStep = 30;
constexpr int kChannelColumnStep = 150;
constexpr int kChannelsPerRow = 4;
constexpr int kLinkRowY = 200;
constexpr int kLinkStep = 100;
constexpr int kButtonRowY = 250;
constexpr int kOkX = 200;
constexpr int kCancelX = 350;
constexpr int kClientWidth = 670;
// Below the buttons, the dialog's message line (the refusals of a channel).
constexpr int kMessageRowY = 284;
constexpr int kClientHeight = 320;

} // namespace

QRect GroupDialog::placed(int x, int y, int width, int height)
{
    const auto s = [](int v) { return static_cast<int>(std::lround(v * kScale)); };
    return {s(x), s(y), s(width), s(height)};
}

GroupDialog::GroupDialog(GroupEditor& model, QWidget* parent) : QDialog(parent), m_model(model)
{
    const Theme& theme = Theme::instance();
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme.panel);
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(placed(0, 0, kClientWidth, kClientHeight).size());

    m_model.open();
    for (int n = 1; n <= GroupTable::kSlots; ++n) {
        auto* b = new PaintedButton(this);
        b->setCheckable(true);
        b->setCheckedColour(theme.tabGreen);
        b->setGeometry(placed(kLinkStep * n, kGroupRowY, kButtonWidth, kButtonHeight));
        connect(b, &PaintedButton::clicked, this, [this, n] {
            m_model.clickGroup(n);
            sync();
        });
        m_groups[static_cast<std::size_t>(n - 1)] = b;
    }
    for (int s = 1; s <= kGroupChannels; ++s) {
        const int k = s - 1;
        auto* b = new PaintedButton(this);
        b->setCheckable(true);
        b->setLampVisible(true);
        b->setCheckedColour(theme.accent);
        b->setGeometry(placed(50 + kChannelColumnStep * (k % kChannelsPerRow),
                              kChannelRowY + kChannelRowStep * (k / kChannelsPerRow), kChannelWidth,
                              kButtonHeight));
        connect(b, &PaintedButton::clicked, this, [this, s] {
            m_model.clickChannel(s);
            sync();
        });
        m_channels[static_cast<std::size_t>(k)] = b;
    }
    for (int f = 0; f < kLinkFlagCount; ++f) {
        auto* b = new PaintedButton(this);
        b->setCheckable(true);
        b->setCheckedColour(theme.priorityAmber);
        b->hide();
        connect(b, &PaintedButton::clicked, this, [this, f] {
            m_model.clickLink(static_cast<LinkFlag>(f));
            sync();
        });
        m_links[static_cast<std::size_t>(f)] = b;
    }
    m_ok = new PaintedButton(this);
    m_ok->setGeometry(placed(kOkX, kButtonRowY, kButtonWidth, kButtonHeight));
    m_cancel = new PaintedButton(this);
    m_cancel->setGeometry(placed(kCancelX, kButtonRowY, kButtonWidth, kButtonHeight));
    connect(m_ok, &PaintedButton::clicked, this, &GroupDialog::accept);
    connect(m_cancel, &PaintedButton::clicked, this, &GroupDialog::reject);
    auto* line = new MessageLine(this);
    line->setGeometry(placed(10, kMessageRowY, kClientWidth - 20, kButtonHeight + 4));

    retranslate();
    sync();
}

PaintedButton* GroupDialog::groupButton(int n) const
{
    return n >= 1 && n <= GroupTable::kSlots ? m_groups[static_cast<std::size_t>(n - 1)] : nullptr;
}

PaintedButton* GroupDialog::channelButton(int serialId) const
{
    return serialId >= 1 && serialId <= kGroupChannels
               ? m_channels[static_cast<std::size_t>(serialId - 1)]
               : nullptr;
}

PaintedButton* GroupDialog::linkButton(LinkFlag flag) const
{
    return m_links[static_cast<std::size_t>(flag)];
}

void GroupDialog::sync()
{
    for (int n = 1; n <= GroupTable::kSlots; ++n)
        groupButton(n)->setChecked(m_model.groupButtonOn(n));
    for (int s = 1; s <= kGroupChannels; ++s) {
        PaintedButton* b = channelButton(s);
        b->setChecked(m_model.channelButtonOn(s));
        b->setText(m_model.channelCaption(s));
        b->setToolTip(s <= kGroupInputChannels ? tr("Input %1").arg(s)
                                               : tr("Output %1").arg(s - kGroupInputChannels));
    }
    for (PaintedButton* b : m_links)
        b->hide();
    // The shown link buttons sit side by side from the left, in the model's order.
    const std::vector<LinkFlag>& visible = m_model.visibleLinks();
    for (std::size_t i = 0; i < visible.size(); ++i) {
        PaintedButton* b = linkButton(visible[i]);
        b->setGeometry(
            placed(50 + kLinkStep * static_cast<int>(i), kLinkRowY, kButtonWidth, kButtonHeight));
        b->setChecked(m_model.linkButtonOn(visible[i]));
        b->show();
    }
}

void GroupDialog::accept()
{
    m_model.accept();
    QDialog::accept();
}

void GroupDialog::reject()
{
    m_model.reject();
    QDialog::reject();
}

void GroupDialog::retranslate()
{
    setWindowTitle(tr("GROUP"));
    for (int n = 1; n <= GroupTable::kSlots; ++n)
        groupButton(n)->setText(tr("GROUP %1").arg(n));
    linkButton(kGainLink)->setText(tr("GAIN"));
    linkButton(kMuteLink)->setText(tr("MUTE"));
    linkButton(kPriorityLink)->setText(tr("PRIORITY"));
    linkButton(kPhantomLink)->setText(tr("PHANTOM"));
    linkButton(kEqLink)->setText(tr("EQ"));
    linkButton(kLimiterLink)->setText(tr("LIMITER"));
    // The captions are the unit's own; the tooltips say in the operator's language what a link
    // does.
    const std::pair<LinkFlag, const char*> links[] = {
        {kGainLink, QT_TR_NOOP("The faders of the group move together")},
        {kMuteLink, QT_TR_NOOP("The group mutes together")},
        {kPriorityLink, QT_TR_NOOP("The group's priority switches together")},
        {kPhantomLink, QT_TR_NOOP("The group's phantom power switches together")},
        {kEqLink, QT_TR_NOOP("The EQ edits reach every channel of the group")},
        {kLimiterLink, QT_TR_NOOP("The limiter edits reach both outputs")},
    };
    for (const auto& [flag, tip] : links) {
        linkButton(flag)->setToolTip(tr(tip));
        linkButton(flag)->setAccessibleDescription(tr(tip));
    }
    m_ok->setText(tr("OK"));
    m_cancel->setText(tr("CANCEL"));
    sync();
}

void GroupDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
