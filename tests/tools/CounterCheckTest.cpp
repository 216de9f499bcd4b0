// The counter-signal check itself: the real-time tests trust it to pass whole
// recordings and to point at the first frame that went wrong in any other.
#include "tests/support/CounterSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>

using namespace tessel::test;

namespace {

constexpr size_t kFrames = 100000;
constexpr size_t kRamp = 2205; // the start ramp at 44.1 kHz
using Signal = std::vector<int16_t>;

void Scale(Signal& s, size_t frame, double gain) {
    for (size_t c = 0; c < 2; ++c)
        s[2 * frame + c] = static_cast<int16_t>(std::lround(s[2 * frame + c] * gain));
}

// What a device makes of the signal: silence, a start ramp that ends at
// about -5 dB, the frames, silence.
Signal Played(Signal signal) {
    for (size_t i = 0; i < kRamp; ++i)
        Scale(signal, i, 0.56 * static_cast<double>(i) / kRamp);
    signal.insert(signal.begin(), 2 * 1000, 0);
    signal.resize(signal.size() + 2 * 3000, 0);
    return signal;
}

void Cut(Signal& s, size_t from, size_t frames) {
    s.erase(s.begin() + static_cast<long>(2 * from),
            s.begin() + static_cast<long>(2 * (from + frames)));
}

// Ramps down into an underrun of `silence` frames at frame 60000 and up out
// of it, the outermost ramp frames scaled to silence.
void RampedUnderrun(Signal& s, size_t silence) {
    for (size_t k = 0; k < 2500; ++k) {
        Scale(s, 60000 - 1 - k, std::pow(k / 2500.0, 4));
        if (k < kRamp)
            Scale(s, 60000 + k, 0.56 * std::pow(k / 2205.0, 2));
    }
    s.insert(s.begin() + 2 * 60000, 2 * silence, 0);
}

struct Case {
    const char* what;
    std::function<void(Signal&)> change; // on the signal before Played
    bool lenient;                        // underruns allowed
    const char* fault;                   // nullptr: passes
};

} // namespace

TEST(CounterCheck, PassesWholeRecordingsAndPointsAtEveryFault) {
    for (uint32_t index : {0u, 0x3FFFu, 0x4000u, kCounterMaxFrames - 1}) {
        int16_t l = 0, r = 0;
        EncodeCounterFrame(index, l, r);
        EXPECT_EQ(DecodeCounterFrame(l, r), index);
        EXPECT_FALSE(DecodeCounterFrame(r, l)) << "swapped channels must not decode";
    }
    EXPECT_FALSE(DecodeCounterFrame(0, 0));
    EXPECT_THROW(MakeCounterSignal(10, kCounterMaxFrames - 5), std::invalid_argument);

    const Case cases[] = {
        {"whole", [](Signal&) {}, false, nullptr},
        {"split and joined",
         [](Signal& s) {
             s = MakeCounterSignal(70001);
             const auto b = MakeCounterSignal(kFrames - 70001, 70001);
             s.insert(s.end(), b.begin(), b.end());
         },
         false, nullptr},
        {"a stale ring replayed",
         [](Signal& s) { std::copy(s.begin(), s.begin() + 6000, s.begin() + 2 * 47000); }, false,
         "recording frame 48000 (1.088 s): expected frame 47000, got frame 0: a repeat from "
         "47000 frames back"},
        {"frames lost", [](Signal& s) { Cut(s, 50000, 100); }, true,
         "expected frame 50000, got frame 50100: 100 frames lost"},
        {"an underrun, strict", [](Signal& s) { s.insert(s.begin() + 2 * 60000, 2 * 8192, 0); },
         false, "8192 frames of silence or scaled sound before frame 60000 (an underrun)"},
        {"an underrun, lenient", [](Signal& s) { s.insert(s.begin() + 2 * 60000, 2 * 8192, 0); },
         true, nullptr},
        {"ramps around an underrun", [](Signal& s) { RampedUnderrun(s, 5000); }, true, nullptr},
        {"ramps around an underrun and a loss after",
         [](Signal& s) {
             RampedUnderrun(s, 5000);
             Cut(s, 70000, 1000);
         },
         true, "1000 frames lost"},
        {"silence in place of frames",
         [](Signal& s) { std::fill(s.begin() + 2 * 60000, s.begin() + 2 * 61000, 0); }, true,
         "expected frame 60000, got frame 61000: 1000 frames lost"},
        {"a late start", [](Signal& s) { Cut(s, 0, 500); }, false,
         "the first whole frame is frame 2705: frames 0 ... 500 never came"},
        {"an early end", [](Signal& s) { s.resize(2 * (kFrames - 3000)); }, false,
         "frames 97000 ... 99999 never came"},
        {"sound after the end",
         [](Signal& s) {
             s.resize(s.size() + 2 * 4000, 0);
             s.resize(s.size() + 2 * 100, 5);
         },
         false, "sound after the last frame heard"},
        {"nothing", [](Signal& s) { std::fill(s.begin(), s.end(), 0); }, false,
         "no counter frame in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Signal signal = MakeCounterSignal(kFrames);
        c.change(signal);
        CounterCheckOptions options{kFrames, kRamp, 0, c.lenient, 44100};
        const auto result = CheckCounterSignal(Played(signal), options);
        if (!c.fault) {
            EXPECT_TRUE(result.ok) << result.message;
            continue;
        }
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find(c.fault), std::string::npos) << result.message;
    }
    auto noisy = Played(MakeCounterSignal(kFrames));
    noisy[20] = 5;
    EXPECT_NE(CheckCounterSignal(noisy, {kFrames, kRamp, 0, false, 44100})
                  .message.find("recording frame 10 (0.000 s): sound before the first frame"),
              std::string::npos);
    // A sound server that drops the last frames at the close.
    Signal early = MakeCounterSignal(kFrames - 3000);
    EXPECT_TRUE(CheckCounterSignal(Played(early), {kFrames, kRamp, 3000, false, 44100}).ok);
}
