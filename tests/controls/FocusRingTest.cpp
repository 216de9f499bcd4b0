#include "controls/FocusRing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <QVBoxLayout>

namespace tessel {
namespace {

TEST(FocusRing, ShowsAroundTheFocusedControlOnlyAndFollowsIt) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* slider = new QSlider(Qt::Horizontal);
    auto* other = new QSlider(Qt::Horizontal);
    layout->addWidget(slider);
    layout->addWidget(other);
    CFocusRing* ring = CFocusRing::Attach(slider);
    ASSERT_NE(ring, nullptr);
    window.show();
    window.activateWindow();
    QElapsedTimer clock;
    clock.start();
    while (QApplication::activeWindow() != &window && clock.elapsed() < 5000)
        QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &window);

    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(ring->isVisible());
    slider->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(slider->hasFocus());
    EXPECT_TRUE(ring->isVisible());
    const int m = CFocusRing::kMargin;
    EXPECT_EQ(ring->geometry(), slider->geometry().adjusted(-m, -m, m, m));

    slider->move(slider->pos() + QPoint(5, 3));
    EXPECT_EQ(ring->geometry(), slider->geometry().adjusted(-m, -m, m, m));

    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(ring->isVisible());
    slider->setFocus(Qt::TabFocusReason);
    slider->hide();
    EXPECT_FALSE(ring->isVisible());
    EXPECT_TRUE(ring->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(CFocusRing::Attach(nullptr), nullptr);
}

} // namespace
} // namespace tessel
