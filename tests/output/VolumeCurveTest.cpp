#include "output/VolumeCurve.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

TEST(VolumeCurve, SliderVolumeToHundredthsOfDecibel) {
    EXPECT_EQ(VolumeToAttenuation(1.0), 0);
    EXPECT_EQ(VolumeToAttenuation(0.5), -2800);
    EXPECT_EQ(VolumeToAttenuation(0.25), -4200);
    EXPECT_EQ(VolumeToAttenuation(0.999), -6); // truncated, not rounded
    EXPECT_EQ(VolumeToAttenuation(0.00011), -5600);
    EXPECT_EQ(VolumeToAttenuation(0.0001), -10000);
    EXPECT_EQ(VolumeToAttenuation(0.0), -10000);
    EXPECT_EQ(VolumeToAttenuation(-3.0), -10000);
}

TEST(VolumeCurve, RampsRunBetweenSilenceAndTheVolume) {
    // Full volume: range 10000.
    EXPECT_EQ(RisingRampAttenuation(0, 10000), -10000);
    EXPECT_EQ(RisingRampAttenuation(1, 10000), -9941);
    EXPECT_EQ(RisingRampAttenuation(499, 10000), -501);
    EXPECT_EQ(FallingRampAttenuation(0, 10000), 0);
    EXPECT_EQ(FallingRampAttenuation(499, 10000), -9500);
    // At -2800 the range is 7200 and the curves end near -2800 and -10000.
    EXPECT_EQ(FallingRampAttenuation(0, 7200), -2800);
    EXPECT_EQ(RisingRampAttenuation(0, 7200), -10000);
    EXPECT_EQ(RisingRampAttenuation(499, 7200), -3161);
    EXPECT_EQ(RampFrames(22050), 1103u); // 1102.5 frames: the step of the half frame counts
    for (int32_t step = 1; step < kRampSteps; ++step) {
        EXPECT_GE(RisingRampAttenuation(step, 10000), RisingRampAttenuation(step - 1, 10000));
        EXPECT_LE(FallingRampAttenuation(step, 10000), FallingRampAttenuation(step - 1, 10000));
    }
}

} // namespace
} // namespace tessel
