#include "controls/ButtonFace.h"
#include "controls/ButtonRole.h"
#include "controls/PictureFolder.h"
#include "controls/QuilButtonCtrl.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>

#include <filesystem>
#include <map>
#include <unistd.h>

namespace tessel {
namespace {

// The program's picture names, written out once more on their own so that a
// slip in the code shows up here.
struct RolePictures {
    const char* normal;
    const char* pressed;
    const char* disabled; // nullptr: the role has none
};

const std::map<ButtonRole, RolePictures> kExpected = {
    {ButtonRole::AddFile, {"addFile.png", "addFileSelected.png", nullptr}},
    {ButtonRole::AddFolder, {"addFolder.png", "addFolderSelected.png", nullptr}},
    {ButtonRole::Delete, {"delete.png", "deleteSelected.png", nullptr}},
    {ButtonRole::DeleteAll, {"deleteAll.png", "deleteAllSelected.png", nullptr}},
    {ButtonRole::Equalizer, {"eq.png", "eqSelected.png", nullptr}},
    {ButtonRole::FastForward,
     {"fastForward.png", "fastForwardSelected.png", "fastForwardDisabled.png"}},
    {ButtonRole::PlayList, {"list.png", "listSelected.png", nullptr}},
    {ButtonRole::MoveDown, {"moveDown.png", "moveDownSelected.png", nullptr}},
    {ButtonRole::MoveUp, {"moveUp.png", "moveUpSelected.png", nullptr}},
    {ButtonRole::NextTrack, {"nextTrack.png", "nextTrackSelected.png", nullptr}},
    {ButtonRole::PlayPause, {"playPause.png", "playPauseSelected.png", "playPauseDisabled.png"}},
    {ButtonRole::PreviousTrack, {"previousTrack.png", "previousTrackSelected.png", nullptr}},
    {ButtonRole::Rewind, {"rewind.png", "rewindSelected.png", "rewindDisabled.png"}},
    {ButtonRole::Save, {"save.png", "saveSelected.png", nullptr}},
    {ButtonRole::Speaker, {"speaker.png", "speakerSelected.png", nullptr}},
};

TEST(ButtonPictures, EveryRoleAndStateChoosesItsPicture) {
    for (ButtonRole role : kAllButtonRoles) {
        for (bool pressed : {false, true}) {
            for (bool enabledLook : {false, true}) {
                for (bool powerOn : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << "role " << int(role) << " pressed " << pressed
                                 << " enabledLook " << enabledLook << " powerOn " << powerOn);
                    QString expected;
                    if (role == ButtonRole::Power) {
                        expected = powerOn ? (pressed ? "powerOnSelected.png" : "powerOn.png")
                                           : (pressed ? "powerOffSelected.png" : "powerOff.png");
                    } else {
                        const RolePictures& pics = kExpected.at(role);
                        expected = pics.disabled && !enabledLook ? pics.disabled
                                   : pressed                     ? pics.pressed
                                                                 : pics.normal;
                    }
                    EXPECT_EQ(PictureFileFor(role, pressed, enabledLook, powerOn), expected);
                }
            }
        }
    }
    EXPECT_TRUE(PictureFileFor(ButtonRole::None, false, true, false).isEmpty());
}

std::vector<std::pair<QString, QSize>> AllPictures() {
    std::vector<std::pair<QString, QSize>> all;
    for (ButtonRole role : kAllButtonRoles) {
        for (bool pressed : {false, true})
            for (bool enabledLook : {false, true})
                for (bool powerOn : {false, true})
                    all.emplace_back(PictureFileFor(role, pressed, enabledLook, powerOn),
                                     NaturalPictureSize(role));
    }
    for (RowIcon icon :
         {RowIcon::Loaded, RowIcon::Normal, RowIcon::Spare, RowIcon::Selected, RowIcon::Unreadable})
        all.emplace_back(RowIconFile(icon), QSize(16, 16));
    all.emplace_back(kAppIconFile, QSize(256, 256));
    return all;
}

TEST(ButtonPictures, EveryPictureIsBuiltBesideTheProgramAndLoads) {
    const QString folder = QString::fromStdString(test::BinDir().string());
    ASSERT_EQ(PicturePath("x.png"), folder + "/x.png");
    for (const auto& [file, size] : AllPictures()) {
        SCOPED_TRACE(file.toStdString());
        const QImage image(PicturePath(file));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), size);
        EXPECT_TRUE(image.hasAlphaChannel());
    }
}

