// The counter-signal check itself: the real-time tests and the engine's
// device-model tests trust it to pass whole recordings and to point at the
// first frame that went wrong in any other.
#include "tests/support/CounterSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using namespace tessel::test;

namespace {

constexpr size_t kRamp = 2205; // the start ramp at 44.1 kHz

int16_t Scale(int16_t s, double gain) {
    return static_cast<int16_t>(std::lround(s * gain));
}

// What a device makes of the signal: silence, a start ramp that ends at
// about -5 dB, the frames, a stop ramp over the last `stopFrames`, silence.
std::vector<int16_t> Played(const std::vector<int16_t>& signal, size_t stopFrames = 0) {
    std::vector<int16_t> out(2 * 1000, 0);
    const size_t frames = signal.size() / 2;
    for (size_t i = 0; i < frames; ++i) {
        double gain = 1.0;
        if (i < kRamp)
            gain = 0.56 * static_cast<double>(i) / kRamp;
        else if (i + stopFrames >= frames)
            gain = static_cast<double>(frames - i) / (stopFrames + 1);
        out.push_back(Scale(signal[2 * i], gain));
        out.push_back(Scale(signal[2 * i + 1], gain));
    }
    out.resize(out.size() + 2 * 3000, 0);
    return out;
}

CounterCheckOptions Expect(size_t frames) {
    CounterCheckOptions o;
    o.expectedFrames = frames;
    o.fadeFrames = kRamp;
    o.rate = 44100;
    return o;
}

void CutFrames(std::vector<int16_t>& v, size_t fromFrame, size_t frames) {
    v.erase(v.begin() + static_cast<long>(2 * fromFrame),
            v.begin() + static_cast<long>(2 * (fromFrame + frames)));
}

} // namespace

TEST(CounterCheck, PassesAWholeRecordingWithItsRampsAndSilenceAround) {
    for (uint32_t index : {0u, 0x3FFFu, 0x4000u, kCounterMaxFrames - 1}) {
        int16_t l = 0, r = 0;
        EncodeCounterFrame(index, l, r);
        EXPECT_EQ(DecodeCounterFrame(l, r), index);
        EXPECT_FALSE(DecodeCounterFrame(r, l)) << "swapped channels must not decode";
    }
    EXPECT_FALSE(DecodeCounterFrame(0, 0));

    const auto signal = MakeCounterSignal(200000);
    const auto result = CheckCounterSignal(Played(signal, 300), Expect(200000));
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.startsAt, 1000u);
    EXPECT_EQ(result.firstFrame, 0u);
    EXPECT_EQ(result.endFrame, 200000u);
    EXPECT_EQ(result.fadedFrames, kRamp + 300);

    // Indices run on across files split anywhere.
    auto joined = MakeCounterSignal(70001);
    const auto second = MakeCounterSignal(50000, 70001);
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_TRUE(CheckCounterSignal(Played(joined), Expect(120001)).ok);
}

TEST(CounterCheck, PointsAtARepeatAndAtLostFrames) {
    auto signal = MakeCounterSignal(300000);
    // A stale ring: 3000 frames of the start played again at 147000.
    std::copy(signal.begin(), signal.begin() + 6000, signal.begin() + 2 * 147000);
    CutFrames(signal, 250000, 100);
    const auto result = CheckCounterSignal(Played(signal), Expect(300000));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.faults, 3u) << result.message;
    EXPECT_NE(result.message.find("- recording frame 148000 (3.356 s): expected frame "
                                  "147000, got frame 0: a repeat from 147000 frames back"),
              std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find("expected frame 3000, got frame 150000: 147000 "
                                  "frames lost"),
              std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find("expected frame 250000, got frame 250100: 100 "
                                  "frames lost"),
              std::string::npos)
        << result.message;
}

