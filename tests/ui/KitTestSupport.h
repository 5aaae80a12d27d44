#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

// Mouse events straight to a widget, with the button state spelled out, so that drags behave the
// same on every platform plug-in.
inline void sendMouse(QWidget* w, QEvent::Type type, QPointF pos,
                      Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::MouseButtons{} : Qt::MouseButtons{button};
    QMouseEvent e(type, pos, w->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : button,
                  held, mods);
    QApplication::sendEvent(w, &e);
}

inline void Press(QWidget* w, QPointF pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, mods);
}
inline void Move(QWidget* w, QPointF pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseMove, pos, Qt::LeftButton, mods);
}
inline void Release(QWidget* w, QPointF pos)
{
    sendMouse(w, QEvent::MouseButtonRelease, pos);
}
