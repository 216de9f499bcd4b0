// Runs something once a widget has painted for the first time, on the turn
// of the event loop after that paint: start-up work the first picture does
// not need waits until the user sees the window.
//
// Threads: GUI thread only.
#pragma once

#include <functional>

class QWidget;

namespace tessel {

// `then` runs once; nothing runs if the widget goes first.
void AfterFirstPaint(QWidget& widget, std::function<void()> then);

} // namespace tessel
