#include "settings/Settings.h"
#include "tests/app/QtTestSupport.h"

#include <QSettings>

#include <fstream>

#include <gtest/gtest.h>

namespace tessel {
namespace {

using test::ScopedSettingsFolder;

void StoreRaw(const QVariant& value) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, CSettings::kOrganisation,
                    CSettings::kApplication);
    store.setValue(QStringLiteral("Settings/volumeLevel"), value);
}

TEST(Settings, AMissingVolumeIsCreatedAsFullVolume) {
    ScopedSettingsFolder folder;
    CSettings settings;
    EXPECT_FALSE(settings.ValueExists(CSettings::kVolumeLevel));
    EXPECT_EQ(settings.GetVolumeLevel(), 0);
    EXPECT_TRUE(settings.ValueExists(CSettings::kVolumeLevel));
    // Per user, under the maker's and the product's names.
    EXPECT_TRUE(std::filesystem::exists(folder.Dir() / "Tessel Programs/Tessel Audio Player.conf"));
}

TEST(Settings, TheVolumeSurvivesAFreshStore) {
    ScopedSettingsFolder folder;
    EXPECT_TRUE(CSettings().SetVolumeLevel(1000));
    EXPECT_EQ(CSettings().GetVolumeLevel(), 1000);
    EXPECT_TRUE(CSettings().SetVolumeLevel(437));
    EXPECT_EQ(CSettings().ReadDword(CSettings::kVolumeLevel), 437u);
}

TEST(Settings, StoredValuesOutOfRangeAreClamped) {
    ScopedSettingsFolder folder;
    CSettings settings;
    StoreRaw(5000);
    EXPECT_EQ(settings.GetVolumeLevel(), 1000);
    StoreRaw(-5);
    EXPECT_EQ(settings.GetVolumeLevel(), 0);
    EXPECT_EQ(settings.ReadDword(CSettings::kVolumeLevel), 0u);
    StoreRaw(QStringLiteral("loud"));
    EXPECT_EQ(settings.GetVolumeLevel(), 0);
    EXPECT_TRUE(settings.SetVolumeLevel(2000));
    EXPECT_EQ(settings.ReadDword(CSettings::kVolumeLevel), 1000u);
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

} // namespace
} // namespace tessel
