// The deck end to end on a virtual clock: loading, playing, pausing, the
// hand-over from one entry to the next, and the end of the data.
#include "tests/engine/DeckRig.h"
#include "tests/support/CounterSignal.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

// Two entries shorter than a batch in the middle and one that cannot be
// opened between them: every frame of the others once, each entry announced
// when it is heard, the list following the deck.
TEST(DeckPlayback, ShortTracksAndAnEntryThatCannotBeOpenedInTheMiddle) {
    TempDir tmp;
    std::vector<int16_t> all;
    std::vector<std::filesystem::path> files;
    const size_t sizes[] = {60000, 9000, 0, 5000, 80000};
    for (int i = 0; i < 5; ++i) {
        files.push_back(tmp / ("t" + std::to_string(i) + ".wav"));
        if (sizes[i] == 0)
            continue; // no such file
        const auto s = MakeWav(files.back(), sizes[i], 10 + static_cast<uint32_t>(i));
        all.insert(all.end(), s.begin(), s.end());
    }
    DeckRig rig;
    rig.AddRows(files);
    ASSERT_TRUE(rig.LoadRow(0));
    EXPECT_EQ(rig.host.tracks.back(), "t0.wav");
    ASSERT_TRUE(rig.PlayToEnd());
    EXPECT_EQ(FrameDifference(rig.Played(), all), "");
    EXPECT_EQ(rig.host.tracks, (std::vector<std::string>{"t0.wav", "t1.wav", "t3.wav", "t4.wav"}));
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

// Letting go of the output while paused: the stream closes after the idle
// time, and Play opens it again and plays on from the very frame it stood at.
TEST(DeckIdle, APausedDeckLetsGoOfTheOutputAndPlaysOnFromTheSameFrame) {
    TempDir tmp;
    const size_t frames = 4 * 44100 + 77;
    WriteWav16(tmp / "a.wav", 44100, 2, MakeCounterSignal(frames));
    DeviceModel model;
    model.periodFrames = 2048;
    model.speed = 4.0;
    DeckRig rig(false, model);
    rig.deck->SetIdleRelease(300);
    rig.AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->Elapsed() >= 1.0; }));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->HasReleasedOutput(); }, 5s));
    EXPECT_FALSE(rig.output.HasStream());
    EXPECT_EQ(rig.deck->GetState(), DeckState::Paused);
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    EXPECT_FALSE(rig.deck->HasReleasedOutput());
    rig.deck->Shutdown();
    // Every frame once, in order: the pause and the release lose none and
    // repeat none.
    const auto runs = CounterRuns(rig.clock->Recorded());
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.front().first, 0);
    EXPECT_EQ(runs.back().last, long(frames) - 1);
    for (size_t i = 1; i < runs.size(); ++i)
        EXPECT_EQ(runs[i].first, runs[i - 1].last + 1) << Describe(runs);
}
