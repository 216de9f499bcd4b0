#include "settings/Settings.h"
#include "tests/support/qt/QtTestSupport.h"

#include <QSettings>

#include <fstream>

#include <gtest/gtest.h>

namespace tessel {
namespace {

using test::ScopedSettingsFolder;

void StoreRawVolume(const QVariant& value) {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, CSettings::kOrganisation,
              CSettings::kApplication)
        .setValue(QStringLiteral("Settings/volumeLevel"), value);
}

TEST(Settings, TheVolumeIsCreatedAtFullSurvivesAFreshStoreAndIsClamped) {
    ScopedSettingsFolder folder;
    CSettings settings;
    EXPECT_FALSE(settings.ValueExists(CSettings::kVolumeLevel));
    EXPECT_EQ(settings.GetVolumeLevel(), 0);
    EXPECT_TRUE(settings.ValueExists(CSettings::kVolumeLevel)) << "written when missing";
    // Per user, under the maker's and the product's names.
    EXPECT_TRUE(std::filesystem::exists(folder.Dir() / "Tessel Programs/Tessel Audio Player.conf"));

    EXPECT_TRUE(CSettings().SetVolumeLevel(437));
    EXPECT_EQ(CSettings().GetVolumeLevel(), 437);
    EXPECT_TRUE(settings.SetVolumeLevel(2000));
    EXPECT_EQ(settings.ReadDword(CSettings::kVolumeLevel), 1000u);
    for (const auto& [stored, read] :
         {std::pair<QVariant, int>{5000, 1000}, {-5, 0}, {QStringLiteral("loud"), 0}}) {
        StoreRawVolume(stored);
        EXPECT_EQ(settings.GetVolumeLevel(), read) << stored.toString().toStdString();
    }
}

TEST(Settings, AStoreThatCannotBeWrittenLosesTheValueQuietly) {
    test::TempDir dir;
    // A plain file where the settings folder should be: nothing can be
    // created below it, not even by root.
    std::ofstream(dir / "blocker") << "x";
    ScopedSettingsFolder folder(QString::fromStdString((dir / "blocker").string()));
    CSettings settings;
    EXPECT_FALSE(settings.SetVolumeLevel(700));
    EXPECT_EQ(settings.GetVolumeLevel(), 0);
    EXPECT_FALSE(settings.ValueExists(CSettings::kVolumeLevel));
}

TEST(Settings, TheEqualizerSurvivesAFreshStoreAndDamagedValuesReadAsDefaultsOrClamped) {
    ScopedSettingsFolder folder;
    EXPECT_EQ(CSettings().GetEqualizer().bands, 3);
    EXPECT_TRUE(CSettings().ValueExists(CSettings::kEqualizerGains)) << "written when missing";
    CSettings::Equalizer set;
    set.on = false;
    set.bands = 5;
    set.gains = {1.15f, 0.85f, 1.0f, 1.042f, 0.9f};
    EXPECT_TRUE(CSettings().SetEqualizer(set));
    CSettings::Equalizer got = CSettings().GetEqualizer();
    EXPECT_FALSE(got.on);
    EXPECT_EQ(got.bands, 5);
    EXPECT_EQ(got.gains, set.gains);

    const auto file = folder.Dir() / "Tessel Programs/Tessel Audio Player.conf";
    // As a hand edit may leave it: gains unquoted, so the store reads a list.
    std::ofstream(file) << "[Settings]\neqOn=maybe\neqBands=7\neqGains=1.1, abc,9,-3\n";
    got = CSettings().GetEqualizer();
    EXPECT_TRUE(got.on);
    EXPECT_EQ(got.bands, 5);
    EXPECT_EQ(got.gains, (std::array<float, 5>{1.1f, 1.0f, 1.15f, 0.85f, 1.0f}));

    std::ofstream(file) << "[Settings]\neqOn=0\neqBands=4\neqGains=\"nan,inf,0.95,1,1,1,1\"\n";
    got = CSettings().GetEqualizer();
    EXPECT_FALSE(got.on);
    EXPECT_EQ(got.bands, 3) << "four bands are not offered";
    EXPECT_EQ(got.gains, (std::array<float, 5>{1.0f, 1.0f, 0.95f, 1.0f, 1.0f}));

    std::ofstream(file) << "[Settings]\neqBands=-1\neqGains=@Invalid()\n";
    got = CSettings().GetEqualizer();
    EXPECT_EQ(got.bands, 2);
    EXPECT_EQ(got.gains, (std::array<float, 5>{1.0f, 1.0f, 1.0f, 1.0f, 1.0f}));
}

TEST(Settings, TextValuesReadBackAsWrittenAndMissingOnesAreEmpty) {
    ScopedSettingsFolder folder;
    EXPECT_EQ(CSettings().ReadText(CSettings::kRepeat), QString());
    EXPECT_TRUE(CSettings().WriteText(CSettings::kRepeat, QStringLiteral("all")));
    EXPECT_TRUE(CSettings().WriteText(CSettings::kShuffle, QStringLiteral("albums")));
    EXPECT_EQ(CSettings().ReadText(CSettings::kRepeat), QStringLiteral("all"));
    EXPECT_EQ(CSettings().ReadText(CSettings::kShuffle), QStringLiteral("albums"));
    // A number where text belongs reads as its digits, which no mode is.
    std::ofstream(folder.Dir() / "Tessel Programs/Tessel Audio Player.conf")
        << "[Settings]\nrepeat=7\nshuffle=@Invalid()\n";
    EXPECT_EQ(CSettings().ReadText(CSettings::kRepeat), QStringLiteral("7"));
    EXPECT_EQ(CSettings().ReadText(CSettings::kShuffle), QString());
}

} // namespace
} // namespace tessel