TEST(ButtonPictures, EveryPictureButTheWindowIconComesAtTwiceAndThriceItsSize) {
    for (const auto& [file, size] : AllPictures()) {
        if (file == kAppIconFile)
            continue;
        for (int scale : {2, 3}) {
            SCOPED_TRACE(ScaledPictureName(file, scale).toStdString());
            const QImage image(PicturePath(ScaledPictureName(file, scale)));
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.size(), size * scale);
        }
    }
    EXPECT_EQ(ScaledPictureName("eq.png", 2), "eq@2x.png");
    EXPECT_EQ(ScaledPictureName("eq.png", 1), "eq.png");
}

TEST(ButtonPictures, EachScreenScaleGetsTheSmallestPictureThatIsLargeEnough) {
    const std::pair<qreal, int> cases[] = {{1.0, 1}, {1.25, 2}, {1.5, 2}, {2.0, 2},
                                           {2.5, 3}, {3.0, 3},  {4.0, 3}, {0.5, 1}};
    for (const auto& [ratio, scale] : cases) {
        const QImage picture = LoadPictureForRatio("nextTrack.png", ratio);
        ASSERT_FALSE(picture.isNull()) << ratio;
        EXPECT_EQ(picture.devicePixelRatio(), scale) << ratio;
        EXPECT_EQ(picture.size(), QSize(40, 32) * scale) << ratio;
    }
    EXPECT_TRUE(LoadPictureForRatio("no such picture.png", 2.0).isNull());
}

// A picture of its own for one test, beside the program or in the installed
// folder, removed afterwards.
class ScratchPicture {
  public:
    ScratchPicture(const std::filesystem::path& folder, const std::string& name, QSize size)
        : m_path(folder / name) {
        std::filesystem::create_directories(folder);
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::red);
        image.save(QString::fromStdString(m_path.string()));
    }
    ~ScratchPicture() { std::filesystem::remove(m_path); }

  private:
    std::filesystem::path m_path;
};

TEST(ButtonPictures, InstalledPicturesAreFoundBelowShareBesideBin) {
    const std::string name = "installed" + std::to_string(getpid()) + ".png";
    const std::filesystem::path installed =
        test::BinDir().parent_path() / "share" / "tessel-audio-player" / "pictures";
    ScratchPicture picture(installed, name, QSize(6, 6));
    const QString path = PicturePath(QString::fromStdString(name));
    EXPECT_TRUE(
        path.endsWith("/share/tessel-audio-player/pictures/" + QString::fromStdString(name)))
        << path.toStdString();
    EXPECT_EQ(LoadPicture(path).size(), QSize(6, 6));
    // Beside the program wins.
    ScratchPicture beside(test::BinDir(), name, QSize(3, 3));
    EXPECT_EQ(LoadPicture(PicturePath(QString::fromStdString(name))).size(), QSize(3, 3));
}

TEST(ButtonDrawing, AtTwiceTheScaleTheFaceIsTheDoubleSizePicturePixelForPixel) {
    ButtonFaceLook look;
    look.fill = Qt::white;
    look.pictureFile = "playPause.png";
    const QImage face = ComposeButtonFace(QSize(40, 32), 2.0, look);
    EXPECT_EQ(face.size(), QSize(80, 64));
    EXPECT_EQ(face.devicePixelRatio(), 2.0);
    QImage expected(80, 64, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::white);
    QImage picture(PicturePath("playPause@2x.png"));
    picture.setDevicePixelRatio(1.0); // pixel for pixel onto a plain image
    QPainter(&expected).drawImage(0, 0, picture);
    EXPECT_EQ(face.convertToFormat(QImage::Format_RGB32),
              expected.convertToFormat(QImage::Format_RGB32));

    // At 150 % the face has the screen's own pixel count, drawn from the 2x
    // picture.
    const QImage between = ComposeButtonFace(QSize(40, 32), 1.5, look);
    EXPECT_EQ(between.size(), QSize(60, 48));
}

