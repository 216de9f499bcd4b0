// The loudness scan for files without ReplayGain tags: EBU R128 integrated
// loudness and true peak (libebur128) of each track and of the album they
// make together, and the ReplayGain 2.0 values they give (-18 LUFS
// reference). The audio is decoded at each file's own rate and channels,
// in float, one decoded frame at a time: memory does not grow with a
// track's length.
//
// Threads: any, one call at a time per result; it blocks for as long as the
// decoding takes (run it on a worker).
#pragma once

#include "decode/ReplayGain.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace tessel {

constexpr double kReplayGainReferenceLufs = -18.0;

struct Loudness {
    double integratedLufs = 0.0; // -inf for silence (below the absolute gate)
    double truePeak = 0.0;       // linear, 1.0 = 0 dBTP
};

struct AlbumLoudness {
    // One per path, in order; empty where the file could not be read.
    std::vector<std::optional<Loudness>> tracks;
    // Over every readable track together (gated as one programme); empty
    // when none was readable.
    std::optional<Loudness> album;
};

// Raised by another thread to end a scan early: the scan then answers as
// if nothing could be read, so no partial figure is ever kept.
using ScanCancel = std::atomic<bool>;

// One file: empty when it cannot be opened or holds no decodable audio.
std::optional<Loudness> ScanTrackLoudness(const std::string& path);
// The files of one album.
AlbumLoudness ScanAlbumLoudness(const std::vector<std::string>& paths,
                                const ScanCancel* cancel = nullptr);

// The ReplayGain values the file's tags carry, read from its headers alone
// (no decoding); empty when it cannot be opened.
std::optional<ReplayGainValues> ReadFileReplayGain(const std::string& path);

// The ReplayGain values a scan gives: gain = -18 LUFS - loudness, peak =
// true peak. Silence gets no gain (there is nothing to bring up).
ReplayGainValues ReplayGainFromLoudness(const std::optional<Loudness>& track,
                                        const std::optional<Loudness>& album);

} // namespace tessel
