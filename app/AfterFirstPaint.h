// Runs something once a widget's window is on screen with its first
// picture: start-up work the first picture does not need waits until the
// user sees the window.
//
// "On screen" is the window system's expose, not the first paint: Qt paints
// into its backing store before the window exists on an X server, whose
// requests wait in the connection's buffer until the event loop next
// sleeps; work run straight after that paint kept the window off the
// screen for as long as the work took.
//
// Threads: GUI thread only.
#pragma once

#include <functional>

class QWidget;

namespace tessel {

// `then` runs once; nothing runs if the widget goes first.
void AfterFirstPaint(QWidget& widget, std::function<void()> then);

} // namespace tessel
