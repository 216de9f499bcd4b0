// Edits to the list and modes set in the last seconds of a track, after the
// reader has read past its seam: what the device receives follows the list
// and the modes as they are then. An entry deleted before it is heard is
// never heard, a moved one plays in its new place, an emptied list ends
// playback after the sounding entry, a late repeat or stop acts on that very
// seam, and the seam stays gapless.
#include "tests/engine/DeckRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

using namespace tessel;
using namespace tessel::test;

namespace {

constexpr int kRate = 44100;

// Counter tracks t0, t1, ... of these lengths, the first `rows` in the list;
// playback starts at row `loadRow`, and the change comes `moments` seconds
// before the end of track `nearTrack`.
struct Play {
    std::vector<size_t> frames;
    size_t rows;
    int loadRow;
    size_t nearTrack;
    std::vector<double> moments;
};
// x (above the sounding one), a (sounding), b, c.
const Play kEdits{
    {kRate, 5 * kRate + 123, 2 * kRate + 7, 2 * kRate}, 4, 1, 1, {4.5, 2, 1, 0.5, 0.3}};
const Play kLastOfTwo{{2 * kRate + 5, 2 * kRate + 9}, 2, 0, 1, {0.8}};
const Play kFirstOfTwo{{2 * kRate + 5, 2 * kRate + 9}, 2, 0, 0, {0.8}};
const Play kOneOfTwo{{4 * kRate + 5, kRate + 9}, 1, 0, 0, {1.0}};
const Play kFirstOfThree{{2 * kRate + 5, 2 * kRate + 9, kRate}, 3, 0, 0, {0.8}};

using Change = std::function<void(DeckRig&)>;
Change Remove(int row) {
    return [row](DeckRig& rig) { rig.playlist.Tracks().RemoveTrack(row); };
}
const Change kMoveNextDown = [](DeckRig& rig) { rig.playlist.Tracks().MoveDown(2); };
const Change kRemoveAll = [](DeckRig& rig) { rig.playlist.Tracks().RemoveAll(); };
const Change kRepeatAll = [](DeckRig& rig) { rig.deck->SetRepeat(RepeatMode::All); };
const Change kRepeatTrack = [](DeckRig& rig) { rig.deck->SetRepeat(RepeatMode::Track); };
const Change kAppend = [](DeckRig& rig) { rig.playlist.AddTrackRow(rig.PathOf("t1.wav"), -1, ""); };
const Change kStopAfter = [](DeckRig& rig) { rig.deck->SetStopAfterCurrent(true); };
// When a repeat has acted; it is set off again then.
using Acted = std::function<bool(DeckRig&)>;
const Acted kWrapped = [](DeckRig& rig) { return rig.deck->TrackPath() == rig.PathOf("t0.wav"); };
const Acted kRepeated = [](DeckRig& rig) { return rig.deck->Elapsed() < 0.5; };

const struct LateChange {
    const char* what;
    const Play& play;
    Change change;
    Acted acted;
    const char* heard;  // the tracks heard whole, in order
    std::string marked; // the entry marked at the end
} kCases[] = {
    {"delete above", kEdits, Remove(0), nullptr, "123", "t3"},
    {"delete next", kEdits, Remove(2), nullptr, "13", "t3"},
    {"move next down", kEdits, kMoveNextDown, nullptr, "132", "t2"},
    {"delete all", kEdits, kRemoveAll, nullptr, "1", ""},
    {"delete sounding", kEdits, Remove(1), nullptr, "123", "t3"},
    {"repeat all at the last track", kLastOfTwo, kRepeatAll, kWrapped, "0101", "t1"},
    {"repeat track", kFirstOfTwo, kRepeatTrack, kRepeated, "001", "t1"},
    {"an entry appended after the last one was read", kOneOfTwo, kAppend, nullptr, "01", "t1"},
    {"stop after the sounding track: the next loads, paused", kFirstOfThree, kStopAfter, nullptr,
     "0", "t1"},
};

std::string Whole(const Play& play, const std::string& order) {
    std::vector<size_t> tracks;
    for (const char k : order)
        tracks.push_back(size_t(k - '0'));
    return WholeCounterTracks(play.frames, tracks);
}

// Plays from the case's row, makes its change `before` seconds before the end
// of its track and waits for the end (or, paused, for the entry marked);
// what was heard, and the entry marked then.
std::pair<std::string, std::string> PlayWithLateChange(const LateChange& c, double before,
                                                       DeviceModel model = {}) {
    const Play& play = c.play;
    DeckRig rig(false, model);
    rig.AddCounterTracks(play.frames, play.rows);
    if (!rig.LoadRow(play.loadRow))
        return {};
    rig.deck->TogglePause();
    const double at = std::accumulate(play.frames.begin() + play.loadRow,
                                      play.frames.begin() + long(play.nearTrack) + 1, 0.0) -
                      before * kRate;
    EXPECT_TRUE(rig.RunUntil([&] { return double(rig.output.GetFramesPlayed()) >= at; }));
    c.change(rig);
    if (c.acted) {
        EXPECT_TRUE(rig.RunUntil([&] { return c.acted(rig); }));
        rig.deck->SetRepeat(RepeatMode::Off);
    }
    EXPECT_TRUE(rig.RunUntil([&] {
        return (rig.deck->ReachedEnd() || rig.deck->GetState() == DeckState::Paused) &&
               !rig.deck->IsBusy() &&
               (c.marked.empty() || rig.deck->TrackPath() == rig.PathOf(c.marked + ".wav"));
    }));
    EXPECT_FALSE(rig.deck->StopsAfterCurrent()) << "once";
    const int row = rig.playlist.GetLoadedIndex();
    return {rig.Heard(), row >= 0 ? rig.playlist.Tracks().GetTrackName(row) : ""};
}

TEST(ListEdits, LateEditsAndModesDecideWhatFollowsTheSeam) {
    for (const LateChange& c : kCases) {
        for (const double before : c.play.moments) {
            SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(before) + " s before the end");
            const auto [heard, marked] = PlayWithLateChange(c, before);
            EXPECT_EQ(heard, Whole(c.play, c.heard));
            EXPECT_EQ(marked, c.marked) << "the mark is on the entry heard last";
        }
    }
}

