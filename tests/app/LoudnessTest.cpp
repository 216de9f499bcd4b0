// The loudness settings as the user sets them: the dialog (Ctrl+,) hands each
// change to the deck at once, the settings keep it across runs, and damaged
// stored values read as the defaults.
#include "app/LoudnessDialog.h"
#include "app/LoudnessSettings.h"
#include "settings/Settings.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/TestData.h"

#include <QCheckBox>
#include <QDoubleSpinBox>

namespace tessel {
namespace {

using LoudnessTest = test::WindowFixture;
using test::ScopedEnv;
using test::TempDir;

TEST_F(LoudnessTest, TheDialogSetsTheDeckAtOnceAndTheSettingsKeepItAcrossRuns) {
    TempDir cache;
    const ScopedEnv cacheHome("XDG_CACHE_HOME", cache.Path().c_str());
    EXPECT_EQ(Deck().ReplayGain().mode, ReplayGainMode::Off);
    QTest::keyClick(window.get(), Qt::Key_Comma, Qt::ControlModifier);
    auto* dialog = window->findChild<CLoudnessDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->Mode()->setCurrentIndex(
        dialog->Mode()->findData(static_cast<int>(ReplayGainMode::Album)));
    EXPECT_EQ(Deck().ReplayGain().mode, ReplayGainMode::Album) << "at once";
    dialog->Preamp()->setValue(-3.5);
    dialog->Untagged()->setValue(2.0);
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
    EXPECT_DOUBLE_EQ(kept.untaggedGainDb, 2.0);
    EXPECT_FALSE(kept.clippingPrevention);
    EXPECT_TRUE(kept.measureUntagged);
    EXPECT_TRUE(parts->loudnessMeasurer.IsRunning()) << "and measuring again";
}

TEST_F(LoudnessTest, DamagedStoredValuesReadAsTheDefaults) {
    const CSettings& settings = parts->settings;
    settings.WriteText("replayGain", "loud");
    settings.WriteText("replayGainPreamp", "99");
    settings.WriteText("replayGainUntagged", "six");
    settings.WriteText("measureUntagged", "yes");
    const ReplayGainSettings read = ReadReplayGainSettings(settings);
    EXPECT_EQ(read.mode, ReplayGainMode::Off);
    EXPECT_DOUBLE_EQ(read.preampDb, 0.0);
    EXPECT_DOUBLE_EQ(read.untaggedGainDb, 0.0);
    EXPECT_TRUE(read.clippingPrevention) << "missing: on";
    EXPECT_FALSE(read.measureUntagged);
}

} // namespace
} // namespace tessel
