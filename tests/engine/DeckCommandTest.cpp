// The deck's commands: each on a deck at rest ends in its own state, and
// those that arrive while the deck waits for a worker's report run once, in
// order, as soon as it settles; at shutdown they are dropped.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

using State = CDeck::State;
using K = DeckCommandKind;

// Commands of these kinds; a load is of a file that does not exist.
template <class... Kinds> std::vector<DeckCommand> Commands(Kinds... kinds) {
    std::vector<DeckCommand> commands;
    for (const K kind : {kinds...})
        commands.push_back(kind == K::Load ? DeckCommand::WithPaths(kind, {"/no/such/file.wav"})
                                           : DeckCommand::Of(kind));
    return commands;
}

TEST(DeckCommands, EachCommandAtRestEndsInItsState) {
    const std::vector<size_t> none,
        one = {5 * 44100}, two = {10000, 10000},
        gap = {3 * 44100, 0, 3 * 44100}; // 0: a file that does not exist
    struct Case {
        const char* name;
        const std::vector<size_t>& frames;
        int loadRow; // -1: nothing loaded
        bool playing;
        std::vector<DeckCommand> commands;
        State state;
        std::string shown; // the track shown last
    } const cases[] = {
        {"Previous on the first", two, 0, false, Commands(K::Previous), State::Paused, "a.wav"},
        {"Next on the last", two, 1, false, Commands(K::Next), State::Paused, "b.wav"},
        {"Next onto a missing entry", gap, 0, true, Commands(K::Next), State::Playing, "c.wav"},
        {"Play with no file", none, -1, false, Commands(K::PlayPause), State::NoFile, ""},
        {"Play after a failed load", one, 0, false, Commands(K::Load, K::PlayPause), State::NoFile,
         "No File Loaded"},
        {"Commands after shutdown are dropped", one, 0, true, Commands(K::PlayPause, K::Load),
         State::ShutDown, "a.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeckRig rig(true);
        rig.AddTracks(c.frames);
        ASSERT_TRUE(c.loadRow < 0 || rig.LoadRow(c.loadRow));
        if (c.playing)
            rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying() == c.playing; }));
        if (c.state == State::ShutDown) {
            rig.deck->Shutdown();
            rig.deck->SetVolume(0.5);
        }
        for (const DeckCommand& command : c.commands)
            rig.deck->Submit(command);
        ASSERT_TRUE(rig.RunUntil(
            [&] { return !rig.deck->IsBusy() || rig.deck->GetState() == State::ShutDown; }));
        rig.loop.RunFor(20ms);
        EXPECT_EQ(rig.deck->GetState(), c.state);
        EXPECT_EQ(rig.host.tracks.empty() ? "" : rig.host.tracks.back(), c.shown);
        EXPECT_EQ(rig.deck->QueuedCommands(), 0u);
        EXPECT_EQ(rig.deck->Volume(), 1.0) << "set after the shutdown";
        for (size_t row = 0; row < c.frames.size(); ++row)
            EXPECT_EQ(rig.playlist.Tracks().IsUnreadable(int(row)), c.frames[row] == 0) << row;
    }
}

// Commands given while the deck waits for a worker (a load, the pause ramp,
// a seek) queue and run once, in order, as soon as it settles: they end
// where the same commands given after the wait end. A volume change does
// not wait.
TEST(DeckCommands, CommandsDuringAWaitEndAsTheSameCommandsGivenAfterIt) {
    for (const State wait : {State::Opening, State::Stopping, State::Seeking}) {
        SCOPED_TRACE(DeckStateName(wait));
        const auto run = [wait](bool duringTheWait) {
            DeckRig rig(true);
            rig.AddTracks({44100 * 2, 44100 * 2, 44100 * 2});
            const auto of = [](K kind, double amount = 0) { return DeckCommand::Of(kind, amount); };
            const auto load = [&](const char* name) {
                return DeckCommand::WithPaths(K::Load, {rig.PathOf(name)});
            };
            const std::vector<DeckCommand> sequence = {
                of(K::PlayPause),    of(K::Next),     of(K::Previous), load("c.wav"),
                of(K::SeekTo, 0.9),  of(K::Close),    load("b.wav"),   of(K::SeekTo, 1.2),
                of(K::SeekBy, -0.5), of(K::PlayPause)};
            // Given the first time the deck is found in the wait: that is
            // entered by a command or in the handling of a worker's message,
            // so both are looked after.
            bool given = !duringTheWait;
            const auto giveInTheWait = [&] {
                if (given || rig.deck->GetState() != wait)
                    return;
                given = true;
                const size_t before = rig.deck->QueuedCommands();
                for (const auto& c : sequence)
                    rig.deck->Submit(c);
                EXPECT_EQ(rig.deck->QueuedCommands(), before + sequence.size())
                    << "nothing runs while unsettled";
            };
            rig.engine.channel.SetHandler([&](const Message& m) {
                rig.deck->HandleMessage(m);
                giveInTheWait();
            });
            if (wait == State::Opening) {
                rig.playlist.MarkLoaded(0);
                rig.deck->LoadTrack(rig.PathOf("a.wav"), rig.playlist.Tracks().GetId(0));
            } else {
                EXPECT_TRUE(rig.LoadRow(0));
                rig.deck->TogglePause();
                EXPECT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
                if (wait == State::Stopping)
                    rig.deck->TogglePause();
                else
                    rig.deck->SeekTo(0.5);
            }
            giveInTheWait();
            rig.deck->SetVolume(0.7);
            EXPECT_EQ(rig.deck->Volume(), 0.7);
            EXPECT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
            if (!duringTheWait) {
                for (const auto& c : sequence)
                    rig.deck->Submit(c);
                EXPECT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
            }
            return std::make_tuple(std::filesystem::path(rig.deck->TrackPath()).filename().string(),
                                   rig.deck->GetState(), rig.deck->Elapsed());
        };
        const auto afterTheWait = run(false);
        EXPECT_EQ(run(true), afterTheWait);
        EXPECT_EQ(std::get<0>(afterTheWait), "b.wav");
        EXPECT_EQ(std::get<1>(afterTheWait), State::Playing);
        EXPECT_NEAR(std::get<2>(afterTheWait), 0.7, 1e-9);
    }
}

} // namespace
