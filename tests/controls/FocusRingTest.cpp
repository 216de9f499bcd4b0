#include "controls/FocusRing.h"

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <QApplication>
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }));

    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(ring->isVisible());
    slider->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(ring->isVisible());
    const int m = CFocusRing::kMargin;
    slider->move(slider->pos() + QPoint(5, 3));
    EXPECT_EQ(ring->geometry(), slider->geometry().adjusted(-m, -m, m, m));
    slider->hide();
    EXPECT_FALSE(ring->isVisible());
    EXPECT_TRUE(ring->testAttribute(Qt::WA_TransparentForMouseEvents));
}

} // namespace
} // namespace tessel
