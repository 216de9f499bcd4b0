#include "controls/FindBox.h"
#include "controls/PictureSlider.h"
#include "core/AppMessages.h"
#include "tests/support/qt/WidgetEvents.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>

#include <vector>

namespace tessel {
namespace {

using test::SendKey;
using test::SendMouse;

struct SliderFixture : ::testing::Test {
    std::vector<AppMessage> posted;
    int releases = 0;
    CPictureSlider slider;

    void SetUp() override {
        slider.setRange(0, 65535);
        slider.resize(300, 24);
        slider.SetMessageSink([this](AppMessage id) { posted.push_back(id); });
        QObject::connect(&slider, &CPictureSlider::grabReleased, [this] { ++releases; });
        slider.show();
    }
    void Mouse(QEvent::Type type, double x, Qt::MouseButton button = Qt::LeftButton) {
        SendMouse(&slider, type, QPointF(x, slider.height() / 2.0), button);
    }
};

TEST_F(SliderFixture, AGrabPostsOnceAndItsReleaseIsReportedOnceEvenWhenCutShort) {
    Mouse(QEvent::MouseButtonPress, 4);
    EXPECT_EQ(posted, (std::vector<AppMessage>{AppMessage::PositionSliderGrabbed}));
    // The press still reaches the slider, which now follows the mouse.
    const double end = slider.width() - 2;
    Mouse(QEvent::MouseMove, end);
    EXPECT_GT(slider.value(), 60000);
    Mouse(QEvent::MouseButtonRelease, end);
    EXPECT_EQ(releases, 1);

    // A double click is one more grab, not two.
    for (QEvent::Type type :
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
          QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
        Mouse(type, end);
    EXPECT_EQ(posted, (std::vector<AppMessage>(3, AppMessage::PositionSliderGrabbed)));
    EXPECT_EQ(releases, 3);

    // Cut short by disabling: released once, not again at the mouse's release.
    Mouse(QEvent::MouseButtonPress, 4);
    slider.setEnabled(false);
    EXPECT_EQ(releases, 4);
    slider.setEnabled(true);
    Mouse(QEvent::MouseButtonRelease, 4);
    EXPECT_EQ(releases, 4);
    Mouse(QEvent::MouseButtonPress, 4, Qt::RightButton);
    EXPECT_EQ(posted.size(), 4u) << "the right button grabs nothing";
}

TEST(FindBox, EnterAsksForTheNextMatchAndLeavesTheWindowOpen) {
    // A dialog where Enter in a plain edit would press the default button.
    QDialog dialog;
    auto* find = new CFindBox(&dialog);
    auto* next = new QPushButton("Next", &dialog);
    next->setDefault(true);
    QObject::connect(next, &QPushButton::clicked, &dialog, &QDialog::accept);
    std::vector<AppMessage> posted;
    find->SetMessageSink([&](AppMessage id) { posted.push_back(id); });
    dialog.show();
    find->setFocus();

    SendKey(find, QEvent::KeyPress, Qt::Key_Return);
    SendKey(find, QEvent::KeyPress, Qt::Key_Return, true); // a held key repeats
    SendKey(find, QEvent::KeyPress, Qt::Key_Enter);        // the keypad's Enter
    EXPECT_EQ(posted, (std::vector<AppMessage>(3, AppMessage::FindNext)));
    EXPECT_TRUE(dialog.isVisible()) << "the default button was pressed";

    SendKey(find, QEvent::KeyPress, Qt::Key_A, false, Qt::NoModifier, "a");
    EXPECT_EQ(find->text(), "a");
    EXPECT_EQ(posted.size(), 3u);
}

} // namespace
} // namespace tessel
