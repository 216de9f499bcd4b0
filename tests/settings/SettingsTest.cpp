#include "settings/Settings.h"
#include "tests/support/qt/QtTestSupport.h"

#include <fstream>

#include <gtest/gtest.h>

namespace tessel {
namespace {

using test::ScopedSettingsFolder;

TEST(Settings, TheVolumeIsCreatedAtFullSurvivesAFreshStoreAndIsClamped) {
    ScopedSettingsFolder folder;
    CSettings settings;
    EXPECT_EQ(settings.GetVolumeLevel(), 0);
    EXPECT_TRUE(settings.ValueExists(CSettings::kVolumeLevel)) << "written when missing";
    // Per user, under the maker's and the product's names.
    const auto file = folder.Dir() / "Tessel Programs/Tessel Audio Player.conf";
    EXPECT_TRUE(std::filesystem::exists(file));

    EXPECT_TRUE(CSettings().SetVolumeLevel(437));
    EXPECT_EQ(CSettings().GetVolumeLevel(), 437);
    EXPECT_TRUE(settings.SetVolumeLevel(2000));
    EXPECT_EQ(settings.ReadDword(CSettings::kVolumeLevel), 1000u);
    for (const auto& [stored, read] : {std::pair{"50000", 1000}, {"-5", 0}, {"loud", 0}}) {
        std::ofstream(file) << "[Settings]\nvolumeLevel=" << stored << "\n";
        EXPECT_EQ(settings.GetVolumeLevel(), read) << stored;
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
    const auto file = folder.Dir() / "Tessel Programs/Tessel Audio Player.conf";
    const struct {
        const char* stored; // as written, or by a hand edit
        bool on;
        int32_t bands;
        std::array<float, 5> gains;
    } cases[] = {
        {"", false, 5, {1.15f, 0.85f, 1.0f, 1.042f, 0.9f}},
        // Gains unquoted, so the store reads a list.
        {"eqOn=maybe\neqBands=7\neqGains=1.1, abc,9,-3", true, 5, {1.1f, 1.0f, 1.15f, 0.85f, 1.0f}},
        // Four bands are not offered.
        {"eqOn=0\neqBands=4\neqGains=\"nan,inf,0.95,1,1,1,1\"", false, 3, {1, 1, 0.95f, 1, 1}},
        {"eqBands=-1\neqGains=@Invalid()", true, 2, {1, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        if (*c.stored)
            std::ofstream(file) << "[Settings]\n" << c.stored << "\n";
        else
            EXPECT_TRUE(CSettings().SetEqualizer({c.on, c.bands, c.gains}));
        const CSettings::Equalizer got = CSettings().GetEqualizer();
        EXPECT_EQ(got.on, c.on);
        EXPECT_EQ(got.bands, c.bands);
        EXPECT_EQ(got.gains, c.gains);
    }
}

} // namespace
} // namespace tessel
