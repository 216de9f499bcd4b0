// A stereo test signal in which every frame carries its own index, and the
// check that reads it back from whatever a device or a sound server received:
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

// The frame that stands for file frame `index` (< kCounterMaxFrames).
void EncodeCounterFrame(uint32_t index, int16_t& left, int16_t& right);
// The file frame index a recorded frame stands for, if it is a whole one.
std::optional<uint32_t> DecodeCounterFrame(int16_t left, int16_t right);

// Interleaved stereo frames first, first + 1, ..., first + frames - 1: a
// file split at frame k is MakeCounterSignal(k) and MakeCounterSignal(n - k, k).
std::vector<int16_t> MakeCounterSignal(size_t frames, uint32_t first = 0);

struct CounterCheckOptions {
    // The recording should hold file frames 0 ... expectedFrames - 1.
    size_t expectedFrames = 0;
    // Frames at each end that may come scaled down (start and stop ramps).
    // The start ramp lasts rate / 20 frames.
    size_t fadeFrames = 4800;
    // Frames at the end that may be missing (a server that drops the last
    // few hundred when the client closes).
    size_t tailMayBeMissing = 0;
    // Silence between runs of frames is accepted as an underrun, and so are
    // ramps next to it; nothing may be lost, repeated or reordered around it
    // still, except the few frames such a ramp scales to silence.
    bool allowUnderruns = false;
    // Only for the messages: positions are also given in seconds.
    int rate = 0;
};

struct CounterCheckResult {
    bool ok = false;
    // Empty when ok; otherwise a few lines: a summary and the first faults,
    // each with the recording position, the file frame expected and what came.
    std::string message;
    size_t faults = 0;
    // Recording frame where file frame `firstFrame` was heard (faded or not).
    size_t startsAt = 0;
    uint32_t firstFrame = 0;
    // One past the last file frame heard in sequence.
    uint32_t endFrame = 0;
    size_t fadedFrames = 0;
    size_t underruns = 0;
    size_t underrunFrames = 0;
};

// Checks an interleaved stereo recording against the counter signal.
CounterCheckResult CheckCounterSignal(std::span<const int16_t> recording,
                                      const CounterCheckOptions& options);

// Reads headerless S16LE samples (SDL's disk driver, parec).
std::vector<int16_t> ReadRawS16(const std::string& path);

} // namespace tessel::test
