// Mouse events sent straight to a widget, in the order the windowing system
// delivers them.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace tessel::test {

inline void SendMouse(QWidget* widget, QEvent::Type type, QPointF pos,
                      Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline QPointF Centre(const QWidget* widget) {
    return QPointF(widget->width() / 2.0, widget->height() / 2.0);
}

inline void Press(QWidget* w, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonPress, Centre(w), b);
}
inline void Release(QWidget* w, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonRelease, Centre(w), b);
}
inline void DoubleClickEvent(QWidget* w) {
    SendMouse(w, QEvent::MouseButtonDblClick, Centre(w));
}

// Qt's own order for a double click: the second press arrives as a press
// and is followed by the double-click event.
inline void QtDoubleClick(QWidget* w) {
    Press(w);
    Release(w);
    Press(w);
    DoubleClickEvent(w);
    Release(w);
}

// The order some platforms and tools use: the double-click event stands in
// for the second press.
inline void BareDoubleClick(QWidget* w) {
    Press(w);
    Release(w);
    DoubleClickEvent(w);
    Release(w);
}

} // namespace tessel::test
