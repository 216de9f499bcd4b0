// Edits to the list during the last seconds of a track, after the reader has
// read past the seam: what the device receives follows the edited list. An
// entry deleted before it is heard is never heard, a moved one plays in its
// new place, an emptied list ends playback after the sounding entry, and the
// seam stays gapless.
#include "tests/engine/DeckRig.h"
#include "tests/support/CounterSignal.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

constexpr long kTrackBase = 1000000; // the counter of track k starts at k * kTrackBase
constexpr int kRate = 44100;
// x (above the sounding one), a (sounding), b, c.
const size_t kFrames[] = {kRate, 5 * kRate + 123, 2 * kRate + 7, 2 * kRate};

enum class Edit { DeleteAbove, DeleteNext, MoveNextDown, DeleteAll, DeleteSounding };

struct Case {
    Edit edit;
    const char* name;
    std::vector<int> heardAfterA; // tracks heard after a, whole
};

const Case kCases[] = {
    {Edit::DeleteAbove, "delete above", {2, 3}},       {Edit::DeleteNext, "delete next", {3}},
    {Edit::MoveNextDown, "move next down", {3, 2}},    {Edit::DeleteAll, "delete all", {}},
    {Edit::DeleteSounding, "delete sounding", {2, 3}},
};

void Apply(Edit edit, CTrackList& list) {
    switch (edit) {
    case Edit::DeleteAbove:
        list.RemoveTrack(0);
        return;
    case Edit::DeleteNext:
        list.RemoveTrack(2);
        return;
    case Edit::MoveNextDown:
        list.MoveDown(2);
        return;
    case Edit::DeleteAll:
        list.RemoveAll();
        return;
    case Edit::DeleteSounding:
        list.RemoveTrack(1);
        return;
    }
}

std::vector<CounterRun> Expected(const Case& c) {
    std::vector<CounterRun> runs{{kTrackBase, kTrackBase + long(kFrames[1]) - 1}};
    for (const int k : c.heardAfterA)
        runs.push_back({k * kTrackBase, k * kTrackBase + long(kFrames[k]) - 1});
    return runs;
}

std::vector<CounterRun> PlayWithEdit(const Case& c, double secondsBeforeEnd, DeviceModel model,
                                     std::string* marked = nullptr) {
    TempDir tmp;
    std::vector<std::filesystem::path> files;
    for (size_t k = 0; k < 4; ++k) {
        files.push_back(tmp / ("t" + std::to_string(k) + ".wav"));
        WriteWav16(files.back(), kRate, 2,
                   MakeCounterSignal(kFrames[k], static_cast<uint32_t>(k * kTrackBase)));
    }
    DeckRig rig(false, model);
    rig.AddRows(files);
    if (!rig.LoadRow(1))
        return {};
    rig.deck->TogglePause();
    const auto editAt = static_cast<uint64_t>(double(kFrames[1]) - secondsBeforeEnd * kRate);
    EXPECT_TRUE(rig.RunUntil([&] { return rig.output.GetFramesPlayed() >= editAt; }));
    Apply(c.edit, rig.playlist.Tracks());
    EXPECT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    if (marked != nullptr) {
        const int row = rig.playlist.GetLoadedIndex();
        *marked = row >= 0 ? rig.playlist.Tracks().GetTrackName(row) : "";
    }
    rig.deck->Shutdown();
    return CounterRuns(rig.clock->Recorded());
}

TEST(ListEdits, LateEditsChangeWhatFollowsTheSeam) {
    for (const Case& c : kCases) {
        for (const double before : {4.5, 2.0, 1.0, 0.5, 0.3}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(before) + " s before the end");
            std::string marked;
            const auto runs = PlayWithEdit(c, before, {}, &marked);
            EXPECT_EQ(Describe(runs), Describe(Expected(c)));
            // The mark is on the entry heard last (none once the list is empty).
            const std::string last = c.heardAfterA.empty() || c.edit == Edit::DeleteAll
                                         ? ""
                                         : "t" + std::to_string(c.heardAfterA.back());
            EXPECT_EQ(marked, last);
        }
    }
}

