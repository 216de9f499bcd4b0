#include "controls/ButtonRole.h"
#include "controls/PictureFolder.h"
#include "controls/QuilButtonCtrl.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>

#include <map>

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
