// Commands that arrive while the deck waits for a worker's report: each
// transitional state gets commands from a probe that runs while the deck is
// in it, and they must run once, in order, as soon as it settles; at
// shutdown they are dropped.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

using State = CDeck::State;

enum class WaitKind { Load, Pause, Seek };

// Arms a probe that submits `commands` the first time the deck is found in
// `state`; true once it has. A state is entered by a command or in the
// handling of a worker's message, so the probe looks after each message
// and whenever the test pokes it after a command of its own.
struct Probe {
    bool fired = false;
    std::function<void()> check;
    void Arm(DeckRig& rig, State state, std::vector<DeckCommand> commands) {
        check = [this, &rig, state, commands] {
            if (fired || rig.deck->GetState() != state)
                return;
            fired = true;
            const size_t before = rig.deck->QueuedCommands();
            for (const auto& c : commands)
                rig.deck->Submit(c);
            const size_t queued = before + commands.size();
            EXPECT_EQ(rig.deck->QueuedCommands(), queued) << "nothing runs while unsettled";
        };
        rig.engine.channel.SetHandler([this, &rig](const Message& m) {
            rig.deck->HandleMessage(m);
            check();
        });
    }
    void Poke() {
        if (check)
            check();
    }
};

struct WaitCase {
    const char* name;
    WaitKind kind;
    State waitState;
    bool playingAfter; // after the wait, before the queued commands
};

void PrintTo(const WaitCase& c, std::ostream* out) {
    *out << c.name;
}

class CommandsDuringAWait : public ::testing::TestWithParam<WaitCase> {};

// A toggle and a seek: the toggle runs once (the deck ends the other way
// round from where the wait left it), the seek after it. A volume change
// does not wait.
TEST_P(CommandsDuringAWait, RunOnceInOrderRightAfterIt) {
    const WaitCase& c = GetParam();
    DeckRig rig(true);
    rig.AddTracks({3 * 44100 + 5, 2 * 44100});
    Probe probe;
    probe.Arm(rig, c.waitState,
              {DeckCommand::Of(DeckCommandKind::PlayPause),
               DeckCommand::Of(DeckCommandKind::SeekTo, 1.25)});
    switch (c.kind) {
    case WaitKind::Load:
        rig.playlist.MarkLoaded(0);
        rig.deck->LoadTrack(rig.playlist.GetLoadedTrackPath(), rig.playlist.Tracks().GetId(0));
        probe.Poke();
        break;
    case WaitKind::Pause:
        ASSERT_TRUE(rig.LoadRow(0));
        rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
        rig.deck->TogglePause();
        probe.Poke();
        break;
    case WaitKind::Seek:
        ASSERT_TRUE(rig.LoadRow(0));
        rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
        rig.deck->SeekTo(0.5);
        break;
    }
    rig.deck->SetVolume(0.7);
    EXPECT_EQ(rig.deck->Volume(), 0.7);
    ASSERT_TRUE(rig.RunUntil([&] { return probe.fired && !rig.deck->IsBusy(); }));
    EXPECT_EQ(rig.deck->IsPlaying(), !c.playingAfter) << "the toggle ran exactly once";
    if (!c.playingAfter) {
        EXPECT_EQ(rig.deck->Elapsed(), 1.25);
    }
}

INSTANTIATE_TEST_SUITE_P(Waits, CommandsDuringAWait,
                         ::testing::Values(WaitCase{"Load", WaitKind::Load, State::Opening, false},
                                           WaitCase{"PauseRamp", WaitKind::Pause, State::Stopping,
                                                    false},
                                           WaitCase{"Seek", WaitKind::Seek, State::Seeking, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every transport command queued in one wait ends where the same commands
// end when given one after another on an idle deck.
TEST(DeckCommands, AQueuedSequenceEndsAsTheSameSequenceGivenAtRest) {
    TempDir tmp;
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        MakeWav(tmp / name, 44100 * 2, name[0]);
    const std::vector<DeckCommand> sequence = {
        DeckCommand::Of(DeckCommandKind::Next),
        DeckCommand::Of(DeckCommandKind::Previous),
        DeckCommand::WithPaths(DeckCommandKind::Load, {(tmp / "c.wav").string()}),
        DeckCommand::Of(DeckCommandKind::SeekTo, 0.9),
        DeckCommand::Of(DeckCommandKind::Close),
        DeckCommand::WithPaths(DeckCommandKind::Load, {(tmp / "b.wav").string()}),
        DeckCommand::Of(DeckCommandKind::SeekTo, 1.2),
        DeckCommand::Of(DeckCommandKind::SeekBy, -0.5)};
    auto run = [&](bool duringAWait) {
        auto rig = std::make_unique<DeckRig>(true);
        rig->AddRows({tmp / "a.wav", tmp / "b.wav", tmp / "c.wav"});
        Probe probe;
        if (duringAWait)
            probe.Arm(*rig, State::Opening, sequence);
        EXPECT_TRUE(rig->LoadRow(0));
        if (!duringAWait) {
            for (const auto& c : sequence)
                rig->deck->Submit(c);
        }
        EXPECT_TRUE(rig->RunUntil([&] { return !rig->deck->IsBusy(); }));
        return std::make_tuple(rig->deck->TrackPath(), rig->deck->GetState(), rig->deck->Elapsed());
    };
    const auto atRest = run(false);
    const auto queued = run(true);
    EXPECT_EQ(std::get<0>(queued), std::get<0>(atRest));
    EXPECT_EQ(std::get<0>(queued), (tmp / "b.wav").string());
    EXPECT_EQ(std::get<1>(queued), std::get<1>(atRest));
    EXPECT_EQ(std::get<2>(queued), std::get<2>(atRest));
    EXPECT_NEAR(std::get<2>(queued), 0.7, 1e-9);
}

// Shut down while playing: later commands are dropped, and the rig's end
// (the deck destroyed) finds no worker still running.
TEST(DeckCommands, CommandsAfterShutdownAreDropped) {
    DeckRig rig(true);
    rig.AddTracks({44100 * 5});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
    rig.deck->Shutdown();
    rig.deck->SetVolume(0.5);
    rig.deck->Submit(DeckCommand::Of(DeckCommandKind::PlayPause));
    rig.deck->Submit(DeckCommand::WithPaths(DeckCommandKind::Load, {rig.PathOf("a.wav")}));
    rig.loop.RunFor(20ms);
    EXPECT_EQ(rig.deck->Volume(), 1.0);
    EXPECT_EQ(rig.deck->QueuedCommands(), 0u);
    EXPECT_FALSE(rig.deck->IsPlaying());
}

} // namespace
