// The dialogs: the output device chooser (what it offers, what OK and Cancel
// do to the remembered choice), the loudness settings (each change heard at
// once and kept), and the folder the file dialogs open in (the last one the
// user chose in, else the music folder, else home; never the folder the
// player happened to be started from).
#include "app/DeviceChooserDlg.h"
#include "app/LoudnessDialog.h"
#include "app/LoudnessSettings.h"
#include "controls/DialogFolder.h"
#include "playlist/ui/PlaylistWindow.h"
#include "settings/Settings.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/TestData.h"
#include "tests/support/qt/QtTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

namespace tessel {
namespace {

const std::vector<std::string> kDevices = {"Desk Speakers", "Quad Card", "Quad Card (Front)",
                                           "Quad Card (Rear)"};

TEST(DeviceChooser, OffersTheDefaultFirstOkRemembersAndUsesTheChoiceAndCancelChangesNothing) {
    const CDeviceChooserDlg byDefault(kDevices, "");
    QStringList entries;
    for (int i = 0; i < byDefault.Combo()->count(); ++i)
        entries << byDefault.Combo()->itemText(i);
    EXPECT_EQ(entries, QStringList({"System default", "Desk Speakers", "Quad Card",
                                    "Quad Card (Front)", "Quad Card (Rear)"}));
    // A remembered device that is unplugged now: the default is what plays.
    // One called like the default entry is still that device.
    EXPECT_EQ(CDeviceChooserDlg(kDevices, "USB Headset").Selected(), "");
    EXPECT_EQ(CDeviceChooserDlg({"System default"}, "System default").Selected(), "System default");

    test::ScopedSettingsFolder folder;
    CSettings settings;
    settings.SetOutputDevice(QStringLiteral("Desk Speakers"));
    // Run as the Devices button does; the answer comes once it is shown.
    const auto choose = [&](const char* pick, bool ok) {
        QTimer::singleShot(0, [&] {
            auto* chooser = qobject_cast<CDeviceChooserDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(chooser, nullptr) << "the chooser is not shown modally";
            chooser->Combo()->setCurrentIndex(chooser->Combo()->findText(pick));
            ok ? chooser->accept() : chooser->reject();
        });
        std::string used = "untouched";
        EXPECT_EQ(ChooseOutputDevice(nullptr, kDevices, settings.GetOutputDevice().toStdString(),
                                     settings, [&](const std::string& chosen) { used = chosen; }),
                  ok);
        return used;
    };
    EXPECT_EQ(choose("Quad Card", false), "untouched");
    EXPECT_EQ(settings.GetOutputDevice(), "Desk Speakers");
    // The default is remembered as an empty description.
    EXPECT_EQ(choose("System default", true), "");
    EXPECT_EQ(settings.GetOutputDevice(), "");
    EXPECT_TRUE(settings.ValueExists(QString::fromLatin1(CSettings::kOutputDevice)));
}

using LoudnessTest = test::WindowFixture;
using test::ScopedEnv;
using test::TempDir;

TEST_F(LoudnessTest, TheDialogSetsTheDeckAtOnceTheSettingsKeepItAndDamagedOnesReadAsTheDefaults) {
    TempDir cache;
    const ScopedEnv cacheHome("XDG_CACHE_HOME", cache.Path().c_str());
    EXPECT_EQ(Deck().ReplayGain().mode, ReplayGainMode::Off);
    EXPECT_TRUE(Deck().ReplayGain().clippingPrevention) << "on at a first start";
    QTest::keyClick(window.get(), Qt::Key_Comma, Qt::ControlModifier);
    auto* dialog = window->findChild<CLoudnessDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->Mode()->setCurrentIndex(
        dialog->Mode()->findData(static_cast<int>(ReplayGainMode::Album)));
    EXPECT_EQ(Deck().ReplayGain().mode, ReplayGainMode::Album) << "at once";
    dialog->Preamp()->setValue(-3.5);
    dialog->Clipping()->setChecked(false);
    EXPECT_DOUBLE_EQ(Deck().ReplayGain().preampDb, -3.5);
    EXPECT_FALSE(parts->loudnessMeasurer.IsRunning()) << "off by default";
    dialog->MeasureUntagged()->setChecked(true);
    EXPECT_TRUE(parts->loudnessMeasurer.IsRunning());

    Stop();
    Start();
    const ReplayGainSettings kept = Deck().ReplayGain();
    EXPECT_EQ(kept.mode, ReplayGainMode::Album);
    EXPECT_DOUBLE_EQ(kept.preampDb, -3.5);
    EXPECT_FALSE(kept.clippingPrevention);
    EXPECT_TRUE(parts->loudnessMeasurer.IsRunning()) << "and measuring again";

    // Damaged stored values read as the defaults.
    Stop();
    CSettings settings;
    settings.WriteText("replayGain", "loud");
    settings.WriteText("replayGainPreamp", "99");
    settings.WriteText("measureUntagged", "yes");
    Start();
    const ReplayGainSettings read = Deck().ReplayGain();
    EXPECT_EQ(read.mode, ReplayGainMode::Off);
    EXPECT_DOUBLE_EQ(read.preampDb, 0.0);
    EXPECT_FALSE(read.measureUntagged);
}

namespace fs = std::filesystem;

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

using DialogFolderWindowTest = test::WindowFixture;

TEST_F(DialogFolderWindowTest,
       ThePlayListsDialogOpensInTheKeptFolderWhileItIsOneElseMusicElseHome) {
    fs::create_directories(dir / "music" / "album");
    const std::string track = Wav("music/album/a.wav", 0.5);
    parts->settings.SetLastFolder(Q(dir / "music"));
    // Answers the dialog once it shows: notes the folder it opened in, then
    // chooses the track.
    QString openedIn;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll.stop();
            openedIn = dialog->directory().absolutePath();
            // The folder, then the name in it, as a user picks a file.
            dialog->setDirectory(Q(dir / "music" / "album"));
            dialog->selectFile(QStringLiteral("a.wav"));
            static_cast<QDialog*>(dialog)->accept(); // through its public face
        }
    });
    poll.start(10);
    static_cast<CPlaylistWindow*>(window->PlaylistWindow())->AddFiles();
    EXPECT_EQ(openedIn, Q(dir / "music"));
    EXPECT_EQ(Tracks().GetCount(), 1);
    EXPECT_EQ(parts->settings.GetLastFolder(), Q(dir / "music" / "album"));

    // Else the music folder, else home.
    fs::create_directories(dir / "kept");
    fs::create_directories(dir / "Music");
    std::ofstream(dir / "file.txt") << "a file";
    const QString kept = Q(dir / "kept"), music = Q(dir / "Music"), home = Q(dir.Path());
    const QString gone = Q(dir / "gone");
    const std::tuple<QString, QString, QString> cases[] = {
        {kept, music, kept},       {gone, music, music}, {Q(dir / "file.txt"), music, music},
        {QString(), music, music}, {gone, gone, home},   {QString(), QString(), home},
    };
    for (const auto& [keptOne, musicOne, start] : cases)
        EXPECT_EQ(StartFolder(keptOne, musicOne, home), start) << keptOne.toStdString();
}

} // namespace
} // namespace tessel
