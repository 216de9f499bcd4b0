// An album kept as one audio file with a CUE sheet, on the virtual clock:
// its rows play one after another as one read of the file, sample for
// sample the whole image, and each row counts its time from its own start.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tessel;
using namespace tessel::test;

namespace {

// INDEX 01 of the rows at CD frames (1/75 s) 0, 77, 150, 188, 260, 300, 301,
// 380, 455 and 530: uneven steps, a one-frame row (the sixth) and a pregap
// before the fourth. The sheet names the image in another letter case, as
// rips often do.
constexpr const char* kSheet =
    "FILE \"album.WAV\" WAVE\r\n"
    "TRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\nTRACK 02 AUDIO\r\nINDEX 01 00:01:02\r\n"
    "TRACK 03 AUDIO\r\nINDEX 01 00:02:00\r\nTRACK 04 AUDIO\r\nINDEX 00 00:02:18\r\n"
    "INDEX 01 00:02:38\r\nTRACK 05 AUDIO\r\nINDEX 01 00:03:35\r\nTRACK 06 AUDIO\r\n"
    "INDEX 01 00:04:00\r\nTRACK 07 AUDIO\r\nINDEX 01 00:04:01\r\nTRACK 08 AUDIO\r\n"
    "INDEX 01 00:05:05\r\nTRACK 09 AUDIO\r\nINDEX 01 00:06:05\r\nTRACK 10 AUDIO\r\n"
    "INDEX 01 00:07:05\r\n";

} // namespace

TEST(DeckSheet, TheRowsOfAnImagePlayAsTheWholeImageAndEachCountsFromItsStart) {
    for (const int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        DeckRig rig;
        const size_t frames = static_cast<size_t>(rate) * 9 + 123;
        const auto image = MakeWav(rig.PathOf("Album.wav"), frames, 31, rate);
        std::ofstream(rig.PathOf("album.cue"), std::ios::binary) << kSheet;
        ASSERT_EQ(rig.playlist.LoadPlayList(rig.PathOf("album.cue")).status,
                  PlaylistReadStatus::Ok);
        const CTrackList& tracks = rig.playlist.Tracks();
        ASSERT_EQ(tracks.GetCount(), 10);

        // One read of the file from the first row to the last: the image can
        // go once it is open, and what is heard is the image, whole.
        ASSERT_TRUE(rig.LoadRow(0));
        std::filesystem::remove(rig.PathOf("Album.wav"));
        ASSERT_TRUE(rig.PlayToEnd());
        EXPECT_EQ(FrameDifference(rig.Played(), image), "");
        EXPECT_TRUE(tracks.IsLoaded(9));
        for (int row = 0; row < 10; ++row)
            EXPECT_FALSE(tracks.IsUnreadable(row)) << row;

        // Seeks on the paused row, and the time shown at once, count from
        // the row's own start.
        MakeWav(rig.PathOf("Album.wav"), frames, 31, rate);
        ASSERT_TRUE(rig.LoadRow(4));
        EXPECT_EQ(rig.deck->TrackLength(), tracks.GetLength(4));
        rig.deck->SeekTo(0.45);
        EXPECT_DOUBLE_EQ(rig.host.position, 0.45);
        rig.deck->SeekBy(-0.2);
        ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
        EXPECT_FALSE(rig.deck->IsPlaying());
        EXPECT_DOUBLE_EQ(rig.deck->Elapsed(), 0.25);
        const size_t before = rig.clock->Recorded().size() / 2;
        rig.deck->TogglePause();
        ASSERT_TRUE(
            rig.RunUntil([&] { return rig.clock->Recorded().size() / 2 >= before + 1000; }));
        EXPECT_EQ(FindFrames(image, Frames(rig.clock->Recorded(), before, 1000)),
                  260 * rate / 75 + rate / 4);
    }
}
