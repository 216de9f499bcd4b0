#include "controls/ButtonFace.h"
#include "controls/ButtonRole.h"
#include "controls/PictureButton.h"
#include "controls/PictureFolder.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <unistd.h>

namespace tessel {
namespace {

// Every picture a button state, a playlist row or the window names, with the
// size it is drawn at.
std::vector<std::pair<QString, QSize>> AllPictures() {
    std::vector<std::pair<QString, QSize>> all;
    for (ButtonRole role : kAllButtonRoles)
        for (int state = 0; state < 8; ++state)
            all.emplace_back(PictureFileFor(role, state & 1, state & 2, state & 4),
                             NaturalPictureSize(role));
    for (RowIcon icon :
         {RowIcon::Loaded, RowIcon::Normal, RowIcon::Spare, RowIcon::Selected, RowIcon::Unreadable})
        all.emplace_back(RowIconFile(icon), QSize(16, 16));
    all.emplace_back(kAppIconFile, QSize(256, 256));
    return all;
}

TEST(Pictures, EveryNamedPictureIsBuiltBesideTheProgramAtEveryScaleAndLoads) {
    ASSERT_EQ(PicturePath("x.png"), QString::fromStdString(test::BinDir().string()) + "/x.png");
    for (const auto& [file, size] : AllPictures()) {
        // The window icon comes in one size only.
        for (int scale = 1; scale <= (file == kAppIconFile ? 1 : 3); ++scale) {
            SCOPED_TRACE(ScaledPictureName(file, scale).toStdString());
            const QImage image(PicturePath(ScaledPictureName(file, scale)));
            EXPECT_EQ(image.size(), size * scale);
            EXPECT_TRUE(image.hasAlphaChannel());
        }
    }
}

TEST(Pictures, EachScreenScaleGetsTheSmallestPictureThatIsLargeEnough) {
    for (const auto& [ratio, scale] :
         {std::pair{1.0, 1}, {1.25, 2}, {2.0, 2}, {2.5, 3}, {4.0, 3}, {0.5, 1}}) {
        const QImage picture = LoadPictureForRatio("nextTrack.png", ratio);
        EXPECT_EQ(picture.devicePixelRatio(), scale) << ratio;
        EXPECT_EQ(picture.size(), QSize(40, 32) * scale) << ratio;
    }
}

void SavePicture(const std::filesystem::path& path, QSize size) {
    std::filesystem::create_directories(path.parent_path());
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString(path.string())));
}

// Installed, the pictures are below share/ beside bin/, but one beside the
// program wins; and loading follows a file as it appears, changes and goes.
TEST(Pictures, InstalledPicturesAreFoundBelowShareAndLoadingFollowsTheFile) {
    const std::string name = "installed" + std::to_string(getpid()) + ".png";
    const auto installed =
        test::BinDir().parent_path() / "share/tessel-audio-player/pictures" / name;
    const auto beside = test::BinDir() / name;
    const auto loaded = [&] {
        return LoadPicture(PicturePath(QString::fromStdString(name))).size();
    };
    SavePicture(installed, QSize(6, 6));
    EXPECT_EQ(loaded(), QSize(6, 6));
    SavePicture(beside, QSize(3, 3));
    EXPECT_EQ(loaded(), QSize(3, 3));
    SavePicture(beside, QSize(8, 6));
    EXPECT_EQ(loaded(), QSize(8, 6)) << "changed";
    std::filesystem::remove(beside);
    EXPECT_EQ(loaded(), QSize(6, 6));
    std::filesystem::remove(installed);
    EXPECT_EQ(loaded(), QSize(0, 0)) << "gone";
}

// The picture's own pixel where it is opaque (its middle), the fill where it
// is clear (its rounded corner): the right picture, at the face's scale.
void ExpectPictureOverFill(const QImage& face, const QString& pictureFile, QColor fill) {
    const QImage picture(PicturePath(pictureFile));
    ASSERT_EQ(face.size(), picture.size()) << pictureFile.toStdString();
    const QPoint middle = picture.rect().center();
    EXPECT_EQ(face.pixel(middle) | 0xff000000u, picture.pixel(middle)) << pictureFile.toStdString();
    EXPECT_EQ(face.pixelColor(0, 0), fill) << pictureFile.toStdString();
}

TEST(ButtonDrawing, TheFaceIsThePictureOverTheFillAndTheFocusFrameRingsIt) {
    CPictureButton button;
    button.resize(40, 32);
    const QColor face = button.palette().color(QPalette::Button);
    EXPECT_EQ(button.grab().toImage().pixelColor(20, 16), face) << "no role: the plain colour";
    button.SetRole(ButtonRole::NextTrack);
    ExpectPictureOverFill(button.grab().toImage(), "nextTrack.png", face);

    ButtonFaceLook look;
    look.fill = Qt::white;
    look.pictureFile = "playPause.png";
    look.frameColour = QColor(255, 0, 255);
    const QImage doubled = ComposeButtonFace(QSize(40, 32), 2.0, look);
    EXPECT_EQ(doubled.devicePixelRatio(), 2.0);
    ExpectPictureOverFill(doubled, "playPause@2x.png", Qt::white);
    // At 150 % the face has the screen's own pixel count.
    EXPECT_EQ(ComposeButtonFace(QSize(40, 32), 1.5, look).size(), QSize(60, 48));
    // The focus frame rings the face, two pixels in, and leaves its middle alone.
    look.focusFrame = true;
    const QImage framed = ComposeButtonFace(QSize(40, 32), 2.0, look);
    for (QPoint p : {QPoint(40, 2), QPoint(40, 61), QPoint(2, 32), QPoint(77, 32)})
        EXPECT_EQ(framed.pixelColor(p), look.frameColour) << p.x() << "," << p.y();
    EXPECT_EQ(framed.copy(20, 16, 40, 32), doubled.copy(20, 16, 40, 32));
}

} // namespace
} // namespace tessel
