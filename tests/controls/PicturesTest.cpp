#include "controls/ButtonFace.h"
#include "controls/ButtonRole.h"
#include "controls/PictureButton.h"
#include "controls/PictureFolder.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <QFile>
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
    EXPECT_TRUE(PictureFileFor(ButtonRole::None, false, true, false).isEmpty());
    for (const auto& [file, size] : AllPictures()) {
        // The window icon comes in one size only.
        for (int scale = 1; scale <= (file == kAppIconFile ? 1 : 3); ++scale) {
            SCOPED_TRACE(ScaledPictureName(file, scale).toStdString());
            const QImage image(PicturePath(ScaledPictureName(file, scale)));
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.size(), size * scale);
            EXPECT_TRUE(image.hasAlphaChannel());
        }
    }
}

TEST(Pictures, PressedAndDisabledPicturesTellApartFromNormalAtAGlance) {
    auto brightness = [](const QString& file) {
        const QImage image = QImage(PicturePath(file)).convertToFormat(QImage::Format_ARGB32);
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                sum += qGray(image.pixel(x, y)) * qAlpha(image.pixel(x, y)) / 255.0;
        return sum / (image.width() * image.height());
    };
    for (ButtonRole role : kAllButtonRoles) {
        const double normal = brightness(PictureFileFor(role, false, true, true));
        EXPECT_LT(brightness(PictureFileFor(role, true, true, true)), normal - 10) << int(role);
        if (HasDisabledPicture(role)) {
            EXPECT_GT(brightness(PictureFileFor(role, false, false, true)), normal + 60)
                << int(role);
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
    EXPECT_TRUE(LoadPictureForRatio("no such picture.png", 2.0).isNull());
}

void SavePicture(const std::filesystem::path& path, QSize size) {
    std::filesystem::create_directories(path.parent_path());
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString(path.string())));
}

TEST(Pictures, InstalledPicturesAreFoundBelowShareBesideBinButBesideTheProgramWins) {
    const std::string name = "installed" + std::to_string(getpid()) + ".png";
    const auto installed =
        test::BinDir().parent_path() / "share/tessel-audio-player/pictures" / name;
    const auto beside = test::BinDir() / name;
    SavePicture(installed, QSize(6, 6));
    EXPECT_EQ(LoadPicture(PicturePath(QString::fromStdString(name))).size(), QSize(6, 6));
    SavePicture(beside, QSize(3, 3));
    EXPECT_EQ(LoadPicture(PicturePath(QString::fromStdString(name))).size(), QSize(3, 3));
    std::filesystem::remove(installed);
    std::filesystem::remove(beside);
}

TEST(Pictures, LoadingFollowsTheFileAsItAppearsChangesAndGoes) {
    test::TempDir dir;
    const QString path = QString::fromStdString((dir / "p.png").string());
    EXPECT_TRUE(LoadPicture(path).isNull());
    SavePicture(dir / "p.png", QSize(4, 4));
    EXPECT_EQ(LoadPicture(path).size(), QSize(4, 4));
    SavePicture(dir / "p.png", QSize(8, 6));
    EXPECT_EQ(LoadPicture(path).size(), QSize(8, 6));
    QFile::remove(path);
    EXPECT_TRUE(LoadPicture(path).isNull());
    QFile garbage(path);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a picture");
    garbage.close();
    EXPECT_TRUE(LoadPicture(path).isNull());
}

QImage Rgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

// Pixel for pixel: the picture where it is opaque, the fill where it is
// clear (and the picture has both).
void ExpectPictureOverFill(const QImage& face, const QString& pictureFile, QColor fill) {
    const QImage picture = QImage(PicturePath(pictureFile)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(face.size(), picture.size()) << pictureFile.toStdString();
    int opaque = 0;
    int clear = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb want = picture.pixel(x, y);
            const QRgb got = face.pixel(x, y) | 0xff000000u;
            if (qAlpha(want) == 255) {
                ++opaque;
                ASSERT_EQ(got, want) << pictureFile.toStdString() << " at " << x << "," << y;
            } else if (qAlpha(want) == 0) {
                ++clear;
                ASSERT_EQ(got, fill.rgb()) << pictureFile.toStdString() << " at " << x << "," << y;
            }
        }
    }
    EXPECT_GT(opaque, 0);
    EXPECT_GT(clear, 0);
}

TEST(ButtonDrawing, TheFaceIsThePictureOverTheFillPixelForPixelAtEachScale) {
    CPictureButton button;
    button.resize(40, 32);
    const QColor face = button.palette().color(QPalette::Button);
    QImage plain(40, 32, QImage::Format_RGB32);
    plain.fill(face);
    EXPECT_EQ(Rgb(button.grab().toImage()), plain) << "no role: the plain button colour";

    button.SetRole(ButtonRole::NextTrack);
    ExpectPictureOverFill(button.grab().toImage(), "nextTrack.png", face);

    ButtonFaceLook look;
    look.fill = Qt::white;
    look.pictureFile = "playPause.png";
    const QImage doubled = ComposeButtonFace(QSize(40, 32), 2.0, look);
    EXPECT_EQ(doubled.devicePixelRatio(), 2.0);
    ExpectPictureOverFill(doubled, "playPause@2x.png", Qt::white);
    // At 150 % the face has the screen's own pixel count.
    EXPECT_EQ(ComposeButtonFace(QSize(40, 32), 1.5, look).size(), QSize(60, 48));
}

TEST(ButtonDrawing, TheFocusFrameRingsTheFaceAndLeavesItsMiddleAlone) {
    ButtonFaceLook look;
    look.fill = Qt::white;
    look.pictureFile = "nextTrack.png";
    look.frameColour = QColor(255, 0, 255);
    for (qreal ratio : {1.0, 2.0}) {
        look.focusFrame = false;
        const QImage plain = ComposeButtonFace(QSize(40, 32), ratio, look);
        look.focusFrame = true;
        const QImage framed = ComposeButtonFace(QSize(40, 32), ratio, look);
        const int w = plain.width(), h = plain.height(), edge = static_cast<int>(ratio);
        for (QPoint p : {QPoint(w / 2, edge), QPoint(w / 2, h - 1 - edge), QPoint(edge, h / 2),
                         QPoint(w - 1 - edge, h / 2)})
            EXPECT_EQ(framed.pixelColor(p), look.frameColour)
                << ratio << " " << p.x() << "," << p.y();
        const QRect middle(w / 4, h / 4, w / 2, h / 2);
        EXPECT_EQ(framed.copy(middle), plain.copy(middle)) << ratio;
    }
}

} // namespace
} // namespace tessel
