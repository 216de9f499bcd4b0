// The loudness values of one track, from its file's tags, a CUE sheet's REM
// lines or a loudness scan.
#pragma once

#include <optional>

namespace tessel {

// Gains in dB towards the -18 LUFS reference; peaks linear (1.0 = full
// scale). A value missing or malformed is empty.
struct ReplayGainValues {
    std::optional<double> trackGainDb;
    std::optional<double> trackPeak;
    std::optional<double> albumGainDb;
    std::optional<double> albumPeak;

    bool Empty() const { return !trackGainDb && !trackPeak && !albumGainDb && !albumPeak; }
    bool operator==(const ReplayGainValues&) const = default;
};

} // namespace tessel
