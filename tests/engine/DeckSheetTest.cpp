// An album kept as one audio file with a CUE sheet, on the virtual clock:
// its rows play one after another as one read of the file, sample for
// sample the whole image, and each row counts its time from its own start.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace tessel;
using namespace tessel::test;

namespace {

constexpr int kRows = 10;

// CD frames (1/75 s) where each track's INDEX 01 lies: uneven steps, a
// one-frame track (the sixth), and a pregap before the fourth.
constexpr int64_t kStarts[kRows] = {0, 77, 150, 188, 260, 300, 301, 380, 455, 530};

std::string CdTime(int64_t cdFrames) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", int(cdFrames / (75 * 60)),
                  int(cdFrames / 75 % 60), int(cdFrames % 75));
    return text;
}

void WriteSheet(const std::filesystem::path& sheet, const std::string& imageName) {
    std::ofstream out(sheet, std::ios::binary);
    out << "FILE \"" << imageName << "\" WAVE\r\n";
    for (int t = 0; t < kRows; ++t) {
        out << "  TRACK " << (t < 9 ? "0" : "") << t + 1 << " AUDIO\r\n";
        if (t == 3)
            out << "    INDEX 00 " << CdTime(kStarts[t] - 20) << "\r\n";
        out << "    INDEX 01 " << CdTime(kStarts[t]) << "\r\n";
    }
}

} // namespace

TEST(DeckSheet, TheRowsOfAnImagePlayAsTheWholeImageAndEachCountsFromItsStart) {
    for (const int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        DeckRig rig;
        const size_t frames = static_cast<size_t>(rate) * 9 + 123;
        const auto image = MakeWav(rig.PathOf("Album.wav"), frames, 31, rate);
        // The sheet names the image in another letter case, as rips often do.
        WriteSheet(rig.PathOf("album.cue"), "album.WAV");
        ASSERT_EQ(rig.playlist.LoadPlayList(rig.PathOf("album.cue")).status,
                  PlaylistReadStatus::Ok);
        const CTrackList& tracks = rig.playlist.Tracks();
        ASSERT_EQ(tracks.GetCount(), kRows);

        // One read of the file from the first row to the last: the image can
        // go once it is open, and what is heard is the image, whole.
        ASSERT_TRUE(rig.LoadRow(0));
        std::filesystem::remove(rig.PathOf("Album.wav"));
        ASSERT_TRUE(rig.PlayToEnd());
        EXPECT_EQ(FrameDifference(rig.Played(), image), "");
        EXPECT_TRUE(tracks.IsLoaded(kRows - 1));
        for (int row = 0; row < kRows; ++row)
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
                  kStarts[4] * rate / 75 + rate / 4);
    }
}
