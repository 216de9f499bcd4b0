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
    int rate;
};

void PrintTo(const Timing& timing, std::ostream* out) {
    *out << timing.name;
}

DeviceModel ModelOf(const Timing& timing, uint32_t seed = 7) {
    DeviceModel model = Device(timing.periodFrames, kSpeed, timing.randomPeriod, seed);
    model.jitter = timing.jitter;
    model.lateChance = timing.lateChance;
    return model;
}

const Timing kHostile{"random", 4096, true, 0.3, 0.1, 44100};

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

class DeviceTimings : public ::testing::TestWithParam<Timing> {};

// A long track ending inside a chunk, a track shorter than the rest of that
// chunk, an entry that cannot be opened, a track played twice in a row, and
// one more, with three pauses in the first: whole and gapless (a pause loses
// and repeats nothing), each play of the repeated track a track change of its
// own, the unopenable entry marked, and the output stopped at the end of the
// data. A file of another rate is converted by the reader, before the ring:
// to the device it is a track like any other.
TEST_P(DeviceTimings, APlaylistReachesTheDeviceWholeAndInOrder) {
    const int rate = GetParam().rate;
    const auto r = static_cast<size_t>(rate);
    DeckRig rig(false, ModelOf(GetParam()));
    const auto d = rig.AddTracks({6 * r + 1234, 1000, 0, 3 * r}, 1, rate)[3];
    rig.playlist.AddTrackRow(rig.PathOf("d.wav"), -1.0, "");
    rig.all.insert(rig.all.end(), d.begin(), d.end());
    rig.AddTracks({4 * r + 17}, 5, rate);
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    for (int pause = 0; pause < 3; ++pause) {
        const uint64_t played = rig.output.GetFramesPlayed();
        ASSERT_TRUE(rig.RunUntil(
            [&] { return rig.output.GetFramesPlayed() > played + r / 2 + 997 * size_t(pause); }));
        rig.deck->TogglePause();
        rig.loop.RunFor(20ms);
        rig.deck->TogglePause();
    }
    ASSERT_TRUE(rig.UntilEnd());
    EXPECT_EQ(FrameDifference(rig.Played(), rig.all), "");
    if (MustNotUnderrun(rate)) {
        EXPECT_EQ(rig.output.GetStarvation().underruns, 0u);
    }
    EXPECT_EQ(rig.host.tracks, (std::vector<std::string>{"a.wav", "d.wav", "d.wav", "f.wav"}))
        << "b lies inside a chunk that starts in a and ends in d";
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 5);
    EXPECT_TRUE(rig.playlist.Tracks().IsUnreadable(2));
    EXPECT_EQ(rig.playlist.Tracks().GetLength(1), -1.0)
        << "a length is measured only for an entry played by choice";
    EXPECT_FALSE(rig.output.IsPlayingForward());
}

INSTANTIATE_TEST_SUITE_P(Devices, DeviceTimings,
                         ::testing::Values(Timing{"p256", 256, false, 0, 0, 44100},
                                           Timing{"p1024", 1024, false, 0, 0, 44100},
                                           Timing{"p4096", 4096, false, 0.2, 0, 44100},
                                           Timing{"p8192", 8192, false, 0.2, 0.05, 44100},
                                           Timing{"p16384", 16384, false, 0, 0.05, 44100}, kHostile,
                                           Timing{"random_48000", 4096, true, 0.3, 0.1, 48000},
                                           Timing{"random_96000", 4096, true, 0.3, 0.1, 96000},
                                           Timing{"random_192000", 4096, true, 0.3, 0.1, 192000}),
                         [](const auto& info) { return std::string(info.param.name); });

