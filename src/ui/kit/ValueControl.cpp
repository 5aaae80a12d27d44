#include "ui/kit/ValueControl.h"

#include "ui/kit/Accessibility.h"
#include "ui/kit/Theme.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace sonaro::ui {

namespace {
constexpr double kDragSpanPixels = 200.0; // a drag this long sweeps the whole range
constexpr double kFineDragFactor = 0.25;  // Shift slows a drag down to a quarter
constexpr int kWheelNotch = 120;          // angle delta of one wheel notch
// Steps on a logarithmic scale, as shares of the whole scale.
constexpr double kLogSingleStep = 1.0 / 120.0;
constexpr double kLogFineStep = kLogSingleStep / 5.0;
constexpr double kLogPageStep = 1.0 / 12.0;
constexpr int kRefusalFrame = 2;
} // namespace

ValueControl::ValueControl(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    updateToolTip();
    installKitAccessibility();
    m_noteTimer.setSingleShot(true);
    m_noteTimer.setInterval(kNoteMs);
    connect(&m_noteTimer, &QTimer::timeout, this, &ValueControl::hideNote);
}

ValueControl::~ValueControl() = default;

bool ValueControl::setValue(int value)
{
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value) return false;
    m_value = value;
    onValueChanged();
    updateToolTip();
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, m_value);
        QAccessible::updateAccessibility(&event);
    }
    emit valueChanged(m_value);
    return true;
}

void ValueControl::setRange(int minimum, int maximum)
{
    if (minimum > maximum) std::swap(minimum, maximum);
    m_minimum = minimum;
    m_maximum = maximum;
    m_default = std::clamp(m_default, m_minimum, m_maximum);
    if (!setValue(m_value)) {
        onValueChanged(); // the value stayed, but its place on the scale moved
        update();
    }
}

void ValueControl::setDefaultValue(int value)
{
    m_default = std::clamp(value, m_minimum, m_maximum);
}
void ValueControl::setSingleStep(int step)
{
    m_singleStep = std::max(1, step);
}
void ValueControl::setPageStep(int step)
{
    m_pageStep = std::max(1, step);
}
void ValueControl::setFineStep(int step)
{
    m_fineStep = std::max(1, step);
}

void ValueControl::setFormatter(ValueFormatter formatter)
{
    m_formatter = std::move(formatter);
    updateToolTip();
    update();
}

void ValueControl::setFormat(ValueFormat format)
{
    setFormatter(makeFormatter(format));
    setParser([this, format](const QString& text, int& raw, QString* why) {
        return parseFormattedText(format, text, m_minimum, m_maximum, raw, why);
    });
    setLogarithmic(isLogarithmicByDefault(format));
}

void ValueControl::setParser(ValueParser parser)
{
    m_parser = std::move(parser);
}

void ValueControl::setLogarithmic(bool logarithmic)
{
    if (logarithmic == m_logarithmic) return;
    m_logarithmic = logarithmic;
    onValueChanged(); // the value's place on the scale moved
    update();
}

bool ValueControl::isLogarithmic() const
{
    return m_logarithmic && m_minimum > 0 && m_maximum > m_minimum;
}

double ValueControl::fractionOf(int value) const
{
    if (m_maximum <= m_minimum) return 0.0;
    value = std::clamp(value, m_minimum, m_maximum);
    if (isLogarithmic())
        return std::log(double(value) / m_minimum) / std::log(double(m_maximum) / m_minimum);
    return double(value - m_minimum) / (m_maximum - m_minimum);
}

int ValueControl::valueAtFraction(double fraction) const
{
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (isLogarithmic())
        return std::clamp(static_cast<int>(std::lround(
                              m_minimum * std::pow(double(m_maximum) / m_minimum, fraction))),
                          m_minimum, m_maximum);
    return m_minimum + static_cast<int>(std::lround(fraction * (m_maximum - m_minimum)));
}

QString ValueControl::text() const
{
    return textFor(m_value);
}

QString ValueControl::textFor(int value) const
{
    value = std::clamp(value, m_minimum, m_maximum);
    return m_formatter ? m_formatter(value) : QString::number(value);
}

void ValueControl::setTypedEntryEnabled(bool enabled)
{
    m_typedEntry = enabled;
    if (!enabled && m_editor) finishTypedEntry(false);
}

void ValueControl::beginTypedEntry(const QString& initial)
{
    if (!m_typedEntry || !isEnabled()) return;
    if (!m_editor) {
        const Theme& theme = Theme::instance();
        m_editor = new QLineEdit(this);
        m_editor->setFrame(false);
        m_editor->setAlignment(Qt::AlignCenter);
        m_editor->setFont(theme.readoutFont(std::max(9, readoutRect().height() - 8)));
        QPalette p = m_editor->palette();
        p.setColor(QPalette::Base, theme.text);
        p.setColor(QPalette::Text, theme.window);
        p.setColor(QPalette::Highlight, theme.accent);
        m_editor->setPalette(p);
        m_editor->installEventFilter(this);
        // Typing again takes the refusal back until the next Enter.
        connect(m_editor, &QLineEdit::textEdited, this, [this] { clearRefusal(); });
    }
    clearRefusal();
    hideNote();
    m_editor->setGeometry(readoutRect());
    m_editor->setText(initial.isEmpty() ? text() : initial);
    if (initial.isEmpty()) m_editor->selectAll();
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}

