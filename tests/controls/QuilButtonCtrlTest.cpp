#include "controls/QuilButtonCtrl.h"
#include "core/AppMessages.h"
#include "tests/controls/MouseEvents.h"

#include <gtest/gtest.h>

#include <QKeyEvent>

#include <vector>

namespace tessel {
namespace {

using test::BareDoubleClick;
using test::Press;
using test::QtDoubleClick;
using test::Release;

void SendKey(QWidget* widget, QEvent::Type type, int key, bool autoRepeat = false,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(widget, &event);
}

struct ButtonFixture : ::testing::Test {
    std::vector<uint32_t> posted;

    std::unique_ptr<CQuilButtonCtrl> Make(ButtonRole role) {
        auto button = std::make_unique<CQuilButtonCtrl>();
        button->SetRole(role);
        button->resize(button->sizeHint());
        button->SetMessageSink([this](uint32_t id) { posted.push_back(id); });
        button->show();
        return button;
    }
};

TEST_F(ButtonFixture, HoldingFastForwardPostsOnePressAndOneRelease) {
    auto ffwd = Make(ButtonRole::FastForward);
    Press(ffwd.get());
    EXPECT_TRUE(ffwd->Pressed());
    Press(ffwd.get()); // a press while held changes nothing
    EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgFfwdPressed}));
    Release(ffwd.get());
    EXPECT_FALSE(ffwd->Pressed());
    EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgFfwdPressed, kMsgFfwdReleased}));

    posted.clear();
    auto rwnd = Make(ButtonRole::Rewind);
    Press(rwnd.get());
    Release(rwnd.get());
    EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgRwndPressed, kMsgRwndReleased}));
}

TEST_F(ButtonFixture, EachClickOfADoubleClickOnAListButtonActsOnce) {
    const std::pair<ButtonRole, uint32_t> cases[] = {
        {ButtonRole::Delete, kMsgDeleteSelected},
        {ButtonRole::MoveUp, kMsgMoveSelectedUp},
        {ButtonRole::MoveDown, kMsgMoveSelectedDown},
    };
    for (const auto& [role, message] : cases) {
        auto button = Make(role);
        posted.clear();
        QtDoubleClick(button.get());
        EXPECT_EQ(posted, (std::vector<uint32_t>{message, message}));
        posted.clear();
        BareDoubleClick(button.get());
        EXPECT_EQ(posted, (std::vector<uint32_t>{message, message}));
    }
}

TEST_F(ButtonFixture, DoubleClickOnFastWindKeepsPressAndReleasePaired) {
    auto ffwd = Make(ButtonRole::FastForward);
    const std::vector<uint32_t> twice = {kMsgFfwdPressed, kMsgFfwdReleased, kMsgFfwdPressed,
                                         kMsgFfwdReleased};
    QtDoubleClick(ffwd.get());
    EXPECT_EQ(posted, twice);
    posted.clear();
    BareDoubleClick(ffwd.get());
    EXPECT_EQ(posted, twice);
}

TEST_F(ButtonFixture, PlainButtonsPostNothingButStillClick) {
    auto save = Make(ButtonRole::Save);
    int clicks = 0;
    QObject::connect(save.get(), &QAbstractButton::clicked, [&clicks] { ++clicks; });
    Press(save.get());
    Release(save.get());
    QtDoubleClick(save.get());
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(clicks, 3);

    auto ffwd = Make(ButtonRole::FastForward);
    Press(ffwd.get(), Qt::RightButton);
    Release(ffwd.get(), Qt::RightButton);
    EXPECT_TRUE(posted.empty());
}

TEST_F(ButtonFixture, AHoldCutShortByDisablingEndsAndTheButtonWorksAgain) {
    auto ffwd = Make(ButtonRole::FastForward);
    Press(ffwd.get());
    ffwd->setEnabled(false);
    EXPECT_FALSE(ffwd->Pressed());
    EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgFfwdPressed, kMsgFfwdReleased}));

    ffwd->setEnabled(true);
    posted.clear();
    Press(ffwd.get());
    Release(ffwd.get());
    EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgFfwdPressed, kMsgFfwdReleased}));

    posted.clear();
    Press(ffwd.get());
    ffwd->hide();
    EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgFfwdPressed, kMsgFfwdReleased}));
}

