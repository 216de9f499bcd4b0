#include "controls/QuilButtonCtrl.h"

#include "controls/PictureFolder.h"

#include <QMouseEvent>
#include <QPainter>

namespace tessel {

CQuilButtonCtrl::CQuilButtonCtrl(QWidget* parent) : QAbstractButton(parent) {
    // The picture covers every pixel, so there is nothing to erase first;
    // skipping the erase keeps a redraw from flashing the background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void CQuilButtonCtrl::SetRole(ButtonRole role) {
    m_role = role;
    updateGeometry();
    update();
}

void CQuilButtonCtrl::SetEnabledLook(bool enabled) {
    m_enabledLook = enabled;
    update();
}

void CQuilButtonCtrl::SetPowerOn() {
    m_powerOn = true;
    update();
}

void CQuilButtonCtrl::SetPowerOff() {
    m_powerOn = false;
    update();
}

QString CQuilButtonCtrl::CurrentPictureFile() const {
    return PictureFileFor(m_role, m_pressed, m_enabledLook, m_powerOn);
}

QSize CQuilButtonCtrl::sizeHint() const {
    return NaturalPictureSize(m_role);
}

void CQuilButtonCtrl::paintEvent(QPaintEvent*) {
    // Compose the face off-screen and put it on the widget in one draw, so a
    // half-drawn face is never seen.
    const qreal ratio = devicePixelRatioF();
    QImage face(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    face.setDevicePixelRatio(ratio);
    face.fill(palette().color(QPalette::Button));

    const QString file = CurrentPictureFile();
    if (!file.isEmpty()) {
        const QImage picture = LoadPicture(PicturePath(file));
        if (!picture.isNull()) {
            QPainter painter(&face);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect(QPoint(0, 0), size()), picture);
        }
    }

    QPainter(this).drawImage(0, 0, face);
}

void CQuilButtonCtrl::Post(uint32_t id) const {
    if (id != 0 && m_post)
        m_post(id);
}

void CQuilButtonCtrl::BeginHold(uint32_t message) {
    m_pressed = true;
    Post(message);
}

void CQuilButtonCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mousePressEvent(event);
        return;
    }
    if (m_pressed)
        return;
    BeginHold(MessagesFor(m_role).press);
    QAbstractButton::mousePressEvent(event);
}

void CQuilButtonCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        Post(MessagesFor(m_role).release);
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void CQuilButtonCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt usually delivers the second press of a double click as a press of
    // its own before the double click, and that press has already acted. Only
    // a double click that arrives on a released button is a click still to
    // act on. A role without a double-click message then posts its press
    // message, so every release the main window sees follows a press.
    if (event->button() != Qt::LeftButton || m_pressed) {
        event->accept();
        return;
    }
    const RoleMessages messages = MessagesFor(m_role);
    BeginHold(messages.doubleClick != 0 ? messages.doubleClick : messages.press);
    QAbstractButton::mousePressEvent(event);
}

void CQuilButtonCtrl::EndHoldWithoutRelease() {
    // A button that is disabled or hidden while held never gets its mouse
    // release. Ending the hold here keeps a fast wind from running on and
    // keeps the button from ignoring every later press.
    if (!m_pressed)
        return;
    m_pressed = false;
    Post(MessagesFor(m_role).release);
    setDown(false);
}

void CQuilButtonCtrl::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    if (!isEnabled())
        EndHoldWithoutRelease();
    m_enabledLook = isEnabled();
    repaint();
}

void CQuilButtonCtrl::hideEvent(QHideEvent* event) {
    EndHoldWithoutRelease();
    QAbstractButton::hideEvent(event);
}

} // namespace tessel
