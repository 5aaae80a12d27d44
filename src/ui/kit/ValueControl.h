#pragma once

#include "ui/kit/ValueFormat.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

namespace sonaro::ui {

// The base of every control that edits one integer value: faders, knobs and value read-outs.
//
// It owns the value and its range, and the operator's ways of changing it:
// - drag with the left button (Shift: fine); a subclass says how far a pixel moves the value;
// - wheel: one step per notch, Shift fine steps, Ctrl fast (page) steps;
// - on a logarithmic scale (frequencies) drags, wheel and keys move the value by ratios: a notch
//   or an arrow key is 1/120 of the scale (a twelfth of an octave over 20 Hz..20 kHz), Shift a
//   fifth of that, Page Up/Down and Ctrl+wheel a twelfth of the scale;
// - keys: arrows step, Page Up/Down fast steps, Home/End the ends of the range, Enter or a digit
//   opens typed entry, Delete resets to the default;
// - typed entry in a small editor over the read-out, in the units shown ("-6", "1k", "4:1",
//   "inf"): Enter confirms (on the value's own text it changes nothing), Escape cancels. Right
//   after Enter a note below the read-out says what was done when it is not what was typed: a
//   value beyond the range clamped to it, a value between steps rounded, a value already set.
//   Text that is not a value is refused: the editor stays open with a red frame and the note says
//   why; the value does not change;
// - reset to the default value with a double-click or Ctrl+click;
// - a tooltip that always shows the value's text.
//
// Signals: valueChanged for every change of the value (setters included; one signal per change,
// none when the value stays). For the operator's actions also: moved while a drag, wheel or key
// changes the value; released when a drag that changed the value ends and after every key, wheel
// step or reset, even when the value stayed at an end of the range (owners resend on it); a
// plain click, or a drag that ends where it started, emits nothing; valueEntered after accepted
// typed entry.
class ValueControl : public QWidget
{
    Q_OBJECT
public:
    explicit ValueControl(QWidget* parent = nullptr);
    ~ValueControl() override;

    int value() const { return m_value; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int defaultValue() const { return m_default; }
    int singleStep() const { return m_singleStep; }
    int pageStep() const { return m_pageStep; }

    // Returns true when the value changed. The value is clamped to the range.
    bool setValue(int value);
    // Clamps the value (and the default) into the new range; min and max may come in any order.
    void setRange(int minimum, int maximum);
    void setDefaultValue(int value);
    void setSingleStep(int step);
    void setPageStep(int step);
    void setFineStep(int step);

    void setFormatter(ValueFormatter formatter);
    // Installs the format's read-out text, its typed-entry parser (in the units shown, clamped to
    // the range) and, for frequencies, the logarithmic scale.
    void setFormat(ValueFormat format);
    void setParser(ValueParser parser);

    // A logarithmic scale (needs a range above 0; otherwise the scale stays linear).
    void setLogarithmic(bool logarithmic);
    bool isLogarithmic() const;
    // Where a value sits on the scale, 0 (minimum) .. 1 (maximum), and the inverse.
    double fractionOf(int value) const;
    int valueAtFraction(double fraction) const;
    // The value as the control shows it.
    QString text() const;
    QString textFor(int value) const;

    void setTypedEntryEnabled(bool enabled);
    bool isEditing() const { return m_editor != nullptr; }
    QLineEdit* typedEntryEditor() const { return m_editor; }
    // Opens the typed-entry editor with a text (the current value's text when empty).
    void beginTypedEntry(const QString& initial = {});
    // Applies a typed text as Enter in the editor does; returns false when the parser refuses it
    // (typedEntryError() then says why).
    bool enterText(const QString& text);
    QString typedEntryError() const { return m_entryError; }
    // What the last accepted entry did beyond taking the typed value (clamped, rounded, already
    // set); empty when it took the value as typed.
    QString typedEntryNote() const { return m_entryNote; }
    // An owner's word on the entry being applied (from its valueEntered handler): shown instead.
    void setEntryNote(const QString& text) { m_entryNote = text; }
    // Shows a note below the read-out for a few seconds (an owner's word on an entry, too).
    void showNote(const QString& text, bool warning = false);
    QLabel* noteLabel() const { return m_note; }
    static constexpr int kNoteMs = 6000;

    // A value from assistive technology: as a key step does (moved, released).
    void setValueByOperator(int value);
    // How assistive technology presents the control, and the caption it is known by when no
    // name was given.
    virtual QAccessible::Role accessibleRole() const { return QAccessible::Slider; }
    virtual QString caption() const { return {}; }

    // Sets the default value as if the operator reset it (emits moved and released).
    void resetToDefault();

signals:
    void valueChanged(int value);
    void moved(int value);
    void released(int value);
    void valueEntered(int value);

protected:
    // Where the value's text is drawn; the typed-entry editor covers this rectangle.
    virtual QRect readoutRect() const { return rect(); }
    // How far one pixel of drag along y moves the value (positive: dragging down raises it).
    virtual double valuePerPixelDown() const;
    // Keys and the wheel step the value this way for "up"; faders whose top is position 0 use -1.
    virtual int upDirection() const { return 1; }
    // A press at this point that should jump the value there first (fader track clicks).
    virtual bool valueAtPoint(const QPointF& point, int& value) const;
    virtual void onValueChanged() {}

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    bool isDragging() const { return m_dragging; }

private:
    void userSet(int value);
    enum class Step
    {
        Single,
        Fine,
        Page
    };
    void stepBy(int steps, Step step);
    void stepByFraction(int steps, double fraction);
    void showRefusal(const QString& why);
    void clearRefusal();
    void hideNote();
    void finishTypedEntry(bool accept);
    void updateToolTip();

    int m_value = 0;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_default = 0;
    int m_singleStep = 1;
    int m_pageStep = 10;
    int m_fineStep = 1;
    ValueFormatter m_formatter;
    ValueParser m_parser;
    bool m_typedEntry = true;
    bool m_logarithmic = false;
    QString m_entryError;
    QString m_entryNote;
    QPointer<QLabel> m_note;
    QTimer m_noteTimer;

    bool m_dragging = false;
    int m_dragStartValue = 0;
    int m_pressValue = 0;
    double m_dragStartY = 0.0;
    double m_wheelRemainder = 0.0;
    QPointer<QLineEdit> m_editor;
};

} // namespace sonaro::ui