bool ValueControl::enterText(const QString& text)
{
    int raw = m_value;
    QString why;
    const bool ok =
        m_parser ? m_parser(text, raw, &why)
                 : parseFormattedText(ValueFormat::Plain, text, m_minimum, m_maximum, raw, &why);
    if (!ok) {
        m_entryError = why.isEmpty() ? tr("Not a value.") : why;
        return false;
    }
    m_entryError.clear();
    // A parser says on success what it changed of the typed value (clamped, rounded).
    m_entryNote = why;
    const bool changed = setValue(raw);
    if (!changed && m_entryNote.isEmpty())
        m_entryNote = tr("%1 is already set: nothing changed.").arg(this->text());
    emit valueEntered(m_value);
    return true;
}

void ValueControl::setValueByOperator(int value)
{
    userSet(value);
    emit released(m_value);
}

void ValueControl::showNote(const QString& text, bool warning)
{
    if (text.isEmpty()) {
        hideNote();
        return;
    }
    const Theme& theme = Theme::instance();
    QWidget* host = window();
    if (!m_note || m_note->parentWidget() != host) {
        delete m_note;
        m_note = new QLabel(host);
        m_note->setObjectName(QStringLiteral("entryNote"));
        m_note->setWordWrap(true);
        m_note->setTextFormat(Qt::PlainText);
        m_note->setFont(theme.font(11, true));
        m_note->setMargin(6);
        m_note->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_note->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; border: 1px solid "
                                         "%3; border-radius: 4px; }")
                              .arg(theme.panelRaised.name(), theme.text.name(),
                                   (warning ? theme.muteRed : theme.priorityAmber).name()));
    m_note->setText(text);
    // Below the read-out, or above it near the window's foot (where its status line is).
    constexpr int kFootReserve = 40;
    const QRect readout = readoutRect();
    const int width = std::max(readout.width(), 220);
    m_note->setFixedWidth(std::min(width, host->width()));
    m_note->adjustSize();
    QPoint at =
        mapTo(host, QPoint(readout.center().x() - m_note->width() / 2, readout.bottom() + 4));
    if (at.y() + m_note->height() > host->height() - kFootReserve)
        at.setY(mapTo(host, readout.topLeft()).y() - m_note->height() - 4);
    at.setX(std::clamp(at.x(), 0, std::max(0, host->width() - m_note->width())));
    at.setY(std::max(0, at.y()));
    m_note->move(at);
    m_note->raise();
    m_note->show();
    m_noteTimer.start();
    // Assistive technology hears it as the control's description.
    setAccessibleDescription(text);
}

void ValueControl::hideNote()
{
    m_noteTimer.stop();
    if (m_note) m_note->hide();
    if (!accessibleDescription().isEmpty()) setAccessibleDescription(QString());
}

void ValueControl::showRefusal(const QString& why)
{
    // The editor stays open with a red frame; the note below it and the tooltip say why.
    m_editor->setProperty("refused", true);
    m_editor->setStyleSheet(QStringLiteral("QLineEdit { border: %1px solid %2; }")
                                .arg(kRefusalFrame)
                                .arg(Theme::instance().muteRed.name()));
    m_editor->setToolTip(why);
    showNote(why, true);
    m_editor->selectAll();
}

void ValueControl::clearRefusal()
{
    if (!m_editor || !m_editor->property("refused").toBool()) return;
    m_editor->setProperty("refused", false);
    m_editor->setStyleSheet(QString());
    m_editor->setToolTip(QString());
    hideNote();
}

void ValueControl::finishTypedEntry(bool accept)
{
    if (!m_editor) return;
    // Enter on the value's own text changes nothing: the text may be rounded ("1.23kHz" for
    // 1234 Hz), and reading it back would move the value.
    const bool entered = accept && m_editor->text().trimmed() != text();
    if (entered && !enterText(m_editor->text())) {
        showRefusal(m_entryError);
        return;
    }
    QLineEdit* editor = m_editor;
    m_editor = nullptr; // before anything that could re-enter through focus changes
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    setFocus(Qt::OtherFocusReason);
    if (entered) showNote(m_entryNote);
}

void ValueControl::resetToDefault()
{
    userSet(m_default);
    emit released(m_value);
}

double ValueControl::valuePerPixelDown() const
{
    return -(m_maximum - m_minimum) / kDragSpanPixels;
}

bool ValueControl::valueAtPoint(const QPointF&, int&) const
{
    return false;
}