TEST(ButtonDrawing, TheFocusFrameRingsTheFaceAndLeavesItsMiddleAlone) {
    ButtonFaceLook look;
    look.fill = Qt::white;
    look.pictureFile = "nextTrack.png";
    look.frameColour = QColor(255, 0, 255);
    for (qreal ratio : {1.0, 2.0}) {
        const QImage plain = ComposeButtonFace(QSize(40, 32), ratio, look);
        look.focusFrame = true;
        const QImage framed = ComposeButtonFace(QSize(40, 32), ratio, look);
        look.focusFrame = false;
        const int w = plain.width(), h = plain.height();
        const int edge = static_cast<int>(1 * ratio);
        // The frame colour all round, at the middle of each edge.
        for (QPoint p : {QPoint(w / 2, edge), QPoint(w / 2, h - 1 - edge), QPoint(edge, h / 2),
                         QPoint(w - 1 - edge, h / 2)})
            EXPECT_EQ(framed.pixelColor(p), look.frameColour)
                << ratio << " " << p.x() << "," << p.y();
        // The glyph in the middle is untouched.
        const QRect middle(w / 4, h / 4, w / 2, h / 2);
        EXPECT_EQ(framed.copy(middle), plain.copy(middle)) << ratio;
    }
}

TEST(ButtonPictures, PressedAndDisabledPicturesDifferFromNormal) {
    // The states must tell apart at a glance: compare average brightness.
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
        const double pressed = brightness(PictureFileFor(role, true, true, true));
        EXPECT_LT(pressed, normal - 10) << int(role);
        if (HasDisabledPicture(role)) {
            const double disabled = brightness(PictureFileFor(role, false, false, true));
            EXPECT_GT(disabled, normal + 60) << int(role);
        }
    }
}

TEST(ButtonDrawing, FaceIsThePictureOrThePlainButtonColour) {
    CQuilButtonCtrl button;
    button.resize(40, 32);
    const QColor face = button.palette().color(QPalette::Button);

    const QImage blank = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(blank.size(), QSize(40, 32));
    for (int y = 0; y < blank.height(); ++y)
        for (int x = 0; x < blank.width(); ++x)
            ASSERT_EQ(blank.pixelColor(x, y), face) << x << "," << y;

    button.SetRole(ButtonRole::NextTrack);
    const QImage drawn = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage expected(40, 32, QImage::Format_RGB32);
    expected.fill(face);
    {
        QPainter painter(&expected);
        painter.drawImage(0, 0, QImage(PicturePath("nextTrack.png")));
    }
    EXPECT_EQ(drawn, expected);
}

TEST(PictureLoading, FollowsTheFileAsItAppearsChangesAndGoes) {
    test::TempDir dir;
    const QString path = QString::fromStdString((dir / "p.png").string());
    EXPECT_TRUE(LoadPicture(path).isNull());

    QImage small(4, 4, QImage::Format_ARGB32);
    small.fill(Qt::red);
    ASSERT_TRUE(small.save(path));
    EXPECT_EQ(LoadPicture(path).size(), QSize(4, 4));

    QImage large(8, 6, QImage::Format_ARGB32);
    large.fill(Qt::blue);
    ASSERT_TRUE(large.save(path));
    EXPECT_EQ(LoadPicture(path).size(), QSize(8, 6));

    QFile::remove(path);
    EXPECT_TRUE(LoadPicture(path).isNull());

    QFile garbage(path);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a picture");
    garbage.close();
    EXPECT_TRUE(LoadPicture(path).isNull());
}

} // namespace
} // namespace tessel
