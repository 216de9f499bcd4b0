#include "controls/PictureSlider.h"

#include "core/AppMessages.h"

#include <QMouseEvent>

namespace tessel {

CPictureSlider::CPictureSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent) {}

void CPictureSlider::mousePressEvent(QMouseEvent* event) {
    // The second press of a double click arrives while still held (Qt routes
    // the double click through here as well); one grab, one message.
    if (event->button() == Qt::LeftButton && !m_held) {
        m_held = true;
        if (m_post)
            m_post(AppMessage::PositionSliderGrabbed);
    }
    QSlider::mousePressEvent(event);
}

void CPictureSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        EndHold();
}

void CPictureSlider::EndHold() {
    if (!m_held)
        return;
    m_held = false;
    emit grabReleased();
}

void CPictureSlider::changeEvent(QEvent* event) {
    QSlider::changeEvent(event);
    // A disabled slider gets no mouse release; without this the main window
    // would keep the slider "held" and stop following playback for good.
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        EndHold();
}

void CPictureSlider::hideEvent(QHideEvent* event) {
    EndHold();
    QSlider::hideEvent(event);
}

} // namespace tessel
