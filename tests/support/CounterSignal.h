// A stereo test signal in which every frame carries its own index, and the
// checks that read it back from whatever a device or a sound server received:
// any frame lost, played twice or out of place shows, with where and what.
//
// Frame n holds the value n + 1 (28 bits): left = 0x4000 | low 14 bits,
// right = -(0x4000 | high 14 bits). Both channels are then at least half of
// full scale, so a frame scaled down by a ramp or a volume below one never
// passes for a whole frame by chance, silence (0, 0) is never a frame, and
// swapped channels do not decode. Only full volume carries it unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessel::test {

constexpr uint32_t kCounterMaxFrames = (1u << 28) - 1;

// `index` below kCounterMaxFrames (MakeCounterSignal checks).
void EncodeCounterFrame(uint32_t index, int16_t& left, int16_t& right);
// The file frame index a recorded frame stands for, if it is a whole one.
std::optional<uint32_t> DecodeCounterFrame(int16_t left, int16_t right);

// Interleaved stereo frames first, first + 1, ..., first + frames - 1: a
// file split at frame k is MakeCounterSignal(k) and MakeCounterSignal(n - k, k).
std::vector<int16_t> MakeCounterSignal(size_t frames, uint32_t first = 0);

// A stretch of the counter found whole in a recording: frames first ... last.
struct CounterRun {
    long first = 0;
    long last = 0;
    long Length() const { return last - first + 1; }
};

// The runs of consecutive counter frames at least `minLength` long, in
// recording order. With `acrossSilence`, silent frames are
// passed over: a run goes on after them only where its indices go on, so an
// underrun shows as silence but a frame lost or repeated still splits it.
std::vector<CounterRun> CounterRuns(std::span<const int16_t> recording, long minLength = 64,
                                    bool acrossSilence = false);
std::string Describe(const std::vector<CounterRun>& runs);

} // namespace tessel::test
