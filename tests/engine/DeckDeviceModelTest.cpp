// The deck against a device model that calls back like a sound card: periods
// that are not segments, random periods, jitter, late callbacks that take two
// periods at once, at several rates. Whatever the timing, the device must
// receive exactly the tracks' samples, each once and in order; silence while
// decoding lags is allowed (it is not recorded), loss or repetition is not.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

struct Timing {
    const char* name;
    uint32_t periodFrames;
    bool randomPeriod;
    double jitter;
    double lateChance;
};

// Sanitizer builds are several times slower; the device is slowed with them
// so that the deck usually keeps up, though it need not.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kSpeed = 3.0;
#else
constexpr double kSpeed = 8.0;
#endif

void PrintTo(const Timing& timing, std::ostream* out) {
    *out << timing.name;
}

DeviceModel ModelOf(const Timing& timing, uint32_t seed = 7) {
    DeviceModel model;
    model.periodFrames = timing.periodFrames;
    model.randomPeriod = timing.randomPeriod;
    model.jitter = timing.jitter;
    model.lateChance = timing.lateChance;
    model.speed = kSpeed;
    model.seed = seed;
    return model;
}

const Timing kHostile{"random", 4096, true, 0.3, 0.1};

// Whether the deck must keep the device fed without a single underrun: in a
// plain build, when what it keeps written ahead lasts long enough on the wall
// clock to ride out a busy machine. A refill that lags the cursor starves
// the device whatever the speed, so this catches it.
bool MustNotUnderrun(int rate) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    (void)rate;
    return false;
#else
    const double aheadSeconds = CRingStreamer::kFillTarget * double(kChunkFrames) / rate / kSpeed;
    return aheadSeconds >= 0.15;
#endif
}

class DeviceTimings : public ::testing::TestWithParam<std::tuple<Timing, int>> {};

// A long track ending inside a chunk, a track shorter than the rest of that
// chunk, a track played twice in a row, and one more: whole and gapless, and
// each play of the repeated track is a track change of its own.
TEST_P(DeviceTimings, APlaylistReachesTheDeviceWholeAndInOrder) {
    const auto& [timing, rate] = GetParam();
    const auto r = static_cast<size_t>(rate);
    DeckRig rig(false, ModelOf(timing));
    const auto c = rig.AddTracks({6 * r + 1234, 1000, 3 * r}, 1, rate)[2];
    rig.AddRows({rig.PathOf("c.wav")});
    rig.all.insert(rig.all.end(), c.begin(), c.end());
    rig.AddTracks({4 * r + 17}, 4, rate);
    ASSERT_TRUE(rig.PlayFromRow(0));
    EXPECT_EQ(FrameDifference(rig.Played(), rig.all), "");
    if (MustNotUnderrun(rate)) {
        EXPECT_EQ(rig.output.GetStarvation().underruns, 0u);
    }
    EXPECT_EQ(rig.host.tracks, (std::vector<std::string>{"a.wav", "c.wav", "c.wav", "e.wav"}))
        << "b lies inside a chunk that starts in a and ends in c";
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 4);
}

std::string TimingName(const ::testing::TestParamInfo<std::tuple<Timing, int>>& info) {
    return std::string(std::get<0>(info.param).name) + "_" +
           std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(
    Periods, DeviceTimings,
    ::testing::Combine(::testing::Values(Timing{"p256", 256, false, 0, 0},
                                         Timing{"p1024", 1024, false, 0, 0},
                                         Timing{"p4096", 4096, false, 0.2, 0},
                                         Timing{"p8192", 8192, false, 0.2, 0.05},
                                         Timing{"p16384", 16384, false, 0, 0.05}, kHostile),
                       ::testing::Values(44100)),
    TimingName);
INSTANTIATE_TEST_SUITE_P(Rates, DeviceTimings,
                         ::testing::Combine(::testing::Values(kHostile),
                                            ::testing::Values(48000, 96000, 192000)),
                         TimingName);

// Thirty seconds on the hostile device, with pauses: long enough for any
// drift between callbacks and segments to show, and a pause must neither
// lose nor repeat a frame.
TEST(DeviceModel, ThirtySecondsOnAnIrregularDeviceWithPausesComeOutWhole) {
    DeckRig rig(false, ModelOf(kHostile, 11));
    rig.AddTracks({30 * 44100 + 99}, 5);
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    for (int pause = 0; pause < 3; ++pause) {
        const uint64_t played = rig.output.GetFramesPlayed();
        ASSERT_TRUE(rig.RunUntil(
            [&] { return rig.output.GetFramesPlayed() > played + 44100 / 2 + 997 * pause; }));
        rig.deck->TogglePause();
        ASSERT_FALSE(rig.deck->IsPlaying());
        rig.loop.RunFor(20ms);
        rig.deck->TogglePause();
    }
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }, 120s));
    EXPECT_EQ(FrameDifference(rig.Played(), rig.all), "");
}

