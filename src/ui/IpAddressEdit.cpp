#include "ui/IpAddressEdit.h"

#include "model/HostAddressRules.h"
#include "ui/kit/Theme.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace sonaro::ui {

namespace {

constexpr int kOctetWidth = 38;

} // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent)
{
    const Theme& theme = Theme::instance();
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme.well);
    setPalette(palette);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    for (std::size_t i = 0; i < m_octets.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignCenter);
        edit->setMaxLength(3);
        edit->setFixedWidth(kOctetWidth);
        edit->setValidator(new QIntValidator(0, 255, edit));
        edit->setFont(theme.readoutFont(13));
        edit->installEventFilter(this);
        edit->setAccessibleName(tr("Address, part %1 of 4").arg(i + 1));
        m_octets[i] = edit;
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setFont(theme.readoutFont(13));
            layout->addWidget(dot);
        }
        layout->addWidget(edit);
        connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && i + 1 < m_octets.size()) {
                m_octets[i + 1]->setFocus();
                m_octets[i + 1]->selectAll();
            }
        });
    }
    setFocusProxy(m_octets[0]);
}

int IpAddressEdit::indexOf(QObject* edit) const
{
    const auto it = std::find(m_octets.begin(), m_octets.end(), edit);
    return it == m_octets.end() ? -1 : static_cast<int>(it - m_octets.begin());
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    const int i = indexOf(watched);
    if (i < 0 || event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* edit = m_octets[static_cast<std::size_t>(i)];
    const bool last = i + 1 == static_cast<int>(m_octets.size());
    const auto focus = [this](int index, bool atEnd) {
        QLineEdit* target = m_octets[static_cast<std::size_t>(index)];
        target->setFocus();
        target->setCursorPosition(atEnd ? static_cast<int>(target->text().size()) : 0);
    };
    if ((key->key() == Qt::Key_Period || key->key() == Qt::Key_Comma) && !last) {
        if (!edit->text().isEmpty()) {
            focus(i + 1, false);
            m_octets[static_cast<std::size_t>(i + 1)]->selectAll();
        }
        return true;
    }
    if (key->key() == Qt::Key_Backspace && edit->text().isEmpty() && i > 0) {
        focus(i - 1, true);
        return true;
    }
    if (key->key() == Qt::Key_Left && edit->cursorPosition() == 0 && i > 0) {
        focus(i - 1, true);
        return true;
    }
    if (key->key() == Qt::Key_Right && edit->cursorPosition() == edit->text().size() && !last) {
        focus(i + 1, false);
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void IpAddressEdit::setAddress(const QString& address)
{
    const QStringList parts = address.trimmed().split(QLatin1Char('.'));
    for (std::size_t i = 0; i < m_octets.size(); ++i) {
        bool ok = false;
        const int value = i < static_cast<std::size_t>(parts.size())
                              ? parts[static_cast<qsizetype>(i)].trimmed().toInt(&ok)
                              : 0;
        m_octets[i]->setText(QString::number(ok && value >= 0 && value <= 255 ? value : 0));
    }
}

QString IpAddressEdit::text() const
{
    QStringList parts;
    for (QLineEdit* edit : m_octets) {
        // A part out of range stays as typed, so that it is refused rather than clamped.
        const QString typed = edit->text().trimmed();
        bool ok = false;
        const uint value = typed.toUInt(&ok);
        parts << (ok && value <= 255 ? QString::number(value) : typed);
    }
    return parts.join(QLatin1Char('.'));
}

bool IpAddressEdit::isComplete() const
{
    quint32 address = 0;
    return parseIpv4(text(), &address);
}

} // namespace sonaro::ui
