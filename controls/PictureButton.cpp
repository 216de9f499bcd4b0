#include "controls/PictureButton.h"

#include "controls/ButtonFace.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tessel {

namespace {

// The keys that work a focused button. A keypad Enter carries the keypad
// modifier; any other modifier makes the key someone else's shortcut.
bool IsClickKey(const QKeyEvent* event) {
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const int key = event->key();
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

CPictureButton::CPictureButton(QWidget* parent) : QAbstractButton(parent) {
    // The picture covers every pixel, so there is nothing to erase first;
    // skipping the erase keeps a redraw from flashing the background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void CPictureButton::SetRole(ButtonRole role) {
    m_role = role;
    updateGeometry();
    update();
}

void CPictureButton::SetEnabledLook(bool enabled) {
    m_enabledLook = enabled;
    update();
}

void CPictureButton::SetPowerOn() {
    m_powerOn = true;
    update();
}

void CPictureButton::SetPowerOff() {
    m_powerOn = false;
    update();
}

QString CPictureButton::CurrentPictureFile() const {
    return PictureFileFor(m_role, m_pressed, m_enabledLook, m_powerOn);
}

QSize CPictureButton::sizeHint() const {
    return NaturalPictureSize(m_role);
}

bool CPictureButton::event(QEvent* event) {
    // A window shortcut on Space (play / pause) would otherwise take the key
    // from a focused button, which Space is expected to work.
    if (event->type() == QEvent::ShortcutOverride && IsClickKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QAbstractButton::event(event);
}

void CPictureButton::paintEvent(QPaintEvent*) {
    ButtonFaceLook look;
    look.fill = palette().color(QPalette::Button);
    look.pictureFile = CurrentPictureFile();
    look.focusFrame = hasFocus();
    look.frameColour = palette().color(QPalette::Highlight);
    QPainter(this).drawImage(0, 0, ComposeButtonFace(size(), devicePixelRatioF(), look));
}

void CPictureButton::Post(std::optional<AppMessage> message) const {
    if (message && m_post)
        m_post(*message);
}

void CPictureButton::BeginHold(std::optional<AppMessage> message) {
    m_pressed = true;
    Post(message);
}

void CPictureButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mousePressEvent(event);
        return;
    }
    if (m_pressed)
        return;
    BeginHold(MessagesFor(m_role).press);
    QAbstractButton::mousePressEvent(event);
}

void CPictureButton::mouseReleaseEvent(QMouseEvent* event) {
    if (m_holdKey != 0) {
        // The key holds the button; its release, not the mouse's, ends it.
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        Post(MessagesFor(m_role).release);
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void CPictureButton::mouseDoubleClickEvent(QMouseEvent* event) {
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
    BeginHold(messages.doubleClick ? messages.doubleClick : messages.press);
    QAbstractButton::mousePressEvent(event);
}

void CPictureButton::EndHoldWithoutRelease() {
    // A button that is disabled, hidden or (held by a key) left by the focus
    // while held never gets its release. Ending the hold here keeps a fast
    // wind from running on and keeps the button from ignoring every later
    // press.
    if (!m_pressed)
        return;
    m_pressed = false;
    m_holdKey = 0;
    Post(MessagesFor(m_role).release);
    setDown(false);
}

void CPictureButton::keyPressEvent(QKeyEvent* event) {
    if (!IsClickKey(event)) {
        QAbstractButton::keyPressEvent(event);
        return;
    }
    event->accept();
    // A held key repeats; the hold began with its first press. A button held
    // by the mouse ignores the keys until the mouse lets go.
    if (event->isAutoRepeat() || m_pressed)
        return;
    m_holdKey = event->key();
    setDown(true);
    BeginHold(MessagesFor(m_role).press);
    update();
}

void CPictureButton::keyReleaseEvent(QKeyEvent* event) {
    if (m_holdKey == 0 || event->key() != m_holdKey) {
        QAbstractButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat())
        return;
    m_holdKey = 0;
    m_pressed = false;
    Post(MessagesFor(m_role).release);
    setDown(false);
    click();
}

void CPictureButton::focusInEvent(QFocusEvent* event) {
    QAbstractButton::focusInEvent(event);
    update();
}

void CPictureButton::focusOutEvent(QFocusEvent* event) {
    // Focus that moves on while a key holds the button: the key's release
    // goes elsewhere, so the hold ends here, without a click.
    if (m_holdKey != 0)
        EndHoldWithoutRelease();
    QAbstractButton::focusOutEvent(event);
    update();
}

void CPictureButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    if (!isEnabled())
        EndHoldWithoutRelease();
    m_enabledLook = isEnabled();
    repaint();
}

void CPictureButton::hideEvent(QHideEvent* event) {
    EndHoldWithoutRelease();
    QAbstractButton::hideEvent(event);
}

} // namespace tessel
