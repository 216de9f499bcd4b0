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

void EncodeCounterFrame(uint32_t index, int16_t& left, int16_t& right);
// The file frame index a recorded frame stands for, if it is a whole one.
std::optional<uint32_t> DecodeCounterFrame(int16_t left, int16_t right);

// Interleaved stereo frames first, first + 1, ..., first + frames - 1: a
// file split at frame k is MakeCounterSignal(k) and MakeCounterSignal(n - k, k).
std::vector<int16_t> MakeCounterSignal(size_t frames, uint32_t first = 0);

struct CounterCheckOptions {
    // The recording should hold file frames 0 ... expectedFrames - 1.
    size_t expectedFrames = 0;
    // Frames at each end that may come scaled down (the ramps).
    size_t fadeFrames = 4800;
    // Frames at the end that may be missing (a server that drops the last
    // few hundred when the client closes).
    size_t tailMayBeMissing = 0;
    // Silence between frames is accepted as an underrun, and so are ramps
    // next to it; nothing may be lost, repeated or reordered around it,
    // except up to a quarter of a ramp that the ramps scale to silence.
    bool allowUnderruns = false;
    // Only for the messages: positions are also given in seconds.
    int rate = 0;
};

struct CounterCheckResult {
    bool ok = false;
    // Empty when ok; otherwise a summary and the first faults, each with the
    // recording position and what came there.
    std::string message;
    size_t underruns = 0;
};

// Checks an interleaved stereo recording against the counter signal.
CounterCheckResult CheckCounterSignal(std::span<const int16_t> recording,
                                      const CounterCheckOptions& options);

// A stretch of the counter found whole in a recording: frames first ... last.
struct CounterRun {
    long first = 0;
    long last = 0;
    long Length() const { return last - first + 1; }
};

// The runs of consecutive counter frames at least `minLength` long, in
// recording order, from `stride` channels per frame of which `left` and the
// one after it carry the counter.
std::vector<CounterRun> CounterRuns(std::span<const int16_t> recording, int stride = 2,
                                    int left = 0, long minLength = 64);
std::string Describe(const std::vector<CounterRun>& runs);

} // namespace tessel::test
