// The main window's controls carry their dialog ids as object names, so tests
// and the other windows find them by the same numbers the engine messages
// and the playlist and equalizer windows use.
#pragma once

namespace tessel::ids {

inline constexpr const char* kTrackGroup = "1031";
inline constexpr const char* kTrackCombo = "1038";
inline constexpr const char* kPlay = "1004";
inline constexpr const char* kFastForward = "1052";
inline constexpr const char* kRewind = "1053";
inline constexpr const char* kNext = "1001";
inline constexpr const char* kPrevious = "1002";
inline constexpr const char* kPlaylist = "1000";
inline constexpr const char* kEqualizer = "1011";
inline constexpr const char* kDevices = "1009";
inline constexpr const char* kPositionSlider = "1003";
inline constexpr const char* kTimeDisplay = "1005";
inline constexpr const char* kVolumeSlider = "1006";
inline constexpr const char* kLevelMeter = "1010";

} // namespace tessel::ids
