#include "ui/AboutDialog.h"

#include "model/Version.h"
#include "ui/kit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonaro::ui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    const Theme& theme = Theme::instance();
    auto* name = new QLabel(QStringLiteral("Sonaro"), this);
    name->setFont(theme.font(28, true));
    m_version = new QLabel(this);
    m_link = new QLabel(this);
    m_link->setOpenExternalLinks(false);
    m_link->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_ok = new QPushButton(this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(m_version);
    layout->addWidget(m_link);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    retranslate();
}

void AboutDialog::retranslate()
{
    setWindowTitle(tr("About Sonaro"));
    m_version->setText(tr("Version %1").arg(QString::fromLatin1(kVersion)));
    m_link->setText(tr("Control software for networked automatic microphone mixers."));
    m_ok->setText(tr("OK"));
}

void AboutDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

} // namespace sonaro::ui
