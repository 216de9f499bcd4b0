// Keeps the player's windows within the part of the screen they may use (its
// available area, without panels and docks). At a large scale factor or on a
// small screen a window would otherwise open with its lower buttons out of
// reach.
//
// Threads: GUI thread only.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace tessel {

enum class FitWay {
    Move,         // moved inside; shrunk only where larger than the area
    ShortenFirst, // a window standing below another: shorter before higher
};

// `frame` moved, and shrunk where it must be, so that it lies within
// `available`; never below `minimum`. A window that cannot fit even so keeps
// its top-left corner (and title bar) on the area. An empty `available`
// (no screen) changes nothing.
QRect FitInside(const QRect& frame, const QRect& available, const QSize& minimum,
                FitWay way = FitWay::Move);

// Fits a top-level window, frame included, to the available area of the
// screen it is on.
void FitOnScreen(QWidget& window, FitWay way = FitWay::Move);

// From now on every window of the application is fitted as it is shown,
// dialogs and message boxes included. Installing it again changes nothing.
void FitWindowsAsShown();

} // namespace tessel
