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
int64_t TrackStartCdFrames(int track) {
    constexpr int64_t kStarts[kRows] = {0, 77, 150, 188, 260, 300, 301, 380, 455, 530};
    return kStarts[track];
}

std::string CdTime(int64_t cdFrames) {
    char text[48];
    std::snprintf(
        text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(cdFrames / (75 * 60)),
        static_cast<long long>(cdFrames / 75 % 60), static_cast<long long>(cdFrames % 75));
    return text;
}

void WriteSheet(const std::filesystem::path& sheet, const std::string& imageName) {
    std::ofstream out(sheet, std::ios::binary);
    out << "PERFORMER \"Band\"\r\nTITLE \"Album\"\r\nFILE \"" << imageName << "\" WAVE\r\n";
    for (int t = 0; t < kRows; ++t) {
        out << "  TRACK " << (t < 9 ? "0" : "") << t + 1 << " AUDIO\r\n";
        out << "    TITLE \"Song " << t + 1 << "\"\r\n";
        if (t == 3)
            out << "    INDEX 00 " << CdTime(TrackStartCdFrames(t) - 20) << "\r\n";
        out << "    INDEX 01 " << CdTime(TrackStartCdFrames(t)) << "\r\n";
    }
}

int64_t RowStart(int row, int rate) {
    return TrackStartCdFrames(row) * rate / 75; // whole samples at 44.1 and 48 kHz
}

} // namespace

TEST(DeckSheet, TheRowsOfAnImagePlayAsTheWholeImageAndEachCountsFromItsStart) {
    for (const int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        TempDir tmp;
        const size_t frames = static_cast<size_t>(rate) * 9 + 123;
        const auto image = MakeWav(tmp / "Album.wav", frames, 31, rate);
        // The sheet names the image in another letter case, as rips often do.
        WriteSheet(tmp / "album.cue", "album.WAV");
        DeckRig rig;
        ASSERT_EQ(rig.playlist.LoadPlayList((tmp / "album.cue").string()).status,
                  PlaylistReadStatus::Ok);
        const CTrackList& tracks = rig.playlist.Tracks();
        ASSERT_EQ(tracks.GetCount(), kRows);
        for (int row = 0; row < kRows; ++row) {
            const int64_t end = row + 1 < kRows ? RowStart(row + 1, rate) : int64_t(frames);
            EXPECT_EQ(tracks.GetRange(row),
                      (TrackRange{RowStart(row, rate), row + 1 < kRows ? end : -1}))
                << row;
            EXPECT_DOUBLE_EQ(tracks.GetLength(row),
                             static_cast<double>(end - RowStart(row, rate)) / rate)
                << row;
        }

        // Seeks and the time shown count from the row's own start.
        ASSERT_TRUE(rig.LoadRow(4));
        EXPECT_EQ(rig.deck->TrackLength(), tracks.GetLength(4));
        rig.deck->SeekTo(0.25);
        ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
        EXPECT_DOUBLE_EQ(rig.deck->Elapsed(), 0.25);
        rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return rig.clock->Recorded().size() >= 2 * 1000; }));
        EXPECT_EQ(FindFrames(image, Frames(rig.clock->Recorded(), 0, 1000)),
                  RowStart(4, rate) + rate / 4);
        rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsPlaying(); }));

        // One read of the file from the first row to the last: the image can
        // go once it is open, and what is heard is the image, whole.
        DeckRig whole;
        ASSERT_EQ(whole.playlist.LoadPlayList((tmp / "album.cue").string()).status,
                  PlaylistReadStatus::Ok);
        ASSERT_TRUE(whole.LoadRow(0));
        std::filesystem::remove(tmp / "Album.wav");
        ASSERT_TRUE(whole.PlayToEnd());
        EXPECT_EQ(FrameDifference(whole.Played(), image), "");
        EXPECT_TRUE(whole.playlist.Tracks().IsLoaded(kRows - 1));
        for (int row = 0; row < kRows; ++row)
            EXPECT_FALSE(whole.playlist.Tracks().IsUnreadable(row)) << row;
    }
}
