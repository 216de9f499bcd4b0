// The sound device's render, timed per second of audio, in turn in one run
// (medians of 7 rounds): nothing to shape (the samples pass untouched), a
// track gain of -6 dB alone (the float stage, limiter check and dithered
// rounding), five equalizer bands, and both. The render alone does little
// more than copy, so this shows the shaping's own cost;
// bench/equalizer_cpu.py sets it against a whole playback. Last, the
// equalizer stage by itself on the same samples, five bands, in the
// render's 512-frame blocks: the part of "5 bands on" that is the filters.
//
//   bench_equalizer [SECONDS]   (default 60 s of audio per round)
#include "core/Status.h"
#include "equalizer/EqualizerDesign.h"
#include "equalizer/FilterBank.h"
#include "output/EqualizerStage.h"
#include "output/SoundDevice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

using namespace tessel;

namespace {

// Takes nothing away: the bench calls Render itself.
class NullBackend final : public IAudioBackend {
  public:
    Status Prepare(uint32_t) override { return Status::Ok; }
    Status Open(uint32_t, uint32_t, IRenderSource&) override { return Status::Ok; }
    void Start() override {}
    void Pause() override {}
    void Close() override {}
    bool IsRealTime() const override { return false; }
    bool WantsRampsAndVolume() const override { return false; }
};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Renders `frames` frames a chunk at a time, writing a chunk before each
// (the render plays only what has been written); only the renders are
// timed.
double RenderSeconds(CSoundDevice& device, const std::vector<uint8_t>& chunk, uint32_t frames) {
    std::vector<int16_t> out(2 * kChunkFrames);
    double seconds = 0.0;
    for (uint32_t done = 0; done < frames; done += kChunkFrames) {
        device.WriteForward(chunk.data());
        const double start = ThreadCpuSeconds();
        device.Render(out.data(), kChunkFrames);
        seconds += ThreadCpuSeconds() - start;
    }
    return seconds;
}

// The stage alone over `frames` frames of `chunk`'s samples, in blocks as
// the render hands them over. Timed as a whole, the copy of each block into
// place included (a small part): a clock read per block would cost more than
// the filters.
double StageSeconds(CEqualizerStage& stage, const std::vector<uint8_t>& chunk, uint32_t frames) {
    std::vector<float> source(kChunkSamples);
    for (uint32_t i = 0; i < kChunkSamples; ++i) {
        int16_t sample = 0;
        std::memcpy(&sample, &chunk[2 * i], 2);
        source[i] = sample;
    }
    constexpr uint32_t kBlock = 512;
    std::vector<float> block(2 * kBlock);
    uint32_t at = 0; // frame within the chunk
    const double start = ThreadCpuSeconds();
    for (uint32_t done = 0; done < frames; done += kBlock) {
        const uint32_t n = std::min(kBlock, kChunkFrames - at);
        std::copy(source.begin() + 2 * at, source.begin() + 2 * (at + n), block.begin());
        at = (at + n) % kChunkFrames;
        stage.Process(block.data(), n);
    }
    return ThreadCpuSeconds() - start;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 60.0;
    constexpr uint32_t kRate = 44100;
    const auto frames = static_cast<uint32_t>(seconds * kRate);

    CSoundDevice device(std::make_unique<NullBackend>(), SpeakerPair::None);
    device.Prepare();
    device.OpenStream(kRate);
    // Music-like noise at about -12 dBFS, and half a ring of it ahead.
    std::vector<uint8_t> chunk(kChunkBytes);
    uint32_t seed = 1;
    for (uint32_t i = 0; i < kChunkSamples; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const auto sample = static_cast<int16_t>(static_cast<int32_t>(seed >> 16) / 4 - 4096);
        std::memcpy(&chunk[2 * i], &sample, 2);
    }
    for (uint32_t n = 0; n < kRingSegments / 2; ++n)
        device.WriteForward(chunk.data());
    device.BeginPlay();

    auto bank = std::make_unique<CFilterBank>();
    bank->SetNumBands(5);
    const float gains[] = {1.06f, 0.97f, 1.03f, 0.94f, 1.05f};
    for (int32_t b = 0; b < 5; ++b)
        bank->SetBandGain(b, gains[b]);
    const EqualizerBands on = EqualizerBandsFromBank(*bank);

    struct Mode {
        const char* name;
        bool equalizer;
        float trackGain;
        std::vector<double> cpu;
    };
    Mode modes[] = {{"untouched (bypass)", false, 1.0f, {}},
                    {"track gain -6 dB", false, 0.5f, {}},
                    {"5 bands on", true, 1.0f, {}},
                    {"5 bands + track gain", true, 0.5f, {}}};
    for (int round = 0; round < 7; ++round) {
        for (Mode& mode : modes) {
            device.SetEqualizer(mode.equalizer ? on : EqualizerBands{});
            device.SetTrackGainAt(device.FramesPlayed(), mode.trackGain);
            RenderSeconds(device, chunk, kRate / 10); // the fade
            mode.cpu.push_back(RenderSeconds(device, chunk, frames) / seconds);
        }
    }
    CEqualizerStage stage;
    stage.Install(DesignEqualizer(on, kRate), kRate);
    std::vector<double> stageCpu;
    for (int round = 0; round < 7; ++round)
        stageCpu.push_back(StageSeconds(stage, chunk, frames) / seconds);
    std::sort(stageCpu.begin(), stageCpu.end());

    double bypass = 0.0;
    for (Mode& mode : modes) {
        std::sort(mode.cpu.begin(), mode.cpu.end());
        const double median = mode.cpu[mode.cpu.size() / 2];
        if (&mode == &modes[0])
            bypass = median;
        std::printf("render, %-22s: %.6f CPU s per audio s (+%.3f %% of one core)\n", mode.name,
                    median, 100.0 * (median - bypass));
    }
    std::printf("equalizer stage alone, 5 bands: %.6f CPU s per audio s\n",
                stageCpu[stageCpu.size() / 2]);
    return 0;
}