// The offline render is the reference for a rate change: both go through the
// same converter, so they must agree sample for sample.
TEST(DeviceModel, ARateChangeComesOutAsTheOfflineRender) {
    DeckRig offline, rig(false, ModelOf(kHostile, 3));
    for (DeckRig* r : {&offline, &rig}) {
        r->AddTracks({3 * 44100 + 5});
        r->AddTracks({3 * 48000}, 2, 48000);
        ASSERT_TRUE(r->PlayFromRow(0));
    }
    ASSERT_NEAR(static_cast<double>(offline.Played().size() / 2), 6 * 44100.0, 50.0);
    EXPECT_EQ(FrameDifference(rig.Played(), offline.Played()), "");
}

// A seek in the last seconds, after the reader has moved on to the next
// track: what was heard, then the track from the target, then the next whole.
TEST(DeviceModel, ASeekNearTheEndPlaysFromTheTargetThenTheNextTrack) {
    DeckRig rig(false, ModelOf(kHostile, 9));
    const auto tracks = rig.AddTracks({5 * 44100, 2 * 44100 + 3}, 7);
    const auto& a = tracks[0];
    const auto& b = tracks[1];
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] {
        return rig.reader.GetFileName() != rig.PathOf("a.wav") &&
               rig.output.GetFramesPlayed() > 44100;
    }));
    rig.deck->SeekTo(4.58);
    const size_t before = rig.clock->Recorded().size() / 2;
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    const auto played = rig.clock->Recorded();
    EXPECT_EQ(FrameDifference(Frames(played, 0, before), Frames(a, 0, before)), "");
    const long target = FindFrames(a, Frames(played, before, 500));
    ASSERT_GE(target, 0);
    EXPECT_EQ(target, std::lround(4.58 * 44100));
    auto expected = Frames(a, static_cast<size_t>(target), a.size());
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(FrameDifference(Frames(played, before, expected.size() / 2), expected), "");
    EXPECT_EQ(rig.host.tracks.back(), "b.wav");
    // The run after the seek ends before the read-ahead point: the output
    // must know it ends there rather than wait for more and run dry.
    if (MustNotUnderrun(44100)) {
        EXPECT_EQ(rig.output.GetStarvation().underruns, 0u);
    }
}

// Decoding that stalls for longer than everything buffered: the device gets
// silence, the underrun is reported, and then the track goes on where it was.
class CSlowReader : public CAudioFileReader {
  public:
    CSlowReader(std::chrono::microseconds perChunk, int stallAt, double stallSeconds)
        : m_perChunk(perChunk), m_stallAt(stallAt), m_stall(stallSeconds) {}
    int32_t ReadChunk(uint8_t* out, uint32_t& bytesRead, bool& endOfStream) override {
        std::this_thread::sleep_for(m_perChunk);
        if (++m_reads == m_stallAt)
            std::this_thread::sleep_for(m_stall);
        return CAudioFileReader::ReadChunk(out, bytesRead, endOfStream);
    }

  private:
    const std::chrono::microseconds m_perChunk;
    const int m_stallAt;
    const std::chrono::duration<double> m_stall;
    std::atomic<int> m_reads{0};
};

