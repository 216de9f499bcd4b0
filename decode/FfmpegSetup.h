// Process-wide FFmpeg settings, applied once before the first file is opened.
// Threads: any; the first caller applies them, the others wait for it.
#pragma once

#include <cstddef>

namespace tessel {

// No single FFmpeg allocation may exceed this. A header field of a few bytes
// can claim gigabytes (a tag chunk, a metadata block); FFmpeg then zeroes that
// much memory before it finds the file is short. Audio decoding and the tags
// we read never need a block near this size.
inline constexpr std::size_t kLargestFfmpegAllocation = 256u * 1024 * 1024;

// Quiets FFmpeg's log (the player says nothing on the terminal about bad
// files) and bounds its allocations.
void PrepareFfmpegOnce();

} // namespace tessel
