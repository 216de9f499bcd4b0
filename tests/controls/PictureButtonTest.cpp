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

// A fast wind held across a double click still posts a release after each
// press; a list button acts on each click; in either order of the events.
TEST_F(ButtonFixture, EachClickOfADoubleClickActsOnceAndAHoldPostsOnePressAndOneRelease) {
    using enum AppMessage;
    for (const auto& [role, posts] :
         {std::pair{ButtonRole::FastForward,
                    Posted{FfwdPressed, FfwdReleased, FfwdPressed, FfwdReleased}},
          {ButtonRole::Delete, Posted{DeleteSelected, DeleteSelected}},
          {ButtonRole::MoveUp, Posted{MoveSelectedUp, MoveSelectedUp}}}) {
        auto button = Make(role);
        for (bool bare : {false, true}) {
            DoubleClick(button.get(), bare);
            EXPECT_EQ(Take(), posts) << int(role) << bare;
        }
    }
    auto ffwd = Make(ButtonRole::FastForward);
    Press(ffwd.get(), Qt::RightButton);
    Release(ffwd.get(), Qt::RightButton);
    EXPECT_TRUE(Take().empty()) << "the right button does nothing";
    Press(ffwd.get());
    Press(ffwd.get()); // a press while held changes nothing
    EXPECT_EQ(Take(), Posted{FfwdPressed});
    Release(ffwd.get());
    EXPECT_EQ(Take(), Posted{FfwdReleased});
}

// A hold whose release will never come: disabled, hidden, or (held by a key)
// left by the focus. It ends at once, without a click, and the button works
// again.
TEST_F(ButtonFixture, AHoldCutShortEndsWithoutAClickAndTheButtonWorksAgain) {
    auto rwnd = Make(ButtonRole::Rewind);
    const Posted pair{AppMessage::RwndPressed, AppMessage::RwndReleased};
    Press(rwnd.get());
    rwnd->setEnabled(false);
    EXPECT_EQ(Take(), pair) << "disabled";
    rwnd->setEnabled(true);
    Press(rwnd.get());
    rwnd->hide();
    EXPECT_EQ(Take(), pair) << "hidden";
    rwnd->show();
    SendKey(rwnd.get(), QEvent::KeyPress, Qt::Key_Space);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(rwnd.get(), &out);
    EXPECT_EQ(Take(), pair) << "left by the focus";
    SendKey(rwnd.get(), QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(clicks, 0);
    Press(rwnd.get());
    Release(rwnd.get());
    EXPECT_EQ(Take(), pair) << "after it all";
}

TEST_F(ButtonFixture, ThePictureFollowsTheLookThePressAndThePower) {
    auto ffwd = Make(ButtonRole::FastForward);
    auto power = Make(ButtonRole::Power);
    const auto shows = [&](CPictureButton& b, bool pressed, bool enabledLook, bool powerOn) {
        return b.CurrentPictureFile() == PictureFileFor(b.Role(), pressed, enabledLook, powerOn);
    };
    EXPECT_TRUE(shows(*ffwd, false, false, false)) << "disabled-looking until a device is there";
    ffwd->setEnabled(false);
    ffwd->setEnabled(true);
    EXPECT_TRUE(shows(*ffwd, false, true, false)) << "enabling brings the normal look with it";
    power->SetPowerOn();
    EXPECT_TRUE(shows(*power, false, true, true));
    Press(power.get());
    EXPECT_TRUE(shows(*power, true, true, true));
}

TEST_F(ButtonFixture, SpaceAndEnterHoldAndClickAFocusedButtonLikeTheMouse) {
    auto ffwd = Make(ButtonRole::FastForward);
    for (int key : {int(Qt::Key_Space), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        clicks = 0;
        SendKey(ffwd.get(), QEvent::KeyPress, key);
        SendKey(ffwd.get(), QEvent::KeyRelease, key, true); // the key repeats...
        SendKey(ffwd.get(), QEvent::KeyPress, key, true);
        Release(ffwd.get()); // ...and a stray mouse release comes
        EXPECT_TRUE(ffwd->Pressed());
        SendKey(ffwd.get(), QEvent::KeyRelease, key);
        EXPECT_EQ(Take(), (Posted{AppMessage::FfwdPressed, AppMessage::FfwdReleased})) << key;
        EXPECT_EQ(clicks, 1) << key;
    }
    // Keys with a modifier are someone else's shortcuts.
    SendKey(ffwd.get(), QEvent::KeyPress, Qt::Key_Space, false, Qt::ControlModifier);
    EXPECT_TRUE(posted.empty());
}

} // namespace
} // namespace tessel
