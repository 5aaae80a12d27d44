#include "ui/NameDialog.h"

#include "ui/kit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonaro::ui {

namespace {
constexpr int kEditWidth = 220;
constexpr int kButtonWidth = 88;
} // namespace

NameDialog::NameDialog(const QString& current, QWidget* parent) : QDialog(parent)
{
    const Theme& theme = Theme::instance();
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_label = new QLabel(this);
    m_label->setFont(theme.font(12, true));
    m_edit = new QLineEdit(current, this);
    m_edit->setMinimumWidth(kEditWidth);
    m_edit->selectAll();
    m_label->setBuddy(m_edit);
    m_ok = new QPushButton(this);
    m_ok->setDefault(true);
    m_ok->setMinimumWidth(kButtonWidth);
    m_cancel = new QPushButton(this);
    m_cancel->setMinimumWidth(kButtonWidth);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* field = new QHBoxLayout;
    field->setSpacing(12);
    field->addWidget(m_label);
    field->addWidget(m_edit, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(18);
    layout->addLayout(field);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme.panel);
    setPalette(palette);
    setAutoFillBackground(true);
    m_edit->setFocus();
    retranslate();
}

QString NameDialog::text() const
{
    return m_edit->text();
}

void NameDialog::retranslate()
{
    setWindowTitle(tr("Name"));
    m_label->setText(tr("Name"));
    m_ok->setText(tr("OK"));
    m_cancel->setText(tr("Cancel"));
}

void NameDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
