// Every window of the player fits the screen's available area when it shows:
// at a large scale factor or on a small screen, the play list's buttons must
// stay within reach.
#include "controls/ScreenFit.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tests/app/WindowFixture.h"

#include <QDialog>
#include <QScreen>

namespace tessel {
namespace {

TEST(ScreenFit, AWindowIsMovedInsideAndShrunkOnlyWhereItMustBe) {
    const QRect area(0, 30, 640, 470); // a panel above
    const QSize minimum(100, 100);
    struct Case {
        QRect frame;
        FitWay way;
        QRect fitted;
    };
    const Case cases[] = {
        {{10, 40, 200, 200}, FitWay::Move, {10, 40, 200, 200}},   // inside already
        {{600, 40, 200, 200}, FitWay::Move, {440, 40, 200, 200}}, // off the right
        {{10, 0, 200, 200}, FitWay::Move, {10, 30, 200, 200}},    // under the panel
        {{10, 400, 200, 200}, FitWay::Move, {10, 300, 200, 200}}, // off the bottom
        {{10, 400, 200, 200}, FitWay::ShortenFirst, {10, 400, 200, 100}},
        {{10, 450, 200, 200}, FitWay::ShortenFirst, {10, 400, 200, 100}}, // the minimum
        {{10, 900, 200, 200}, FitWay::ShortenFirst, {10, 400, 200, 100}}, // below the screen
        {{-50, -20, 800, 700}, FitWay::Move, {0, 30, 640, 470}},          // larger than the area
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitInside(c.frame, area, minimum, c.way), c.fitted) << c.frame.y();
    // Too large even at its minimum: the title bar stays on the area.
    EXPECT_EQ(FitInside({30, 60, 800, 700}, area, {700, 600}), QRect(0, 30, 700, 600));
    EXPECT_EQ(FitInside({30, 60, 800, 700}, QRect(), minimum), QRect(30, 60, 800, 700));
}

using ScreenFitTest = test::WindowFixture;

bool OnArea(const QWidget& window) {
    return window.screen()->availableGeometry().contains(window.frameGeometry());
}

TEST_F(ScreenFitTest, ThePlayListTheEqualizerAndDialogsOpenWithinTheScreen) {
    const QRect area = window->screen()->availableGeometry();
    ASSERT_TRUE(OnArea(*window));
    QWidget& list = *window->PlaylistWindow();
    // Taller than the screen, as the play list is at twice the scale on a
    // small one.
    list.resize(list.width(), area.height() * 2);
    window->Controls().playList->click();
    EXPECT_TRUE(OnArea(list)) << list.frameGeometry().bottom() << " " << area.bottom();
    EXPECT_GE(list.y(), window->frameGeometry().bottom()) << "shorter, still below";

    window->move(area.left(), area.bottom() - window->frameGeometry().height() / 2);
    // Moved there by the user: the window itself stays where it was put.
    window->Controls().equalizer->click();
    EXPECT_TRUE(OnArea(*window->EqualizerWindow()));

    QDialog dialog(window.get());
    dialog.resize(area.size() * 2);
    dialog.show();
    EXPECT_TRUE(OnArea(dialog));
}

} // namespace
} // namespace tessel
