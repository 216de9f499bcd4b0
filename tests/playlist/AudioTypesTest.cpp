#include "playlist/AudioTypes.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

TEST(AudioTypes, TheDialogFilterOffersEveryTypeThenAllFiles) {
    EXPECT_EQ(AudioFileDialogFilter(), "Files (*.mp3 *.ogg *.wav *.wma *.flac *.opus *.m4a *.aac "
                                       "*.aif *.aiff);;All Files (*)");
    EXPECT_EQ(AudioTypePatterns().size(), 10u);
}

} // namespace
} // namespace tessel
