#include "output/SpeakerSuffix.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

struct Case {
    const char* description;
    const char* name;
    SpeakerPair pair;
};

TEST(SpeakerSuffix, PicksThePairAndCleansTheName) {
    const Case cases[] = {
        {"Speakers (Rear)", "Speakers", SpeakerPair::Rear},
        {"Speakers (Front)", "Speakers", SpeakerPair::Front},
        {"Speakers (Can Split)", "Speakers", SpeakerPair::None},
        {"Speakers (Can't Split)", "Speakers", SpeakerPair::None},
        {"Speakers", "Speakers", SpeakerPair::None},
        // Glued to the name: only the suffix goes, the last letter stays.
        {"Speakers(Rear)", "Speakers", SpeakerPair::Rear},
        // Only the trailing suffix counts and only it is cut.
        {"(Rear) Monitor (Front)", "(Rear) Monitor", SpeakerPair::Front},
        {"Speakers (Rear) Dock", "Speakers (Rear) Dock", SpeakerPair::None},
        {"Speakers (rear)", "Speakers (rear)", SpeakerPair::None},
        {"(Rear)", "", SpeakerPair::Rear},
        {"Null Output", "Null Output", SpeakerPair::None},
    };
    for (const Case& c : cases) {
        const SpeakerChoice choice = ParseSpeakerSuffix(c.description);
        EXPECT_EQ(choice.name, c.name) << c.description;
        EXPECT_EQ(choice.pair, c.pair) << c.description;
    }
}

} // namespace
} // namespace tessel
