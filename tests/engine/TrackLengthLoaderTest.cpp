#include "engine/TrackLengthLoader.h"
#include "engine/TrackLengthLoop.h"
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

// The worker, and a main loop serving its answers to a length loop over
// `playlist` (which asks for lengths itself only once started).
struct LoaderRig {
    CPlainLoop loop;
    CEngineContext engine{loop};
    CTrackLengthLoader loader{engine};
    CPlaylist playlist;
    CTrackLengthLoop lengths{loader, playlist};

    LoaderRig() {
        loop.SetChannel(&engine.channel);
        engine.channel.SetHandler([this](const Message& m) {
            if (m.kind == AppMessage::TrackLengthLoaded)
                lengths.OnAnswer();
        });
        playlist.onListChanged = [this] { lengths.OnRowsChanged(0); };
        playlist.onRowChanged = [this](int row) { lengths.OnRowChanged(row); };
        loader.Start();
    }
    ~LoaderRig() {
        loader.Stop();
        loader.Stop(); // twice is harmless
        EXPECT_FALSE(loader.Request("/nowhere.wav")) << "a stopped loader takes no requests";
        engine.channel.Close();
    }
    bool AllMeasured() {
        for (int i = 0; i < playlist.GetRowCount(); ++i)
            if (playlist.Tracks().GetLength(i) < 0.0 && !playlist.Tracks().IsUnreadable(i))
                return false;
        return !loader.IsBusy();
    }
};

} // namespace

// The length loop never asks while the worker is busy; another asker must be
// refused, from the very first moment.
TEST(TrackLengthLoader, RefusesARequestWhileBusyFromTheFirstMoment) {
    TempDir tmp;
    LoaderRig rig;
    for (const char* name : {"a.wav", "b.wav"}) {
        MakeWav(tmp / name, 44100, 1);
        rig.playlist.AddTrackRow((tmp / name).string(), -1.0, "");
    }
    // The worker has not even woken yet: the busy flag is already up, so the
    // second request cannot rewrite the path the worker is about to read.
    ASSERT_TRUE(rig.loader.Request((tmp / "a.wav").string()));
    EXPECT_FALSE(rig.loader.Request((tmp / "b.wav").string()));
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.lengths.AnswersTaken() == 1; }, 10s));
    rig.loop.RunFor(50ms);
    EXPECT_EQ(rig.lengths.AnswersTaken(), 1);
    EXPECT_NEAR(rig.playlist.Tracks().GetLength(0), 1.0, 1e-6);
    EXPECT_LT(rig.playlist.Tracks().GetLength(1), 0.0) << "asked for while busy";
}

// The rig's end stops it at once, before the worker may even wait.
TEST(TrackLengthLoader, StopsRightAfterItStarts) {
    LoaderRig rig;
}

// Row 0 is an MP3 whose length only its bitrate tells: shown as an
// estimate, and counted once it is played.
TEST(TrackLengthLoop, FillsEveryRowAtOnceMarksMissingFilesAndCountsAnEstimateOncePlayed) {
    TempDir tmp;
    LoaderRig rig;
    // Without the Xing/Info frame only the bitrate tells the MP3's length.
    rig.playlist.AddTrackRow(Fixture("no-xing.mp3", "ffmpeg -v error -y -f lavfi -i "
                                                    "sine=frequency=440:duration=4 -ac 2 -ar 44100 "
                                                    "-c:a libmp3lame -b:a 128k -write_xing 0 "
                                                    "-f mp3 {out}")
                                 .string(),
                             -1.0, "");
    for (int i = 0; i < 40; ++i) {
        const auto path = tmp / ("t" + std::to_string(i) + ".wav");
        MakeWav(path, 4410 * (1 + i % 5), static_cast<uint32_t>(i));
        rig.playlist.AddTrackRow(path.string(), -1.0, i == 0 ? "From the playlist" : "");
        if (i % 13 == 0)
            rig.playlist.AddTrackRow((tmp / ("gone" + std::to_string(i) + ".mp3")).string(), -1.0,
                                     "");
    }
    // A duplicate is measured once and filled everywhere.
    rig.playlist.AddTrackRow((tmp / "t3.wav").string(), -1.0, "");
    rig.lengths.Start();
    // One answer leads straight to the next request: no timer paces it.
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.AllMeasured(); }, 20s));
    const CTrackList& tracks = rig.playlist.Tracks();
    for (int i = 0; i < tracks.GetCount(); ++i) {
        const bool gone = tracks.GetTrackPath(i).find("gone") != std::string::npos;
        EXPECT_EQ(tracks.IsUnreadable(i), gone) << i;
        EXPECT_TRUE(gone || tracks.GetLength(i) > 0.09) << i;
    }
    EXPECT_EQ(tracks.GetLength(tracks.GetCount() - 1), tracks.GetLength(5));
    EXPECT_EQ(rig.lengths.AnswersTaken(), 1 + 40 + 4) << "the duplicate is not asked again";
    EXPECT_EQ(tracks.GetTag(1), "From the playlist") << "a file without a title keeps the list's";
    EXPECT_EQ(tracks.GetLengthOrigin(0), LengthOrigin::Estimated);

    // Playing it states the same header length; only the count replaces it.
    rig.playlist.MarkLoaded(0);
    rig.playlist.SetLoadedTrackLength(tracks.GetLength(0));
    ASSERT_TRUE(rig.loop.RunUntil(
        [&] { return tracks.GetLengthOrigin(0) == LengthOrigin::Counted && !rig.loader.IsBusy(); },
        10s));
    // 4 s of audio, in whole MP3 frames of 1152 samples, the encoder delay included.
    EXPECT_NEAR(tracks.GetLength(0), 4.0, 0.1);
    rig.playlist.SetLoadedTrackLength(3.0);
    EXPECT_NEAR(tracks.GetLength(0), 4.0, 0.1) << "a count is not overwritten by a header length";
}
