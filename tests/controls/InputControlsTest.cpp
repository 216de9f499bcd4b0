#include "controls/QuilEdit.h"
#include "controls/QuilSliderCtrl.h"
#include "core/AppMessages.h"
#include "tests/controls/MouseEvents.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

namespace tessel {
namespace {

using test::SendMouse;

struct SliderFixture : ::testing::Test {
    std::vector<uint32_t> posted;
    int releases = 0;
    CQuilSliderCtrl slider;

    void SetUp() override {
        slider.setRange(0, 65535);
        slider.resize(300, 24);
        slider.SetMessageSink([this](uint32_t id) { posted.push_back(id); });
        QObject::connect(&slider, &CQuilSliderCtrl::grabReleased, [this] { ++releases; });
        slider.show();
    }
    QPointF AtHandle() const { return QPointF(4, slider.height() / 2.0); }
};

TEST_F(SliderFixture, AGrabPostsOnceAndItsReleaseIsReportedOnce) {
    SendMouse(&slider, QEvent::MouseButtonPress, AtHandle());
    EXPECT_EQ(posted, (std::vector<uint32_t>{kMsgPositionSliderGrabbed}));
    // The press still reaches the slider, which now follows the mouse.
    EXPECT_TRUE(slider.isSliderDown());
    SendMouse(&slider, QEvent::MouseMove, QPointF(slider.width() - 2, slider.height() / 2.0));
    EXPECT_GT(slider.value(), 60000);
    EXPECT_EQ(releases, 0);
    SendMouse(&slider, QEvent::MouseButtonRelease, QPointF(slider.width() - 2, 12));
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(posted.size(), 1u);

    // A double click is one more grab, not two.
    posted.clear();
    const QPointF at(slider.width() - 2, 12);
    SendMouse(&slider, QEvent::MouseButtonPress, at);
    SendMouse(&slider, QEvent::MouseButtonRelease, at);
    SendMouse(&slider, QEvent::MouseButtonPress, at);
    SendMouse(&slider, QEvent::MouseButtonDblClick, at);
    SendMouse(&slider, QEvent::MouseButtonRelease, at);
    EXPECT_EQ(posted,
              (std::vector<uint32_t>{kMsgPositionSliderGrabbed, kMsgPositionSliderGrabbed}));
    EXPECT_EQ(releases, 3);
}

TEST_F(SliderFixture, AGrabCutShortByDisablingIsReleased) {
    SendMouse(&slider, QEvent::MouseButtonPress, AtHandle());
    slider.setEnabled(false);
    EXPECT_EQ(releases, 1);
    EXPECT_FALSE(slider.Held());
    slider.setEnabled(true);
    SendMouse(&slider, QEvent::MouseButtonRelease, AtHandle());
    EXPECT_EQ(releases, 1);

    SendMouse(&slider, QEvent::MouseButtonPress, AtHandle(), Qt::RightButton);
    EXPECT_EQ(posted.size(), 1u);
}

void SendKey(QWidget* widget, int key, bool autoRepeat = false, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text, autoRepeat);
    QApplication::sendEvent(widget, &press);
}

struct FindBoxFixture : ::testing::Test {
    std::vector<uint32_t> posted;
    int defaultPresses = 0;
    QDialog dialog;
    QPushButton* next = new QPushButton("Next", &dialog);

    void SetUp() override {
        next->setDefault(true);
        QObject::connect(next, &QPushButton::clicked, [this] { ++defaultPresses; });
        QObject::connect(next, &QPushButton::clicked, &dialog, &QDialog::accept);
        new QVBoxLayout(&dialog);
    }
    template <class Edit> Edit* Add() {
        auto* edit = new Edit(&dialog);
        dialog.layout()->addWidget(edit);
        dialog.layout()->addWidget(next);
        dialog.show();
        edit->setFocus();
        return edit;
    }
};

TEST_F(FindBoxFixture, EnterAsksForTheNextMatchAndLeavesTheWindowOpen) {
    auto* find = Add<CQuilEdit>();
    find->SetMessageSink([this](uint32_t id) { posted.push_back(id); });
    SendKey(find, Qt::Key_Return);
    SendKey(find, Qt::Key_Return, true); // a held key repeats
    SendKey(find, Qt::Key_Enter);        // the keypad's Enter
    EXPECT_EQ(posted, (std::vector<uint32_t>(3, kMsgFindNext)));
    EXPECT_EQ(defaultPresses, 0);
    EXPECT_TRUE(dialog.isVisible());

    SendKey(find, Qt::Key_A, false, "a");
    EXPECT_EQ(find->text(), "a");
    EXPECT_EQ(posted.size(), 3u);
}

TEST_F(FindBoxFixture, APlainEditWouldHaveClosedTheWindow) {
    // The setting above is one where Enter does reach the default button.
    auto* plain = Add<QLineEdit>();
    SendKey(plain, Qt::Key_Return);
    EXPECT_EQ(defaultPresses, 1);
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
} // namespace tessel
