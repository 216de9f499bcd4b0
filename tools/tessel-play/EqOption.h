// The console player's --eq G1,G2[,G3[,G4,G5]]: one gain in dB per band,
// for 2, 3 or 5 bands.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessel {

constexpr double kEqOptionMaxDb = 15.0;

// The gains, or nothing when the text is not 2, 3 or 5 numbers from -15 to
// +15 separated by commas.
std::optional<std::vector<double>> ParseEqGains(const std::string& text);

// The band gain factor the equalizer window would set for `gainDb`.
inline float BandGainForDb(double gainDb) {
    return static_cast<float>(1.0 + gainDb / 100.0);
}

} // namespace tessel
