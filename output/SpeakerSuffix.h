// The speaker-pair suffix at the end of a device description: "(Rear)" and
// "(Front)" route the sound to one pair of a four-speaker output; every
// listed suffix is cut from the name the player shows.
#pragma once

#include <string>

namespace tessel {

enum class SpeakerPair { None, Front, Rear };

struct SpeakerChoice {
    std::string name;                     // description without the suffix
    SpeakerPair pair = SpeakerPair::None; // Front/Rear: a four-channel stream
};

SpeakerChoice ParseSpeakerSuffix(const std::string& description);

} // namespace tessel