TEST(DeviceModel, ADecoderStallIsSilenceThenTheTrackGoesOnWhole) {
    DeckRig rig(false, ModelOf(kHostile, 13),
                std::make_unique<CSlowReader>(0us, 150, 12.0 / kSpeed));
    rig.AddTracks({20 * 44100}, 9);
    ASSERT_TRUE(rig.PlayFromRow(0));
    EXPECT_EQ(FrameDifference(rig.Played(), rig.all), "");
    EXPECT_GT(rig.output.GetStarvation().underruns, 0u);
    EXPECT_GT(rig.host.starved, 1.0) << "the underrun is reported with its length";
}

// The track changes when its first chunk is heard, not when the device takes
// it: the device's latency lies between.
TEST(DeviceModel, TheTrackChangesWhenItIsHeard) {
    const size_t framesA = 4 * 44100 + 1000;
    DeviceModel model = ModelOf(Timing{"p2048", 2048, false, 0, 0});
    model.latencyFrames = 8192;
    DeckRig rig(false, model);
    uint64_t playedAtChange = 0;
    double elapsedAtChange = -1.0;
    rig.host.onTrackChanged = [&] {
        playedAtChange = rig.output.GetFramesPlayed();
        elapsedAtChange = rig.deck->Elapsed();
    };
    rig.AddTracks({framesA, 2 * 44100});
    ASSERT_TRUE(rig.PlayFromRow(0));
    ASSERT_EQ(rig.host.tracks.back(), "b.wav");
    // b's first chunk starts where a's last chunk starts.
    const uint64_t firstChunkOfB = framesA / kChunkFrames * kChunkFrames;
    EXPECT_GE(playedAtChange, firstChunkOfB + model.latencyFrames);
    EXPECT_LE(playedAtChange, firstChunkOfB + model.latencyFrames + 2 * 2048 + kChunkFrames);
    EXPECT_LT(elapsedAtChange, 0.2) << "the new track's position, not the old one's end";
}

// A load that comes while the previous track's read-ahead message waits in
// the queue: that message is handled inside the load's wait, and must not
// prime the output with the old track.
TEST(DeviceModel, ALoadWhileTheOldReadAheadIsQueuedPlaysOnlyTheNewTrack) {
    // Slow decoding: the second load and the start come while the first
    // track is still being read ahead.
    DeckRig rig(false, ModelOf(kHostile, 17), std::make_unique<CSlowReader>(2ms, 0, 0.0));
    const auto b = rig.AddTracks({10 * 44100, 2 * 44100}, 21)[1];
    rig.deck->LoadTrack(rig.PathOf("a.wav"));
    rig.deck->LoadTrack(rig.PathOf("b.wav"));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    EXPECT_EQ(FrameDifference(rig.Played(), b), "");
}