// A seek in the last seconds, after the reader has moved on to the next
// track: what was heard, then the track from the target, then the next whole.
TEST(DeviceModel, ASeekNearTheEndPlaysFromTheTargetThenTheNextTrack) {
    DeckRig rig(false, ModelOf(kHostile, 9));
    const auto tracks = rig.AddTracks({5 * 44100, 2 * 44100 + 3}, 7);
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] {
        return rig.reader.GetFileName() != rig.PathOf("a.wav") &&
               rig.output.GetFramesPlayed() > 44100;
    }));
    rig.deck->SeekTo(4.58);
    auto expected = Frames(tracks[0], 0, rig.clock->Recorded().size() / 2);
    const auto fromTarget =
        Frames(tracks[0], static_cast<size_t>(std::lround(4.58 * 44100)), tracks[0].size());
    expected.insert(expected.end(), fromTarget.begin(), fromTarget.end());
    expected.insert(expected.end(), tracks[1].begin(), tracks[1].end());
    ASSERT_TRUE(rig.UntilEnd());
    EXPECT_EQ(FrameDifference(Frames(rig.clock->Recorded(), 0, expected.size() / 2), expected), "");
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
    DeckRig rig(false, Device(2048, kSpeed, false, 7, 8192));
    uint64_t playedAtChange = 0;
    double elapsedAtChange = -1.0;
    rig.host.onTrackChanged = [&] {
        playedAtChange = rig.output.GetFramesPlayed();
        elapsedAtChange = rig.deck->Elapsed();
    };
    rig.AddTracks({framesA, 2 * 44100});
    ASSERT_TRUE(rig.PlayFromRow(0));
    // b's first chunk starts where a's last chunk starts.
    const uint64_t firstChunkOfB = framesA / kChunkFrames * kChunkFrames;
    EXPECT_GE(playedAtChange, firstChunkOfB + 8192);
    EXPECT_LE(playedAtChange, firstChunkOfB + 8192 + 2 * 2048 + kChunkFrames);
    EXPECT_LT(elapsedAtChange, 0.2) << "the new track's position, not the old one's end";
}

// A main thread that misses the last moments of the list (a busy machine):
// when it looks again the end has been heard, and the track shown and marked
// is the last one, not the one it saw last.
TEST(DeviceModel, AfterAMissedEndTheLastTrackHeardIsShown) {
    DeckRig rig(false, Device(1024, kSpeed));
    rig.AddTracks({44100, 4410, 4410});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    // All of it in the ring, then the main thread away while it plays out.
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->AudioBytesWritten() == (44100 + 8820) * 4; }));
    ASSERT_EQ(rig.deck->TrackPath(), rig.PathOf("a.wav"));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_TRUE(rig.UntilEnd());
    EXPECT_EQ(rig.deck->TrackPath(), rig.PathOf("c.wav"));
    EXPECT_EQ(rig.playlist.GetLoadedIndex(), 2);
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
    ASSERT_TRUE(rig.UntilEnd());
    EXPECT_EQ(FrameDifference(rig.Played(), b), "");
}

// Any sequence of commands, at any moment, on an irregular device (fast
// wind lands where the display last was, so it has its own tests): the deck
// always settles, and what the device received is, stretch by stretch, one
// entry's frames in order, each stretch starting at the entry's start, a seek
// target, or where the stretch before it stopped.
TEST(DeviceModel, RandomCommandsAlwaysSettleAndPlayOnlyWholeStretches) {
    const std::vector<size_t> lengths = {3 * 44100 + 17, 5 * 44100, 2 * 44100 + 999};
    constexpr long kTrackBase = DeckRig::kTrackBase;
    for (const uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        DeckRig rig(false, ModelOf(kHostile, seed));
        rig.AddCounterTracks(lengths);
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> pick(0, 99), gap(0, 300);
        std::uniform_real_distribution<double> position(0.0, 6.0);
        std::set<long> starts{0, kTrackBase, 2 * kTrackBase}; // where a stretch may start
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
                for (long k = 0; k < 3; ++k) {
                    const double at = std::min(seconds * 44100, double(lengths[size_t(k)]));
                    for (long d = -1; d <= 1; ++d)
                        starts.insert(k * kTrackBase + std::lround(at) + d);
                }
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
            EXPECT_TRUE(run.last / kTrackBase == track &&
                        run.last - track * kTrackBase < long(lengths[size_t(track)]) &&
                        (starts.count(run.first) != 0 || run.first == previousLast + 1))
                << "the stretch from " << run.first << " of " << Describe(runs);
            previousLast = run.last;
        }
    }
}

} // namespace
