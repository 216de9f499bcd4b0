// What the device chooser is offered: the devices sorted, and the speaker
// pairs of a device with four or more channels right after it.
#include "engine/OutputDevices.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(OutputDevices, ChoicesAreSortedAndFourChannelDevicesOfferTheirPairs) {
    const auto choices = COutputDevices::ChoicesOf(
        {{"Zeta Out", 2}, {"HDMI 1", 8}, {"Analog", 4}, {"Mono Box", 1}, {"Unknown", 0}});
    EXPECT_EQ(choices, (std::vector<std::string>{"Analog", "Analog (Front)", "Analog (Rear)",
                                                 "HDMI 1", "HDMI 1 (Front)", "HDMI 1 (Rear)",
                                                 "Mono Box", "Unknown", "Zeta Out"}));
    EXPECT_TRUE(COutputDevices::ChoicesOf({}).empty());
}
