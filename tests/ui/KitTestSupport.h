#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <functional>
#include <memory>

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

// A wheel turn of delta eighths of a degree (120: one notch) over a point of the widget.
inline void Wheel(QWidget* w, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier,
                  QPointF at = {10, 10})
{
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// Runs body once the next modal window of type T is in front, polling for at most five seconds,
// so that the caller can then open the window with a call that blocks until it is closed.
template <typename T> void whenModal(std::function<void(T*)> body)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, body = std::move(body)] {
        if (T* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            body(dialog);
        } else if (++*tries > 500) {
            poll->deleteLater();
        }
    });
    poll->start();
}