// On a device that calls back irregularly (and in real time, so a loaded
// machine may answer late), an edit near the seam may be too late for it, and then the entry read
// past the seam plays whole; either way the device gets whole tracks, and what comes after them
// follows the list.
TEST(ListEdits, AnEditAtTheSeamOnAnIrregularDeviceIsCleanEitherWay) {
    DeviceModel model;
    model.periodFrames = 4096;
    model.randomPeriod = true;
    model.jitter = 0.3;
    model.lateChance = 0.1;
    model.speed = 4.0;
    const Case& deleteNext = kCases[1];
    std::vector<CounterRun> tooLate = Expected(deleteNext);
    tooLate.insert(tooLate.begin() + 1,
                   CounterRun{2 * kTrackBase, 2 * kTrackBase + long(kFrames[2]) - 1});
    for (const double before : {1.0, 0.15, 0.05, 0.0}) {
        SCOPED_TRACE(std::to_string(before) + " s before the end");
        const auto runs = PlayWithEdit(deleteNext, before, model);
        const std::string got = Describe(runs);
        EXPECT_TRUE(got == Describe(Expected(deleteNext)) || got == Describe(tooLate)) << got;
    }
}

} // namespace

namespace {

// Counter tracks t0, t1, ... of the given lengths in a list on the lockstep
// clock, and what the device received.
struct ModeRig {
    explicit ModeRig(std::vector<size_t> lengths, DeviceModel model = {})
        : frames(std::move(lengths)), rig(false, model) {
        for (size_t k = 0; k < frames.size(); ++k) {
            files.push_back(tmp / ("t" + std::to_string(k) + ".wav"));
            WriteWav16(files.back(), kRate, 2,
                       MakeCounterSignal(frames[k], static_cast<uint32_t>(k * kTrackBase)));
        }
    }
    void List(size_t count) {
        for (size_t k = 0; k < count; ++k)
            rig.playlist.AddTrackRow(files[k].string(), -1.0, "");
    }
    bool Start(int row) {
        if (!rig.LoadRow(row))
            return false;
        rig.deck->TogglePause();
        return true;
    }
    // Until track k sounds with `before` seconds of it left.
    bool Near(size_t k, double before) {
        return rig.RunUntil([&] {
            return rig.deck->TrackPath() == files[k].string() &&
                   rig.deck->Elapsed() >= double(frames[k]) / kRate - before;
        });
    }
    bool Sounds(size_t k) {
        return rig.RunUntil([&] { return rig.deck->TrackPath() == files[k].string(); });
    }
    std::string Heard() {
        EXPECT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
        rig.deck->Shutdown();
        return Describe(CounterRuns(rig.clock->Recorded()));
    }
    std::string Whole(std::initializer_list<size_t> order) const {
        std::vector<CounterRun> runs;
        for (const size_t k : order)
            runs.push_back({long(k) * kTrackBase, long(k) * kTrackBase + long(frames[k]) - 1});
        return Describe(runs);
    }

