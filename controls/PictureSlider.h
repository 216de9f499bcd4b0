// The track-position slider. Grabbing it tells the main window to stop
// moving it with playback; letting go is when the deck seeks.
#pragma once

#include "controls/MessageSink.h"

#include <QSlider>

namespace tessel {

class CPictureSlider : public QSlider {
    Q_OBJECT

  public:
    explicit CPictureSlider(Qt::Orientation orientation, QWidget* parent = nullptr);
    explicit CPictureSlider(QWidget* parent = nullptr) : CPictureSlider(Qt::Horizontal, parent) {}

    void SetMessageSink(MessageSink post) { m_post = std::move(post); }

    // Between the press that posted the grab message and its release.
    bool Held() const { return m_held; }

  signals:
    // The hold that began with the grab message is over: the mouse was
    // released, or the slider was disabled or hidden under it. Emitted once
    // per grab message.
    void grabReleased();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void EndHold();

    MessageSink m_post;
    bool m_held = false;
};

} // namespace tessel