TEST_F(ButtonFixture, TransportButtonsLookDisabledUntilEnabled) {
    auto ffwd = Make(ButtonRole::FastForward);
    EXPECT_FALSE(ffwd->EnabledLook());
    EXPECT_EQ(ffwd->CurrentPictureFile(), "fastForwardDisabled.png");

    // Enabling the widget brings the normal look with it...
    ffwd->setEnabled(false);
    ffwd->setEnabled(true);
    EXPECT_EQ(ffwd->CurrentPictureFile(), "fastForward.png");

    // ...while an enabled widget whose look was cleared still looks disabled,
    // pressed or not.
    ffwd->SetEnabledLook(false);
    EXPECT_TRUE(ffwd->isEnabled());
    EXPECT_EQ(ffwd->CurrentPictureFile(), "fastForwardDisabled.png");
    Press(ffwd.get());
    EXPECT_EQ(ffwd->CurrentPictureFile(), "fastForwardDisabled.png");
    Release(ffwd.get());

    ffwd->SetEnabledLook(true);
    Press(ffwd.get());
    EXPECT_EQ(ffwd->CurrentPictureFile(), "fastForwardSelected.png");
    Release(ffwd.get());
}

TEST_F(ButtonFixture, PowerButtonSwitchesBetweenItsPictures) {
    auto power = Make(ButtonRole::Power);
    EXPECT_EQ(power->CurrentPictureFile(), "powerOff.png");
    power->SetPowerOn();
    EXPECT_EQ(power->CurrentPictureFile(), "powerOn.png");
    Press(power.get());
    EXPECT_EQ(power->CurrentPictureFile(), "powerOnSelected.png");
    Release(power.get());
    power->SetPowerOff();
    EXPECT_EQ(power->CurrentPictureFile(), "powerOff.png");
}

TEST_F(ButtonFixture, SpaceAndEnterHoldAndClickAFocusedButtonLikeTheMouse) {
    auto ffwd = Make(ButtonRole::FastForward);
    int clicks = 0;
    QObject::connect(ffwd.get(), &QAbstractButton::clicked, [&clicks] { ++clicks; });
    for (int key : {int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        posted.clear();
        clicks = 0;
        SendKey(ffwd.get(), QEvent::KeyPress, key);
        EXPECT_TRUE(ffwd->Pressed());
        EXPECT_EQ(ffwd->CurrentPictureFile(), "fastForwardDisabled.png"); // no device yet
        SendKey(ffwd.get(), QEvent::KeyRelease, key, true);               // the key repeats...
        SendKey(ffwd.get(), QEvent::KeyPress, key, true);
        EXPECT_TRUE(ffwd->Pressed()); // ...and still holds
        Release(ffwd.get());          // a stray mouse release
        EXPECT_TRUE(ffwd->Pressed());
        SendKey(ffwd.get(), QEvent::KeyRelease, key);
        EXPECT_FALSE(ffwd->Pressed());
        EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgFfwdPressed, kMsgFfwdReleased})) << key;
        EXPECT_EQ(clicks, 1) << key;
    }
    // Keys with a modifier are someone else's shortcuts.
    posted.clear();
    SendKey(ffwd.get(), QEvent::KeyPress, Qt::Key_Space, false, Qt::ControlModifier);
    EXPECT_FALSE(ffwd->Pressed());
    EXPECT_TRUE(posted.empty());
}

TEST_F(ButtonFixture, FocusLeavingAKeyHeldButtonEndsTheHoldWithoutAClick) {
    auto rwnd = Make(ButtonRole::Rewind);
    int clicks = 0;
    QObject::connect(rwnd.get(), &QAbstractButton::clicked, [&clicks] { ++clicks; });
    SendKey(rwnd.get(), QEvent::KeyPress, Qt::Key_Space);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(rwnd.get(), &out);
    EXPECT_FALSE(rwnd->Pressed());
    EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgRwndPressed, kMsgRwndReleased}));
    SendKey(rwnd.get(), QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(posted.size(), 2u);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonFixture, AFocusedButtonKeepsSpaceFromTheWindowsShortcuts) {
    auto play = Make(ButtonRole::PlayPause);
    for (int key : {int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        QKeyEvent override(QEvent::ShortcutOverride, key, Qt::NoModifier);
        override.ignore();
        QApplication::sendEvent(play.get(), &override);
        EXPECT_TRUE(override.isAccepted()) << key;
    }
    QKeyEvent other(QEvent::ShortcutOverride, Qt::Key_Space, Qt::ControlModifier);
    other.ignore();
    QApplication::sendEvent(play.get(), &other);
    EXPECT_FALSE(other.isAccepted());
}

} // namespace
} // namespace tessel
