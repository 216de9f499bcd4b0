// The play modes as the user steps through them with a key, and as the
// settings keep them between runs ("repeat", "shuffle", and whether a start
// without files plays on from where the last run was).
//
// Threads: main thread only, like the settings.
#pragma once

#include "playlist/PlayOrderModes.h"

#include <optional>

namespace tessel {

class CSettings;

// Off, Track, All, Off ...
RepeatMode NextRepeatMode(RepeatMode mode);
// Off, Tracks, Albums, Off ...
ShuffleMode NextShuffleMode(ShuffleMode mode);

// A mode carried as a number (a command's value); nothing for any other
// number.
std::optional<RepeatMode> RepeatModeOfValue(double value);
std::optional<ShuffleMode> ShuffleModeOfValue(double value);
inline double ValueOf(RepeatMode mode) {
    return static_cast<double>(mode);
}
inline double ValueOf(ShuffleMode mode) {
    return static_cast<double>(mode);
}

struct PlayModes {
    RepeatMode repeat = RepeatMode::Off;
    ShuffleMode shuffle = ShuffleMode::Off;
};

// Missing or damaged values read as off.
PlayModes ReadPlayModes(const CSettings& settings);
// Writes only the values that differ from the stored ones.
void StorePlayModes(const CSettings& settings, const PlayModes& modes);

// "Resume Playing at Start": 1 plays the kept entry at a start without
// files, anything else loads it paused.
inline constexpr const char* kResumePlayingSetting = "resumePlaying";
bool ReadResumePlaying(const CSettings& settings);
void StoreResumePlaying(const CSettings& settings, bool on);

} // namespace tessel
