// A ring drawn around a control while it has the keyboard focus, for
// controls whose style marks the focus too faintly to find at a glance (the
// sliders). It lies over the control's surroundings as a sibling that takes
// no mouse input, follows the control as it moves, and hides with it.
#pragma once

#include <QPointer>
#include <QWidget>

namespace tessel {

class CFocusRing : public QWidget {
  public:
    static constexpr int kMargin = 2; // the ring stands this far outside

    // Gives `control` a ring; the ring belongs to the control's parent.
    static CFocusRing* Attach(QWidget* control);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    explicit CFocusRing(QWidget* control);
    void Follow();

    QPointer<QWidget> m_control;
};

} // namespace tessel
