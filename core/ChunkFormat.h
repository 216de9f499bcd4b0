// The chunk: the unit in which audio moves through the player. Interleaved
// signed 16-bit little-endian stereo, 2940 frames (1/15 s at 44100 Hz).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessel {

constexpr uint32_t kChunkFrames = 2940;
constexpr uint32_t kChunkChannels = 2;
constexpr uint32_t kBytesPerSample = 2;
constexpr uint32_t kBytesPerFrame = kChunkChannels * kBytesPerSample;
constexpr uint32_t kChunkBytes = kChunkFrames * kBytesPerFrame;   // 11760
constexpr uint32_t kChunkSamples = kChunkFrames * kChunkChannels; // 5880

constexpr uint32_t FramesToBytes(uint32_t frames) {
    return frames * kBytesPerFrame;
}
constexpr uint32_t BytesToFrames(uint32_t bytes) {
    return bytes / kBytesPerFrame;
}

} // namespace tessel
