// A push button whose whole face is a picture chosen by its role and state.
// Fast forward and rewind report press and release separately, so the main
// window can wind while the button is held; the playlist's Delete, Up and
// Down act on each click of a double click. Space, Enter and Return on a
// focused button hold and click it the way the left mouse button does, and
// a focused button draws a frame.
#pragma once

#include "controls/ButtonRole.h"
#include "controls/MessageSink.h"

#include <QAbstractButton>

#include <optional>

namespace tessel {

class CPictureButton : public QAbstractButton {
    Q_OBJECT

  public:
    explicit CPictureButton(QWidget* parent = nullptr);

    // The owning window sets the role once, before the button is first shown.
    void SetRole(ButtonRole role);
    ButtonRole Role() const { return m_role; }

    void SetMessageSink(MessageSink post) { m_post = std::move(post); }

    // Whether fast forward, play / pause and rewind show their normal rather
    // than their disabled picture. Starts false. Follows the widget's enabled
    // state whenever that changes.
    void SetEnabledLook(bool enabled);
    bool EnabledLook() const { return m_enabledLook; }

    // The power role's two picture pairs.
    void SetPowerOn();
    void SetPowerOff();
    bool PowerOn() const { return m_powerOn; }

    // Set while the left mouse button, or Space, Enter or Return on the
    // focused button, is held on the button.
    bool Pressed() const { return m_pressed; }

    // The picture file the current state shows; empty for no role.
    QString CurrentPictureFile() const;

    QSize sizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Post(std::optional<AppMessage> message) const;
    void BeginHold(std::optional<AppMessage> message);
    void EndHoldWithoutRelease();

    ButtonRole m_role = ButtonRole::None;
    MessageSink m_post;
    bool m_pressed = false;
    int m_holdKey = 0; // the key that holds the button; 0 for the mouse
    bool m_enabledLook = false;
    bool m_powerOn = false;
};

} // namespace tessel
