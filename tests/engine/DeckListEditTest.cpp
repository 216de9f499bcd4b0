// Edits to the list during the last seconds of a track, after the reader has
// read past the seam: what the device receives follows the edited list. An
// entry deleted before it is heard is never heard, a moved one plays in its
// new place, an emptied list ends playback after the sounding entry, and the
// seam stays gapless.
#include "tests/engine/DeckRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
// x (above the sounding one), a (sounding), b, c.
const std::vector<size_t> kFrames = {kRate, 5 * kRate + 123, 2 * kRate + 7, 2 * kRate};

DeviceModel Irregular(uint32_t seed = 7) {
    DeviceModel model;
    model.periodFrames = 4096;
    model.randomPeriod = true;
    model.jitter = 0.3;
    model.lateChance = 0.1;
    model.speed = 4.0;
    model.seed = seed;
    return model;
}

const struct Case {
    const char* name;
    std::function<void(CTrackList&)> edit;
    std::vector<size_t> heardAfterA; // tracks heard after a, whole
} kCases[] = {
    {"delete above", [](CTrackList& l) { l.RemoveTrack(0); }, {2, 3}},
    {"delete next", [](CTrackList& l) { l.RemoveTrack(2); }, {3}},
    {"move next down", [](CTrackList& l) { l.MoveDown(2); }, {3, 2}},
    {"delete all", [](CTrackList& l) { l.RemoveAll(); }, {}},
    {"delete sounding", [](CTrackList& l) { l.RemoveTrack(1); }, {2, 3}},
};

std::string Expected(const Case& c) {
    std::vector<size_t> order{1};
    order.insert(order.end(), c.heardAfterA.begin(), c.heardAfterA.end());
    return WholeCounterTracks(kFrames, order);
}

// Plays a, edits the list `secondsBeforeEnd` before its end; what was heard
// and the track marked at the end.
std::pair<std::string, std::string> PlayWithEdit(const Case& c, double secondsBeforeEnd,
                                                 DeviceModel model = {}) {
    DeckRig rig(false, model);
    rig.AddCounterTracks(kFrames);
    if (!rig.LoadRow(1))
        return {};
    rig.deck->TogglePause();
    const auto editAt = static_cast<uint64_t>(double(kFrames[1]) - secondsBeforeEnd * kRate);
    EXPECT_TRUE(rig.RunUntil([&] { return rig.output.GetFramesPlayed() >= editAt; }));
    c.edit(rig.playlist.Tracks());
    EXPECT_TRUE(rig.UntilEnd());
    const int row = rig.playlist.GetLoadedIndex();
    return {rig.Heard(), row >= 0 ? rig.playlist.Tracks().GetTrackName(row) : ""};
}

TEST(ListEdits, LateEditsChangeWhatFollowsTheSeam) {
    for (const Case& c : kCases) {
        for (const double before : {4.5, 2.0, 1.0, 0.5, 0.3}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(before) + " s before the end");
            const auto [heard, marked] = PlayWithEdit(c, before);
            EXPECT_EQ(heard, Expected(c));
            // The mark is on the entry heard last (none once the list is empty).
            EXPECT_EQ(marked,
                      c.heardAfterA.empty() ? "" : "t" + std::to_string(c.heardAfterA.back()));
        }
    }
}

// On a device that calls back irregularly (and in real time, so a loaded
// machine may answer late), an edit near the seam may be too late for it,
// and then the entry read past the seam plays whole; either way the device
// gets whole tracks, and what comes after them follows the list.
TEST(ListEdits, AnEditAtTheSeamOnAnIrregularDeviceIsCleanEitherWay) {
    const Case& deleteNext = kCases[1];
    for (const double before : {1.0, 0.15, 0.05, 0.0}) {
        SCOPED_TRACE(std::to_string(before) + " s before the end");
        const std::string heard = PlayWithEdit(deleteNext, before, Irregular()).first;
        EXPECT_TRUE(heard == Expected(deleteNext) ||
                    heard == WholeCounterTracks(kFrames, {1, 2, 3}))
            << heard;
    }
}

// Counter tracks until track k sounds with `before` seconds of it left.
bool Near(DeckRig& rig, size_t k, double before) {
    return rig.RunUntil([&] {
        return rig.deck->TrackPath() == rig.PathOf("t" + std::to_string(k) + ".wav") &&
               rig.deck->Elapsed() >= double(rig.counterFrames[k]) / kRate - before;
    });
}