void ValueControl::userSet(int value)
{
    if (setValue(value)) emit moved(m_value);
}

void ValueControl::stepBy(int steps, Step step)
{
    if (isLogarithmic()) {
        stepByFraction(steps, step == Step::Page   ? kLogPageStep
                              : step == Step::Fine ? kLogFineStep
                                                   : kLogSingleStep);
        return;
    }
    const int size = step == Step::Page   ? m_pageStep
                     : step == Step::Fine ? m_fineStep
                                          : m_singleStep;
    userSet(m_value + steps * size * upDirection());
    emit released(m_value);
}

void ValueControl::stepByFraction(int steps, double fraction)
{
    const int direction = steps * upDirection();
    int value = valueAtFraction(fractionOf(m_value) + direction * fraction);
    // Every step moves at least one unit, also where a share of the scale is less than one.
    if (direction > 0) value = std::max(value, m_value + 1);
    if (direction < 0) value = std::min(value, m_value - 1);
    userSet(value);
    emit released(m_value);
}

void ValueControl::updateToolTip()
{
    setToolTip(text());
}

void ValueControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (m_editor) finishTypedEntry(false);
    if (event->modifiers() & Qt::ControlModifier) {
        resetToDefault();
        return;
    }
    m_pressValue = m_value;
    int jumped = 0;
    if (valueAtPoint(event->position(), jumped)) userSet(jumped);
    m_dragging = true;
    m_dragStartValue = m_value;
    m_dragStartY = event->position().y();
    event->accept();
}

void ValueControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const bool fine = event->modifiers() & Qt::ShiftModifier;
    const double dy = event->position().y() - m_dragStartY;
    const double delta = dy * valuePerPixelDown() * (fine ? kFineDragFactor : 1.0);
    if (isLogarithmic()) {
        userSet(valueAtFraction(fractionOf(m_dragStartValue) + delta / (m_maximum - m_minimum)));
    } else {
        userSet(m_dragStartValue + static_cast<int>(std::lround(delta)));
    }
    event->accept();
}

void ValueControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    // A click, or a drag back to where it started, changed nothing and reports nothing.
    if (m_value != m_pressValue) emit released(m_value);
    event->accept();
}

void ValueControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    m_dragging = false;
    if (m_typedEntry && readoutRect().contains(event->position().toPoint()))
        beginTypedEntry();
    else
        resetToDefault();
    event->accept();
}

void ValueControl::wheelEvent(QWheelEvent* event)
{
    // Some platforms turn Shift+wheel into a horizontal wheel.
    const QPoint angle = event->angleDelta();
    m_wheelRemainder += (angle.y() != 0 ? angle.y() : angle.x()) / double(kWheelNotch);
    const int notches = static_cast<int>(m_wheelRemainder);
    if (notches == 0) {
        event->accept();
        return;
    }
    m_wheelRemainder -= notches;
    const auto mods = event->modifiers();
    const Step step = (mods & Qt::ControlModifier) ? Step::Page
                      : (mods & Qt::ShiftModifier) ? Step::Fine
                                                   : Step::Single;
    stepBy(notches, step);
    event->accept();
}

void ValueControl::keyPressEvent(QKeyEvent* event)
{
    const bool fine = event->modifiers() & Qt::ShiftModifier;
    const Step single = fine ? Step::Fine : Step::Single;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        stepBy(1, single);
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        stepBy(-1, single);
        break;
    case Qt::Key_PageUp:
        stepBy(1, Step::Page);
        break;
    case Qt::Key_PageDown:
        stepBy(-1, Step::Page);
        break;
    case Qt::Key_Home:
        userSet(m_minimum);
        emit released(m_value);
        break;
    case Qt::Key_End:
        userSet(m_maximum);
        emit released(m_value);
        break;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        resetToDefault();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        beginTypedEntry();
        break;
    default: {
        const QString typed = event->text();
        if (m_typedEntry && typed.size() == 1 &&
            (typed.at(0).isDigit() || typed.at(0) == u'-' || typed.at(0) == u'+')) {
            beginTypedEntry(typed);
            break;
        }
        QWidget::keyPressEvent(event);
        return;
    }
    }
    event->accept();
}

void ValueControl::hideEvent(QHideEvent* event)
{
    hideNote();
    QWidget::hideEvent(event);
}

void ValueControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_editor) m_editor->setGeometry(readoutRect());
}

bool ValueControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor) {
        // Enter and Escape end the entry here; the line edit would pass them on to this
        // control, where Enter would open the next entry.
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                finishTypedEntry(key != Qt::Key_Escape);
                return true;
            }
        }
        if (event->type() == QEvent::FocusOut) {
            // Leaving the editor abandons the typed text: only Enter applies a value.
            QMetaObject::invokeMethod(
                this, [this] { finishTypedEntry(false); }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace sonaro::ui
