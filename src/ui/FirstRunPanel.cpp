#include "ui/FirstRunPanel.h"

#include "ui/kit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonaro::ui {

namespace {
constexpr int kMargin = 14;
constexpr int kCorner = 8;
constexpr int kAddressWidth = 150;
constexpr int kRefusalFrame = 2;
} // namespace

FirstRunPanel::FirstRunPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("firstRunPanel"));
    const Theme& theme = Theme::instance();
    m_title = new QLabel(this);
    m_title->setFont(theme.font(16, true));
    m_text = new QLabel(this);
    m_text->setWordWrap(true);
    QPalette dim = m_text->palette();
    dim.setColor(QPalette::WindowText, theme.textDim);
    m_text->setPalette(dim);

    m_search = new QPushButton(this);
    m_search->setDefault(true);
    m_addressLabel = new QLabel(this);
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("firstRunAddress"));
    m_address->setFixedWidth(kAddressWidth);
    m_address->setPlaceholderText(QStringLiteral("192.168.1.100"));
    m_connect = new QPushButton(this);
    m_offline = new QPushButton(this);
    m_problem = new QLabel(this);
    QPalette red = m_problem->palette();
    red.setColor(QPalette::WindowText, theme.muteRed);
    m_problem->setPalette(red);
    m_problem->hide();
    m_addressLabel->setBuddy(m_address);

    connect(m_search, &QPushButton::clicked, this, &FirstRunPanel::searchRequested);
    const auto enter = [this] { emit addressEntered(m_address->text().trimmed()); };
    connect(m_connect, &QPushButton::clicked, this, enter);
    connect(m_address, &QLineEdit::returnPressed, this, enter);
    connect(m_address, &QLineEdit::textEdited, this, &FirstRunPanel::clearRefusal);
    connect(m_offline, &QPushButton::clicked, this, [this] {
        setFolded(true);
        emit offlineChosen();
    });

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(m_title);
    row->addSpacing(kMargin);
    row->addWidget(m_search);
    row->addSpacing(kMargin);
    row->addWidget(m_addressLabel);
    row->addWidget(m_address);
    row->addWidget(m_connect);
    row->addSpacing(kMargin);
    row->addWidget(m_offline);
    row->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(8);
    layout->addLayout(row);
    layout->addWidget(m_text);
    layout->addWidget(m_problem);
    retranslate();
}

void FirstRunPanel::setFolded(bool folded)
{
    m_folded = folded;
    for (QWidget* w : {static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_addressLabel),
                       static_cast<QWidget*>(m_address), static_cast<QWidget*>(m_connect),
                       static_cast<QWidget*>(m_offline)})
        w->setVisible(!folded);
    if (folded) clearRefusal();
    retranslate();
}

void FirstRunPanel::refuseAddress(const QString& why)
{
    m_address->setStyleSheet(QStringLiteral("QLineEdit { border: %1px solid %2; }")
                                 .arg(kRefusalFrame)
                                 .arg(Theme::instance().muteRed.name()));
    m_address->setToolTip(why);
    m_problem->setText(why);
    m_problem->show();
    m_address->setFocus();
    m_address->selectAll();
}

void FirstRunPanel::clearRefusal()
{
    m_address->setStyleSheet(QString());
    m_address->setToolTip(QString());
    m_problem->clear();
    m_problem->hide();
}

void FirstRunPanel::retranslate()
{
    m_title->setText(m_folded ? tr("Working offline: no unit has been connected yet")
                              : tr("No unit connected"));
    m_text->setText(tr("The strips show the unit's factory settings until a unit is connected. "
                       "Search the network for a unit, type its address, or work offline: names, "
                       "groups, gains, EQ and presets can be prepared now and are offered to the "
                       "unit when it is connected."));
    setAccessibleName(m_title->text());
    m_search->setText(tr("SEARCH..."));
    m_addressLabel->setText(tr("Unit address:"));
    m_connect->setText(tr("CONNECT"));
    m_offline->setText(tr("WORK OFFLINE"));
}

void FirstRunPanel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QFrame::changeEvent(event);
}

void FirstRunPanel::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(theme.accent, 1.0));
    p.setBrush(theme.panelRaised);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCorner, kCorner);
}

} // namespace sonaro::ui
