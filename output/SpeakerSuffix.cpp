#include "output/SpeakerSuffix.h"

#include <array>
#include <string_view>

namespace tessel {

namespace {

struct Suffix {
    std::string_view text;
    SpeakerPair pair;
};

// Tested in this order on the end of the description.
constexpr std::array<Suffix, 4> kSuffixes{{
    {"(Rear)", SpeakerPair::Rear},
    {"(Front)", SpeakerPair::Front},
    {"(Can Split)", SpeakerPair::None},
    {"(Can't Split)", SpeakerPair::None},
}};

} // namespace

SpeakerChoice ParseSpeakerSuffix(const std::string& description) {
    SpeakerChoice choice{description, SpeakerPair::None};
    const std::string_view text(description);
    for (const Suffix& suffix : kSuffixes) {
        if (!text.ends_with(suffix.text))
            continue;
        // Cut the trailing suffix itself (not an earlier occurrence of the
        // same words) and the blank before it only when there is one, so a
        // name glued to its suffix keeps its last letter.
        size_t end = text.size() - suffix.text.size();
        if (end > 0 && text[end - 1] == ' ')
            --end;
        choice.name = description.substr(0, end);
        choice.pair = suffix.pair;
        break;
    }
    return choice;
}

} // namespace tessel
