#include "controls/PictureButton.h"
#include "core/AppMessages.h"
#include "tests/support/qt/WidgetEvents.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessel {
namespace {

using test::DoubleClick;
using test::Press;
using test::Release;
using test::SendKey;
using Posted = std::vector<AppMessage>;

struct ButtonFixture : ::testing::Test {
    Posted posted;
    int clicks = 0;

    std::unique_ptr<CPictureButton> Make(ButtonRole role) {
        auto button = std::make_unique<CPictureButton>();
        button->SetRole(role);
        button->resize(button->sizeHint());
        button->SetMessageSink([this](AppMessage id) { posted.push_back(id); });
        QObject::connect(button.get(), &QAbstractButton::clicked, [this] { ++clicks; });
        button->show();
        return button;
    }
    // What posting means: the messages since the last look.
    Posted Take() { return std::exchange(posted, {}); }
};

TEST_F(ButtonFixture, HoldingAFastWindPostsOnePressAndOneReleaseEvenAcrossADoubleClick) {
    auto ffwd = Make(ButtonRole::FastForward);
    Press(ffwd.get());
    EXPECT_TRUE(ffwd->Pressed());
    Press(ffwd.get()); // a press while held changes nothing
    EXPECT_EQ(Take(), Posted{AppMessage::FfwdPressed});
    Release(ffwd.get());
    EXPECT_FALSE(ffwd->Pressed());
    EXPECT_EQ(Take(), Posted{AppMessage::FfwdReleased});
    for (bool bare : {false, true}) {
        DoubleClick(ffwd.get(), bare);
        EXPECT_EQ(Take(), (Posted{AppMessage::FfwdPressed, AppMessage::FfwdReleased,
                                  AppMessage::FfwdPressed, AppMessage::FfwdReleased}))
            << bare;
    }
    auto rwnd = Make(ButtonRole::Rewind);
    Press(rwnd.get());
    Release(rwnd.get());
    EXPECT_EQ(Take(), (Posted{AppMessage::RwndPressed, AppMessage::RwndReleased}));
}

TEST_F(ButtonFixture, EachClickOfADoubleClickOnAListButtonActsOnceAndPlainButtonsPostNothing) {
    for (const auto& [role, message] : {std::pair{ButtonRole::Delete, AppMessage::DeleteSelected},
                                        {ButtonRole::MoveUp, AppMessage::MoveSelectedUp},
                                        {ButtonRole::MoveDown, AppMessage::MoveSelectedDown}}) {
        auto button = Make(role);
        for (bool bare : {false, true}) {
            DoubleClick(button.get(), bare);
            EXPECT_EQ(Take(), (Posted{message, message})) << int(role) << bare;
        }
    }
    auto save = Make(ButtonRole::Save);
    clicks = 0;
    DoubleClick(save.get(), false);
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(clicks, 2);
    auto ffwd = Make(ButtonRole::FastForward);
    Press(ffwd.get(), Qt::RightButton);
    Release(ffwd.get(), Qt::RightButton);
    EXPECT_TRUE(posted.empty());
}

TEST_F(ButtonFixture, AHoldCutShortByDisablingOrHidingEndsAndTheButtonWorksAgain) {
    auto ffwd = Make(ButtonRole::FastForward);
    Press(ffwd.get());
    ffwd->setEnabled(false);
    EXPECT_FALSE(ffwd->Pressed());
    EXPECT_EQ(Take(), (Posted{AppMessage::FfwdPressed, AppMessage::FfwdReleased}));
    ffwd->setEnabled(true);
    Press(ffwd.get());
    Release(ffwd.get());
    EXPECT_EQ(Take(), (Posted{AppMessage::FfwdPressed, AppMessage::FfwdReleased}));
    Press(ffwd.get());
    ffwd->hide();
    EXPECT_EQ(Take(), (Posted{AppMessage::FfwdPressed, AppMessage::FfwdReleased}));
}

TEST_F(ButtonFixture, ThePictureFollowsTheLookThePressAndThePower) {
    auto ffwd = Make(ButtonRole::FastForward);
    const auto shows = [&](CPictureButton& b, bool pressed, bool enabledLook, bool powerOn) {
        return b.CurrentPictureFile() == PictureFileFor(b.Role(), pressed, enabledLook, powerOn);
    };
    EXPECT_TRUE(shows(*ffwd, false, false, false)) << "disabled-looking until a device is there";
    // Enabling the widget brings the normal look with it...
    ffwd->setEnabled(false);
    ffwd->setEnabled(true);
    EXPECT_TRUE(shows(*ffwd, false, true, false));
    // ...while an enabled widget whose look was cleared still looks disabled,
    // pressed or not.
    ffwd->SetEnabledLook(false);
    Press(ffwd.get());
    EXPECT_TRUE(shows(*ffwd, false, false, false));
    Release(ffwd.get());
    ffwd->SetEnabledLook(true);
    Press(ffwd.get());
    EXPECT_TRUE(shows(*ffwd, true, true, false));
    Release(ffwd.get());

    auto power = Make(ButtonRole::Power);
    EXPECT_TRUE(shows(*power, false, true, false));
    power->SetPowerOn();
    Press(power.get());
    EXPECT_TRUE(shows(*power, true, true, true));
    Release(power.get());
    power->SetPowerOff();
    EXPECT_TRUE(shows(*power, false, true, false));
    EXPECT_NE(power->CurrentPictureFile(), PictureFileFor(ButtonRole::Power, false, true, true));
}

TEST_F(ButtonFixture, SpaceAndEnterHoldAndClickAFocusedButtonLikeTheMouse) {
    auto ffwd = Make(ButtonRole::FastForward);
    for (int key : {int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        clicks = 0;
        SendKey(ffwd.get(), QEvent::KeyPress, key);
        EXPECT_TRUE(ffwd->Pressed());
        SendKey(ffwd.get(), QEvent::KeyRelease, key, true); // the key repeats...
        SendKey(ffwd.get(), QEvent::KeyPress, key, true);
        Release(ffwd.get()); // ...and a stray mouse release comes
        EXPECT_TRUE(ffwd->Pressed());
        SendKey(ffwd.get(), QEvent::KeyRelease, key);
        EXPECT_FALSE(ffwd->Pressed());
        EXPECT_EQ(Take(), (Posted{AppMessage::FfwdPressed, AppMessage::FfwdReleased})) << key;
        EXPECT_EQ(clicks, 1) << key;
    }
    // Keys with a modifier are someone else's shortcuts.
    SendKey(ffwd.get(), QEvent::KeyPress, Qt::Key_Space, false, Qt::ControlModifier);
    EXPECT_FALSE(ffwd->Pressed());
    EXPECT_TRUE(posted.empty());
    for (auto [key, modifiers] : {std::pair{Qt::Key_Space, Qt::NoModifier},
                                  {Qt::Key_Return, Qt::NoModifier},
                                  {Qt::Key_Enter, Qt::NoModifier},
                                  {Qt::Key_Space, Qt::ControlModifier}}) {
        QKeyEvent override(QEvent::ShortcutOverride, key, modifiers);
        override.ignore();
        QApplication::sendEvent(ffwd.get(), &override);
        EXPECT_EQ(override.isAccepted(), modifiers == Qt::NoModifier)
            << key << ": a focused button keeps its keys from the window's shortcuts";
    }
}

TEST_F(ButtonFixture, FocusLeavingAKeyHeldButtonEndsTheHoldWithoutAClick) {
    auto rwnd = Make(ButtonRole::Rewind);
    SendKey(rwnd.get(), QEvent::KeyPress, Qt::Key_Space);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(rwnd.get(), &out);
    EXPECT_FALSE(rwnd->Pressed());
    SendKey(rwnd.get(), QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(Take(), (Posted{AppMessage::RwndPressed, AppMessage::RwndReleased}));
    EXPECT_EQ(clicks, 0);
}

} // namespace
} // namespace tessel
