// The deck end to end on a virtual clock: loading, playing, pausing, the
// hand-over from one entry to the next, and the end of the data.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

// Two entries shorter than a batch in the middle: every frame once, each
// entry announced when it is heard, the list following the deck.
TEST(DeckPlayback, ShortTracksInTheMiddleAreAnnouncedInOrder) {
    TempDir tmp;
    std::vector<int16_t> all;
    std::vector<std::filesystem::path> files;
    const size_t sizes[] = {60000, 9000, 5000, 80000};
    for (int i = 0; i < 4; ++i) {
        files.push_back(tmp / ("t" + std::to_string(i) + ".wav"));
        const auto s = MakeWav(files.back(), sizes[i], 10 + static_cast<uint32_t>(i));
        all.insert(all.end(), s.begin(), s.end());
    }
    DeckRig rig;
    rig.AddRows(files);
    ASSERT_TRUE(rig.LoadRow(0));
    EXPECT_EQ(rig.host.tracks.back(), "t0.wav");
    ASSERT_TRUE(rig.PlayToEnd());
    EXPECT_EQ(FrameDifference(rig.Played(), all), "");
    EXPECT_EQ(rig.host.tracks, (std::vector<std::string>{"t0.wav", "t1.wav", "t2.wav", "t3.wav"}));
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 3);
    EXPECT_NEAR(rig.playlist.Tracks().GetLength(1), -1.0, 1e-9)
        << "a length is measured only for an entry played by choice";
    EXPECT_FALSE(rig.output.IsPlayingForward()) << "the output stops at the end of the data";
}

TEST(DeckPlayback, AnEntryThatCannotBeOpenedIsPassedOver) {
    TempDir tmp;
    auto a = MakeWav(tmp / "a.wav", 50000, 4);
    const auto c = MakeWav(tmp / "c.wav", 50000, 5);
    DeckRig rig;
    rig.AddRows({tmp / "a.wav", tmp / "gone.wav", tmp / "c.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    ASSERT_TRUE(rig.PlayToEnd());
    a.insert(a.end(), c.begin(), c.end());
    EXPECT_TRUE(rig.Played() == a);
    EXPECT_TRUE(rig.playlist.Tracks().IsUnreadable(1));
    EXPECT_EQ(rig.host.tracks.back(), "c.wav");
}

TEST(DeckPlayback, NextOnTheLastAndPreviousOnTheFirstChangeNothing) {
    TempDir tmp;
    MakeWav(tmp / "a.wav", 10000, 1);
    MakeWav(tmp / "b.wav", 10000, 2);
    DeckRig rig;
    rig.AddRows({tmp / "a.wav", tmp / "b.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->Previous();
    EXPECT_EQ(rig.deck->TrackPath(), (tmp / "a.wav").string());
    rig.deck->Next();
    EXPECT_EQ(rig.deck->TrackPath(), (tmp / "b.wav").string());
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); })) << "next starts the new entry";
    rig.deck->Next();
    EXPECT_EQ(rig.deck->TrackPath(), (tmp / "b.wav").string());
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 1);
}

TEST(DeckPlayback, PlayWithNoFileOrAfterAFailedLoadDoesNothing) {
    TempDir tmp;
    MakeWav(tmp / "a.wav", 20000, 1);
    DeckRig rig;
    rig.deck->TogglePause();
    rig.loop.RunFor(30ms);
    EXPECT_FALSE(rig.deck->IsPlaying());
    ASSERT_TRUE(rig.LoadFile((tmp / "a.wav").string()));
    EXPECT_FALSE(rig.LoadFile((tmp / "missing.wav").string()));
    EXPECT_FALSE(rig.deck->IsTrackLoaded());
    EXPECT_EQ(rig.host.tracks.back(), "No File Loaded");
    rig.deck->TogglePause();
    rig.loop.RunFor(20ms);
    EXPECT_FALSE(rig.deck->IsPlaying());
}

TEST(DeckPlayback, ElapsedTimeFollowsWhatIsHeard) {
    TempDir tmp;
    MakeWav(tmp / "a.wav", 44100 * 12, 1);
    DeckRig rig;
    rig.AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    // 150 segments of 2940 frames are 10 s of sound.
    ASSERT_TRUE(rig.RunUntil([&] { return rig.clock->StepsTaken() >= 150; }));
    rig.deck->TogglePause();
    const double heard = static_cast<double>(rig.clock->Recorded().size() / 2) / 44100.0;
    EXPECT_NEAR(rig.deck->Elapsed(), heard, 0.25);
    EXPECT_DOUBLE_EQ(rig.host.position, rig.deck->Elapsed());
}

TEST(DeckPlayback, NextOntoAMissingEntryMarksItAndPlaysTheOneAfter) {
    TempDir tmp;
    MakeWav(tmp / "a.wav", 44100 * 3, 1);
    MakeWav(tmp / "c.wav", 44100 * 3, 2);
    DeckRig rig;
    rig.AddRows({tmp / "a.wav", tmp / "gone.wav", tmp / "c.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
    rig.deck->Next();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
    EXPECT_TRUE(rig.playlist.Tracks().IsUnreadable(1));
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 2);
    EXPECT_EQ(rig.deck->TrackPath(), (tmp / "c.wav").string());
}

// Once the list has been heard to its end, Play starts it again from its
// first entry; a track that is no entry plays again from its start.
TEST(DeckPlayback, PlayAfterTheEndStartsTheListAgain) {
    TempDir tmp;
    const auto a = MakeWav(tmp / "a.wav", 44100 + 7, 1);
    const auto b = MakeWav(tmp / "b.wav", 44100 / 2, 2);
    {
        DeckRig rig;
        rig.AddRows({tmp / "a.wav", tmp / "b.wav"});
        ASSERT_TRUE(rig.LoadRow(0));
        ASSERT_TRUE(rig.PlayToEnd());
        EXPECT_EQ(rig.host.position, 0.5) << "the display ends at the last track's end";
        rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying() && !rig.deck->ReachedEnd(); }));
        ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
        EXPECT_EQ(rig.host.tracks, (std::vector<std::string>{"a.wav", "b.wav", "a.wav", "b.wav"}));
        EXPECT_EQ(rig.deck->AudioBytesWritten(), (a.size() + b.size()) * sizeof(int16_t))
            << "the second round, whole";
    }
    DeckRig rig;
    ASSERT_TRUE(rig.LoadFile(tmp / "b.wav"));
    ASSERT_TRUE(rig.PlayToEnd());
    rig.deck->Play();
    EXPECT_EQ(rig.deck->Elapsed(), 0.0) << "from the start again";
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying() && !rig.deck->ReachedEnd(); }));
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    EXPECT_EQ(FrameDifference(rig.Played(), b), "");
}
