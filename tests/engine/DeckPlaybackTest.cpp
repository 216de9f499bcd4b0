// The deck end to end on a virtual clock: loading, playing, pausing, the
// hand-over from one entry to the next, and the end of the data.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

// Two entries shorter than a batch in the middle and one that cannot be
// opened between them: every frame of the others once, each entry announced
// when it is heard, the list following the deck.
TEST(DeckPlayback, ShortTracksAndAnEntryThatCannotBeOpenedInTheMiddle) {
    DeckRig rig;
    rig.AddTracks({60000, 9000, 0, 5000, 80000}, 10);
    ASSERT_TRUE(rig.LoadRow(0));
    EXPECT_EQ(rig.host.tracks.back(), "a.wav");
    ASSERT_TRUE(rig.PlayToEnd());
    EXPECT_EQ(FrameDifference(rig.Played(), rig.all), "");
    EXPECT_EQ(rig.host.tracks, (std::vector<std::string>{"a.wav", "b.wav", "d.wav", "e.wav"}));
    EXPECT_TRUE(rig.playlist.Tracks().IsUnreadable(2));
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 4);
    EXPECT_NEAR(rig.playlist.Tracks().GetLength(1), -1.0, 1e-9)
        << "a length is measured only for an entry played by choice";
    EXPECT_FALSE(rig.output.IsPlayingForward()) << "the output stops at the end of the data";
}

TEST(DeckPlayback, NextOnTheLastAndPreviousOnTheFirstChangeNothing) {
    DeckRig rig;
    rig.AddTracks({10000, 10000});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->Previous();
    EXPECT_EQ(rig.deck->TrackPath(), rig.PathOf("a.wav"));
    rig.deck->Next();
    EXPECT_EQ(rig.deck->TrackPath(), rig.PathOf("b.wav"));
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); })) << "next starts the new entry";
    rig.deck->Next();
    EXPECT_EQ(rig.deck->TrackPath(), rig.PathOf("b.wav"));
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 1);
}

TEST(DeckPlayback, PlayWithNoFileOrAfterAFailedLoadDoesNothing) {
    DeckRig rig;
    rig.deck->TogglePause();
    rig.loop.RunFor(30ms);
    EXPECT_FALSE(rig.deck->IsPlaying());
    MakeWav(rig.PathOf("a.wav"), 20000, 1);
    ASSERT_TRUE(rig.LoadFile(rig.PathOf("a.wav")));
    EXPECT_FALSE(rig.LoadFile(rig.PathOf("missing.wav")));
    EXPECT_FALSE(rig.deck->IsTrackLoaded());
    EXPECT_EQ(rig.host.tracks.back(), "No File Loaded");
    rig.deck->TogglePause();
    rig.loop.RunFor(20ms);
    EXPECT_FALSE(rig.deck->IsPlaying());
}

TEST(DeckPlayback, ElapsedTimeFollowsWhatIsHeard) {
    DeckRig rig;
    rig.AddTracks({44100 * 12});
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
    DeckRig rig;
    rig.AddTracks({44100 * 3, 0, 44100 * 3});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
    rig.deck->Next();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
    EXPECT_TRUE(rig.playlist.Tracks().IsUnreadable(1));
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 2);
    EXPECT_EQ(rig.deck->TrackPath(), rig.PathOf("c.wav"));
}

// Once the list has been heard to its end, Play starts it again from its
// first entry; a track that is no entry plays again from its start.
TEST(DeckPlayback, PlayAfterTheEndStartsTheListAgain) {
    {
        DeckRig rig;
        rig.AddTracks({44100 + 7, 44100 / 2});
        ASSERT_TRUE(rig.PlayFromRow(0));
        EXPECT_EQ(rig.host.position, 0.5) << "the display ends at the last track's end";
        rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying() && !rig.deck->ReachedEnd(); }));
        ASSERT_TRUE(rig.UntilEnd());
        EXPECT_EQ(rig.host.tracks, (std::vector<std::string>{"a.wav", "b.wav", "a.wav", "b.wav"}));
        EXPECT_EQ(rig.deck->AudioBytesWritten(), rig.all.size() * sizeof(int16_t))
            << "the second round, whole";
    }
    DeckRig rig;
    const auto b = MakeWav(rig.PathOf("b.wav"), 44100 / 2, 2);
    ASSERT_TRUE(rig.LoadFile(rig.PathOf("b.wav")));
    ASSERT_TRUE(rig.PlayToEnd());
    rig.deck->Play();
    EXPECT_EQ(rig.deck->Elapsed(), 0.0) << "from the start again";
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying() && !rig.deck->ReachedEnd(); }));
    ASSERT_TRUE(rig.UntilEnd());
    EXPECT_EQ(FrameDifference(rig.Played(), b), "");
}

// Letting go of the output while paused: the stream closes after the idle
// time, and Play opens it again and plays on from the very frame it stood at.
TEST(DeckIdle, APausedDeckLetsGoOfTheOutputAndPlaysOnFromTheSameFrame) {
    DeviceModel model;
    model.periodFrames = 2048;
    model.speed = 4.0;
    DeckRig rig(false, model);
    rig.deck->SetIdleRelease(300);
    rig.AddCounterTracks({4 * 44100 + 77});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->Elapsed() >= 1.0; }));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->HasReleasedOutput(); }, 5s));
    EXPECT_FALSE(rig.output.HasStream());
    EXPECT_EQ(rig.deck->GetState(), DeckState::Paused);
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.UntilEnd());
    EXPECT_FALSE(rig.deck->HasReleasedOutput());
    // Every frame once, in order: the pause and the release lose none and
    // repeat none; the silence of the pause is passed over.
    rig.deck->Shutdown();
    EXPECT_EQ(Describe(CounterRuns(rig.clock->Recorded(), 64, true)), rig.Whole({0}));
}
