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

// Status codes returned by the player's own objects.
constexpr int32_t S_OK_STATUS = 0;
constexpr int32_t E_UNEXPECTED_STATUS = static_cast<int32_t>(0x8000FFFF);
constexpr int32_t CO_E_NOTINITIALIZED_STATUS = static_cast<int32_t>(0x800401F0);
constexpr int32_t DISP_E_ARRAYISLOCKED_STATUS = static_cast<int32_t>(0x8002000D);

} // namespace tessel