// On a device that calls back irregularly (and in real time, so a loaded
// machine may answer late), an edit near the seam may be too late for it,
// and then the entry read past the seam plays whole; either way the device
// gets whole tracks, and what comes after them follows the list.
TEST(ListEdits, AnEditAtTheSeamOnAnIrregularDeviceIsCleanEitherWay) {
    for (const double before : {1.0, 0.15, 0.05, 0.0}) {
        SCOPED_TRACE(std::to_string(before) + " s before the end");
        const std::string heard =
            PlayWithLateChange(kCases[1], before, Device(4096, 4.0, true)).first;
        EXPECT_TRUE(heard == Whole(kEdits, "13") || heard == Whole(kEdits, "123")) << heard;
    }
}

// An edit too late for the seam (its audio is already with the device): the
// deleted entry plays whole with no row marked meanwhile, and the list goes
// on after it. In real time, so a stalled machine may let the seam pass
// before the edit: then it is tried again.
TEST(ListEdits, AnEntryDeletedTooLateToTakeBackPlaysWithNoRowMarked) {
    const std::vector<size_t> frames = {kRate / 2 + 123, kRate / 2 + 7, kRate / 2};
    for (int attempt = 0; attempt < 3; ++attempt) {
        DeckRig rig(false, Device(256, 1.0));
        rig.AddCounterTracks(frames);
        ASSERT_TRUE(rig.LoadRow(0));
        rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return rig.output.GetFramesPlayed() + 2000 >= frames[0]; }));
        if (rig.deck->TrackPath() != rig.PathOf("t0.wav"))
            continue;
        rig.playlist.Tracks().RemoveTrack(1);
        ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->TrackPath() == rig.PathOf("t1.wav"); }));
        EXPECT_EQ(rig.playlist.GetLoadedIndex(), -1);
        ASSERT_TRUE(rig.UntilEnd());
        EXPECT_EQ(rig.Heard(), rig.Whole({0, 1, 2}));
        EXPECT_EQ(rig.playlist.Tracks().GetTrackName(rig.playlist.GetLoadedIndex()), "t2");
        return;
    }
    FAIL() << "the seam passed before the edit each time";
}

// Shuffle plays every entry once, each whole, seam to seam; the order is the
// play order's.
TEST(PlayModes, ShuffleIsGaplessAndPlaysEveryEntryOnce) {
    const std::vector<size_t> frames = {kRate / 2 + 11, kRate + 3,         kRate / 3,
                                        kRate,          2 * kRate / 3 + 5, kRate / 4};
    for (const uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // Odd seeds on a device that calls back irregularly.
        DeckRig rig(false, seed % 2 == 1 ? Device(4096, std::min(kSpeed, 4.0), true, seed)
                                         : DeviceModel{});
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
        // One stream from the first to the last: no entry was loaded anew.
        EXPECT_EQ(rig.deck->AudioBytesWritten(),
                  std::accumulate(frames.begin(), frames.end(), size_t{0}) * 4)
            << "no silence between them";
    }
}

} // namespace