// Any sequence of commands, at any moment, on an irregular device (fast
// wind lands where the display last was, so it has its own tests): the deck
// always settles, and what the device received is, stretch by stretch, one
// entry's frames in order, each stretch starting at the entry's start, a seek
// target, or where the stretch before it stopped.
TEST(DeviceModel, RandomCommandsAlwaysSettleAndPlayOnlyWholeStretches) {
    const size_t lengths[] = {3 * 44100 + 17, 5 * 44100, 2 * 44100 + 999};
    constexpr long kTrackBase = DeckRig::kTrackBase;
    for (const uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        DeckRig rig(false, ModelOf(kHostile, seed));
        rig.AddCounterTracks({lengths[0], lengths[1], lengths[2]});
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> pick(0, 99), gap(0, 300);
        std::uniform_real_distribution<double> position(0.0, 6.0);
        std::set<long> starts; // counter values a stretch may start at
        for (uint32_t k = 0; k < 3; ++k)
            starts.insert(k * kTrackBase);
        const auto seekTargets = [&](double seconds) {
            for (uint32_t k = 0; k < 3; ++k) {
                const double at = std::min(seconds * 44100, double(lengths[k]));
                for (long d = -1; d <= 1; ++d)
                    starts.insert(long(k * kTrackBase) + std::lround(at) + d);
            }
        };
        const auto deadline = std::chrono::steady_clock::now() + 30s / kSpeed;
        while (std::chrono::steady_clock::now() < deadline) {
            const int p = pick(random);
            if (p < 25) {
                rig.deck->TogglePause();
            } else if (p < 40) {
                rig.deck->Next();
            } else if (p < 50) {
                rig.deck->Previous();
            } else if (p < 65) {
                const double seconds = position(random);
                seekTargets(seconds);
                rig.deck->SeekTo(seconds);
            } else if (p < 75) {
                rig.playlist.PlayEntry(pick(random) % 3);
            } else if (p < 82) {
                rig.deck->SetVolume(pick(random) / 99.0);
            } else if (p < 88) {
                rig.deck->Close();
            } else {
                rig.LoadRow(pick(random) % 3);
            }
            rig.loop.RunFor(std::chrono::milliseconds(gap(random)));
        }
        ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }, 10s)) << "never settled";
        rig.deck->Shutdown();
        const auto runs = CounterRuns(rig.clock->Recorded());
        long previousLast = -2;
        for (const CounterRun& run : runs) {
            const long track = run.first / kTrackBase;
            EXPECT_EQ(run.last / kTrackBase, track) << Describe(runs);
            EXPECT_LT(run.last - track * kTrackBase, long(lengths[track])) << Describe(runs);
            EXPECT_TRUE(starts.count(run.first) != 0 || run.first == previousLast + 1)
                << "a stretch starts at " << run.first << ": " << Describe(runs);
            previousLast = run.last;
        }
    }
}

// Rows deleted and moved around the playing entry while the reader has
// already moved on to the next one: the marks follow the entries, not the
// row numbers, and playback goes on in the list's new order.
TEST(DeviceModel, EditsDuringAHandOverMarkAndCueTheRightEntries) {
    DeckRig rig(false, ModelOf(kHostile, 5));
    rig.AddTracks({44100, 3 * 44100, 2 * 44100, 2 * 44100, 2 * 44100});
    ASSERT_TRUE(rig.LoadRow(1));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] {
        return rig.reader.GetFileName() != rig.PathOf("b.wav") &&
               rig.deck->TrackPath() == rig.PathOf("b.wav");
    }));
    rig.playlist.Tracks().RemoveTrack(0); // above the playing entry: b is row 0 now
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->TrackPath() == rig.PathOf("c.wav"); }));
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 1) << "c, heard now, is row 1";
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    EXPECT_EQ(rig.host.tracks, (std::vector<std::string>{"b.wav", "c.wav", "d.wav", "e.wav"}));
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 3);
}

// Without a device a seek and a load keep what they were asked: the track
// and place they chose are where playback goes on once a device opens.
TEST(DeviceModel, ASeekAndALoadWithoutADeviceHoldWhenOneOpens) {
    DeckRig rig(false, ModelOf(kHostile, 8));
    const auto b = rig.AddTracks({3 * 44100, 4 * 44100}, 6)[1];
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->SetOutputDevice("Gone", [] { return nullptr; });
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
    ASSERT_TRUE(rig.LoadRow(1));
    rig.deck->SeekTo(2.0);
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
    VirtualClockOptions options;
    options.keepInMemory = true;
    options.rampsAndVolume = false;
    options.model = ModelOf(kHostile, 9);
    CVirtualClockBackend* clock = nullptr;
    rig.deck->SetOutputDevice("Back", [&] {
        auto backend = std::make_unique<CVirtualClockBackend>(options);
        clock = backend.get();
        return backend;
    });
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    ASSERT_NE(clock, nullptr);
    // From the middle of b to its end; after that the device gets the
    // silence that ends the stream.
    const auto got = clock->Recorded();
    const long start = FindFrames(b, Frames(got, 0, 100));
    EXPECT_EQ(start, 2 * 44100);
    const auto rest = static_cast<size_t>(4 * 44100 - std::max(start, 0L));
    EXPECT_EQ(FrameDifference(Frames(got, 0, rest), Frames(b, 4 * 44100 - rest, rest)), "");
}

} // namespace
