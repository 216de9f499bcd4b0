// The repeat and shuffle modes, and their text as the settings store keeps
// it ("repeat" and "shuffle" values).
#pragma once

#include <string_view>

namespace tessel {

enum class RepeatMode {
    Off,
    Track, // the sounding entry again when it ends
    All,   // the whole list again after its end
};

enum class ShuffleMode {
    Off,
    Tracks, // every entry at a random place
    Albums, // albums at random places, each in its list order
};

// "off", "track", "all".
std::string_view RepeatModeText(RepeatMode mode);
// "off", "tracks", "albums".
std::string_view ShuffleModeText(ShuffleMode mode);

// The mode a stored text names, letter case and surrounding blanks aside;
// Off for anything else (missing, damaged, written by a later version).
RepeatMode ParseRepeatMode(std::string_view text);
ShuffleMode ParseShuffleMode(std::string_view text);

} // namespace tessel
