// Opening a local file's container, as every reader here does it: only the
// file protocol is allowed, so a file whose content looks like a playlist
// format cannot make FFmpeg reach the network; and with a deadline, every
// blocking read gives up once the steady clock passes it (a hung share, a
// damaged file the demuxer searches through).
//
// Threads: any.
#pragma once

#include "decode/FfmpegHandles.h"

#include <chrono>
#include <string>

namespace tessel {

// Null when the file does not open. `deadline`, when given, must outlive the
// context; the caller may move it on for a longer read later.
ffmpeg::FormatContextPtr OpenLocalInput(const std::string& path,
                                        const std::chrono::steady_clock::time_point* deadline);

} // namespace tessel