// Shuffle plays every entry once, each whole, seam to seam; the order is the
// play order's.
TEST(PlayModes, ShuffleIsGaplessAndPlaysEveryEntryOnce) {
    const std::vector<size_t> frames = {kRate / 2 + 11, kRate + 3,         kRate / 3,
                                        kRate,          2 * kRate / 3 + 5, kRate / 4};
    for (const uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // Odd seeds on a device that calls back irregularly.
        DeckRig rig(false, seed % 2 == 1 ? Irregular(seed) : DeviceModel{});
        rig.AddCounterTracks(frames);
        rig.playlist.ReseedOrder(seed);
        rig.deck->SetShuffle(ShuffleMode::Tracks);
        std::vector<size_t> order; // as each track is shown
        rig.host.onTrackChanged = [&] {
            order.push_back(
                static_cast<size_t>(rig.playlist.Tracks().FindRow(rig.deck->TrackEntry())));
        };
        ASSERT_TRUE(rig.PlayFromRow(static_cast<int>(seed % 6)));
        EXPECT_THAT(order, ::testing::UnorderedElementsAre(0, 1, 2, 3, 4, 5));
        EXPECT_EQ(rig.Heard(), rig.Whole(order));
        EXPECT_EQ(rig.deck->AudioBytesWritten(),
                  std::accumulate(frames.begin(), frames.end(), size_t{0}) * 4)
            << "no silence between them";
    }
}

// Modes set during the last second of a track decide what follows it; the
// stop after the sounding track stops there and loads the next one, paused.
TEST(PlayModes, AModeSetLateDecidesWhatFollows) {
    const std::vector<size_t> two = {2 * kRate + 5, 2 * kRate + 9};
    // A mode set near the end of a track, and set off again once it acted.
    struct LateMode {
        const char* what;
        size_t nearTrack;
        RepeatMode mode;
        std::function<bool(DeckRig&)> acted;
        std::vector<size_t> heard;
    };
    const LateMode cases[] = {
        {"repeat all at the last track, off again once it wrapped",
         1,
         RepeatMode::All,
         [](DeckRig& rig) { return rig.deck->TrackPath() == rig.PathOf("t0.wav"); },
         {0, 1, 0, 1}},
        {"repeat track, off again on the repeat",
         0,
         RepeatMode::Track,
         [](DeckRig& rig) { return rig.deck->Elapsed() < 0.5; },
         {0, 0, 1}},
    };
    for (const LateMode& c : cases) {
        SCOPED_TRACE(c.what);
        DeckRig rig;
        rig.AddCounterTracks(two);
        ASSERT_TRUE(rig.LoadRow(0));
        rig.deck->TogglePause();
        ASSERT_TRUE(Near(rig, c.nearTrack, 0.8));
        rig.deck->SetRepeat(c.mode);
        ASSERT_TRUE(rig.RunUntil([&] { return c.acted(rig); }));
        rig.deck->SetRepeat(RepeatMode::Off);
        ASSERT_TRUE(rig.UntilEnd());
        EXPECT_EQ(rig.Heard(), rig.Whole(c.heard));
    }
    {
        SCOPED_TRACE("an entry appended after the last one was read to its end");
        DeckRig rig;
        rig.AddCounterTracks({4 * kRate + 5, kRate + 9}, 1);
        ASSERT_TRUE(rig.LoadRow(0));
        rig.deck->TogglePause();
        ASSERT_TRUE(Near(rig, 0, 1.0));
        rig.playlist.AddTrackRow(rig.PathOf("t1.wav"), -1.0, "");
        ASSERT_TRUE(rig.UntilEnd());
        EXPECT_EQ(rig.Heard(), rig.Whole({0, 1}));
    }
    {
        SCOPED_TRACE("stop after the sounding track");
        DeckRig rig;
        rig.AddCounterTracks({2 * kRate + 5, 2 * kRate + 9, kRate});
        ASSERT_TRUE(rig.LoadRow(0));
        rig.deck->TogglePause();
        ASSERT_TRUE(Near(rig, 0, 0.8));
        rig.deck->SetStopAfterCurrent(true);
        EXPECT_TRUE(rig.deck->StopsAfterCurrent());
        ASSERT_TRUE(rig.RunUntil([&] {
            return rig.deck->GetState() == DeckState::Paused &&
                   rig.deck->TrackPath() == rig.PathOf("t1.wav");
        }));
        EXPECT_FALSE(rig.deck->StopsAfterCurrent()) << "once";
        EXPECT_EQ(rig.Heard(), rig.Whole({0}));
    }
}

} // namespace