TEST(CounterCheck, SilenceInTheMiddleIsAnUnderrunOnlyWhereAllowed) {
    auto signal = MakeCounterSignal(100000);
    signal.insert(signal.begin() + 2 * 60000, 2 * 8192, int16_t{0});
    const auto played = Played(signal);
    const auto strict = CheckCounterSignal(played, Expect(100000));
    EXPECT_FALSE(strict.ok);
    EXPECT_NE(strict.message.find("8192 frames of silence before frame 60000"), std::string::npos)
        << strict.message;

    auto lenient = Expect(100000);
    lenient.allowUnderruns = true;
    const auto allowed = CheckCounterSignal(played, lenient);
    EXPECT_TRUE(allowed.ok) << allowed.message;
    EXPECT_EQ(allowed.underruns, 1u);
    EXPECT_EQ(allowed.underrunFrames, 8192u);

    // The device may ramp down into an underrun and up out of it, the
    // outermost ramp frames scaled to silence.
    auto ramped = MakeCounterSignal(100000);
    for (size_t k = 0; k < 2500; ++k) {
        const double down = std::pow(k / 2500.0, 4);
        const double up = 0.56 * std::pow(k / 2205.0, 2);
        for (size_t c = 0; c < 2; ++c) {
            int16_t& before = ramped[2 * (60000 - 1 - k) + c];
            before = Scale(before, down);
            if (k < 2205)
                ramped[2 * (60000 + k) + c] = Scale(ramped[2 * (60000 + k) + c], up);
        }
    }
    ramped.insert(ramped.begin() + 2 * 60000, 2 * 5000, int16_t{0});
    EXPECT_TRUE(CheckCounterSignal(Played(ramped), lenient).ok)
        << CheckCounterSignal(Played(ramped), lenient).message;
    auto rampedLoss = ramped;
    CutFrames(rampedLoss, 65000, 1000);
    EXPECT_NE(CheckCounterSignal(Played(rampedLoss), lenient).message.find("frames lost"),
              std::string::npos);

    // Silence in place of frames is a loss even where underruns are allowed.
    auto replaced = MakeCounterSignal(100000);
    std::fill(replaced.begin() + 2 * 60000, replaced.begin() + 2 * 61000, int16_t{0});
    const auto lost = CheckCounterSignal(Played(replaced), lenient);
    EXPECT_FALSE(lost.ok);
    EXPECT_NE(lost.message.find("expected frame 60000, got frame 61000: 1000 frames lost"),
              std::string::npos)
        << lost.message;
}

TEST(CounterCheck, AMissingStartOrEndAndSoundOutsideThePlayAreFaults) {
    const auto whole = MakeCounterSignal(100000);
    auto lateStart = whole;
    CutFrames(lateStart, 0, 500);
    const auto late = CheckCounterSignal(Played(lateStart), Expect(100000));
    EXPECT_FALSE(late.ok);
    EXPECT_NE(late.message.find("the first frame heard is frame 500"), std::string::npos)
        << late.message;

    auto early = whole;
    early.resize(2 * (100000 - 3000));
    EXPECT_NE(CheckCounterSignal(Played(early), Expect(100000))
                  .message.find("frames 97000 ... 99999 never came (silence follows)"),
              std::string::npos);
    auto tolerant = Expect(100000);
    tolerant.tailMayBeMissing = 3000;
    EXPECT_TRUE(CheckCounterSignal(Played(early), tolerant).ok);

    auto replayed = Played(whole);
    replayed.insert(replayed.end(), whole.begin(), whole.begin() + 2000);
    const auto after = CheckCounterSignal(replayed, Expect(100000));
    EXPECT_NE(
        after.message.find("sound after the last frame heard: (16385, -16384), which is frame 0"),
        std::string::npos)
        << after.message;

    auto noiseFirst = Played(whole);
    noiseFirst[20] = 5;
    EXPECT_NE(CheckCounterSignal(noiseFirst, Expect(100000))
                  .message.find("- recording frame 10 (0.000 s): sound before the first frame: "
                                "(5, 0)"),
              std::string::npos);

    // Nothing to find, or nothing asked for: a message, not a crash.
    EXPECT_NE(CheckCounterSignal(std::vector<int16_t>(4001, 0), Expect(100000))
                  .message.find("no 64 consecutive counter frames"),
              std::string::npos);
    EXPECT_FALSE(CheckCounterSignal(whole, Expect(0)).ok);
    EXPECT_THROW(MakeCounterSignal(10, kCounterMaxFrames - 5), std::invalid_argument);
}
