// Mouse, wheel and key events sent straight to a widget, as the windowing
// system delivers them.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

namespace tessel::test {

inline void SendMouse(QWidget* widget, QEvent::Type type, QPointF pos,
                      Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void Press(QWidget* w, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonPress, QPointF(w->rect().center()), b);
}
inline void Release(QWidget* w, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonRelease, QPointF(w->rect().center()), b);
}

// A double click in Qt's own order (the second press arrives, then the
// double-click event) or, `bare`, in the order some platforms and tools use
// (the double-click event stands in for the second press).
inline void DoubleClick(QWidget* w, bool bare) {
    Press(w);
    Release(w);
    if (!bare)
        Press(w);
    SendMouse(w, QEvent::MouseButtonDblClick, QPointF(w->rect().center()));
    Release(w);
}

// One notch of the wheel, towards the user.
inline void WheelDown(QWidget* widget) {
    QWheelEvent wheel(QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

inline void SendKey(QWidget* widget, QEvent::Type type, int key, bool autoRepeat = false,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent event(type, key, modifiers, text, autoRepeat);
    QApplication::sendEvent(widget, &event);
}

} // namespace tessel::test
