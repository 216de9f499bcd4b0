// Volume and ramp arithmetic in hundredths of a decibel: 0 is full volume,
// -10000 is silence. Attenuations become linear gains only at the render.
#pragma once

#include <cstdint>

namespace tessel {

constexpr int32_t kSilentAttenuation = -10000;
// A start or stop ramp is 500 steps of 0.1 ms.
constexpr int32_t kRampSteps = 500;
constexpr uint32_t kRampStepsPerSecond = 10000;

// Slider volume (0.0 ... 1.0) to attenuation: 1.0 is 0, at or below 0.0001
// silence, otherwise a straight line from -5600 to 0. The caller refuses
// values outside 0 ... 1.
int32_t VolumeToAttenuation(double volume);

// Linear gain of an attenuation: 10^(A / 2000).
double AttenuationToGain(int32_t attenuation);

// Attenuation at ramp step `step` (0 ... 499) for a ramp of range
// `range` = V + 10000, V being the volume the ramp leads to or from.
int32_t RisingRampAttenuation(int32_t step, int32_t range);
int32_t FallingRampAttenuation(int32_t step, int32_t range);

// Frames a ramp lasts at `sampleRate`: the frames whose step index
// (frame * 10000 / rate) is below 500.
uint32_t RampFrames(uint32_t sampleRate);

} // namespace tessel
