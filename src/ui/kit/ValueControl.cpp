#include "ui/kit/ValueControl.h"

#include "ui/kit/Theme.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace sonaro::ui {

namespace {
constexpr double kDragSpanPixels = 200.0; // a drag this long sweeps the whole range
constexpr double kFineDragFactor = 0.25;  // Shift slows a drag down to a quarter
constexpr int kWheelNotch = 120;          // angle delta of one wheel notch
} // namespace

ValueControl::ValueControl(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    updateToolTip();
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
}
void ValueControl::setParser(ValueParser parser)
{
    m_parser = std::move(parser);
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
    }
    m_editor->setGeometry(readoutRect());
    m_editor->setText(initial.isEmpty() ? text() : initial);
    if (initial.isEmpty()) m_editor->selectAll();
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}

bool ValueControl::enterText(const QString& text)
{
    int raw = 0;
    bool ok = false;
    if (m_parser) {
        ok = m_parser(text, raw);
    } else {
        ok = std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
        raw = leadingInteger(text);
    }
    if (!ok) return false;
    setValue(raw);
    emit valueEntered(m_value);
    return true;
}

void ValueControl::finishTypedEntry(bool accept)
{
    if (!m_editor) return;
    QLineEdit* editor = m_editor;
    m_editor = nullptr; // before anything that could re-enter through focus changes
    const QString typed = editor->text();
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    setFocus(Qt::OtherFocusReason);
    if (accept) enterText(typed);
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

void ValueControl::stepBy(int steps, int stepSize)
{
    userSet(m_value + steps * stepSize * upDirection());
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
    userSet(m_dragStartValue + static_cast<int>(std::lround(delta)));
    event->accept();
}

void ValueControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    emit released(m_value);
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
    const int step = (mods & Qt::ControlModifier) ? m_pageStep
                     : (mods & Qt::ShiftModifier) ? m_fineStep
                                                  : m_singleStep;
    stepBy(notches, step);
    event->accept();
}

void ValueControl::keyPressEvent(QKeyEvent* event)
{
    const bool fine = event->modifiers() & Qt::ShiftModifier;
    const int single = fine ? m_fineStep : m_singleStep;
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
        stepBy(1, m_pageStep);
        break;
    case Qt::Key_PageDown:
        stepBy(-1, m_pageStep);
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
