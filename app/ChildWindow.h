// A tool window that stands below the main window: the play list and the
// equalizer open here. Until those windows are built it shows only its title.
#pragma once

#include <QWidget>

namespace tessel {

class CChildWindow : public QWidget {
  public:
    CChildWindow(const QString& title, QSize size, QWidget* owner);

    // Puts the window's top-left corner at the owner's bottom-left corner
    // (frame edges), keeping its size.
    void PlaceBelow(const QWidget& owner);
};

} // namespace tessel