    TempDir tmp;
    std::vector<size_t> frames;
    DeckRig rig;
    std::vector<std::filesystem::path> files;
};

// Shuffle plays every entry once, each whole, seam to seam; the order is the
// play order's.
TEST(PlayModes, ShuffleIsGaplessAndPlaysEveryEntryOnce) {
    for (const uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // Odd seeds on a device that calls back irregularly.
        DeviceModel model;
        if (seed % 2 == 1) {
            model.periodFrames = 4096;
            model.randomPeriod = true;
            model.jitter = 0.3;
            model.lateChance = 0.1;
            model.speed = 4.0;
            model.seed = seed;
        }
        ModeRig m({kRate / 2 + 11, kRate + 3, kRate / 3, kRate, 2 * kRate / 3 + 5, kRate / 4},
                  model);
        m.List(6);
        m.rig.playlist.ReseedOrder(seed);
        m.rig.deck->SetShuffle(ShuffleMode::Tracks);
        std::vector<size_t> order; // as each track is shown
        m.rig.host.onTrackChanged = [&] {
            order.push_back(
                static_cast<size_t>(m.rig.playlist.Tracks().FindRow(m.rig.deck->TrackEntry())));
        };
        ASSERT_TRUE(m.Start(static_cast<int>(seed % 6)));
        const std::string heard = m.Heard();
        std::vector<size_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<size_t>{0, 1, 2, 3, 4, 5})) << heard;
        std::vector<CounterRun> runs;
        for (const size_t k : order)
            runs.push_back({long(k) * kTrackBase, long(k) * kTrackBase + long(m.frames[k]) - 1});
        EXPECT_EQ(heard, Describe(runs));
        size_t audio = 0;
        for (const size_t f : m.frames)
            audio += f;
        EXPECT_EQ(m.rig.deck->AudioBytesWritten(), audio * 4) << "no silence between them";
    }
}

// Modes set during the last second of a track decide what follows it; the
// stop after the sounding track stops there and loads the next one, paused.
TEST(PlayModes, AModeSetLateDecidesWhatFollows) {
    {
        SCOPED_TRACE("repeat all at the last track, off again once it wrapped");
        ModeRig m({2 * kRate + 5, 2 * kRate + 9});
        m.List(2);
        ASSERT_TRUE(m.Start(0));
        ASSERT_TRUE(m.Near(1, 0.8));
        m.rig.deck->SetRepeat(RepeatMode::All);
        ASSERT_TRUE(m.Sounds(0));
        m.rig.deck->SetRepeat(RepeatMode::Off);
        EXPECT_EQ(m.Heard(), m.Whole({0, 1, 0, 1}));
    }
    {
        SCOPED_TRACE("repeat track, off again on the repeat");
        ModeRig m({2 * kRate + 5, 2 * kRate + 9});
        m.List(2);
        ASSERT_TRUE(m.Start(0));
        ASSERT_TRUE(m.Near(0, 0.8));
        m.rig.deck->SetRepeat(RepeatMode::Track);
        ASSERT_TRUE(m.rig.RunUntil([&] { return m.rig.deck->Elapsed() < 0.5; }));
        m.rig.deck->SetRepeat(RepeatMode::Off);
        EXPECT_EQ(m.Heard(), m.Whole({0, 0, 1}));
    }
    {
        SCOPED_TRACE("an entry appended after the last one was read to its end");
        ModeRig m({4 * kRate + 5, kRate + 9});
        m.List(1);
        ASSERT_TRUE(m.Start(0));
        ASSERT_TRUE(m.Near(0, 1.0));
        m.rig.playlist.AddTrackRow(m.files[1].string(), -1.0, "");
        EXPECT_EQ(m.Heard(), m.Whole({0, 1}));
    }
    {
        SCOPED_TRACE("stop after the sounding track");
        ModeRig m({2 * kRate + 5, 2 * kRate + 9, kRate});
        m.List(3);
        ASSERT_TRUE(m.Start(0));
        ASSERT_TRUE(m.Near(0, 0.8));
        m.rig.deck->SetStopAfterCurrent(true);
        EXPECT_TRUE(m.rig.deck->StopsAfterCurrent());
        ASSERT_TRUE(m.rig.RunUntil([&] {
            return m.rig.deck->GetState() == DeckState::Paused &&
                   m.rig.deck->TrackPath() == m.files[1].string();
        }));
        EXPECT_FALSE(m.rig.deck->StopsAfterCurrent()) << "once";
        m.rig.deck->Shutdown();
        EXPECT_EQ(Describe(CounterRuns(m.rig.clock->Recorded())), m.Whole({0}));
    }
}

} // namespace
