// What the Track Info dialog tells of a file besides its tags: its format,
// codec and sound, read from the headers in one opening, with the tags and
// ReplayGain values of that same opening.
//
// Threads: any; calls share no state. It opens the file: a worker's job.
#pragma once

#include "core/ReplayGainValues.h"
#include "core/TrackTags.h"

#include <cstdint>
#include <string>

namespace tessel {

struct StreamDetails {
    bool readable = false; // an audio stream was found; nothing else is set otherwise
    std::string container; // FFmpeg's long name: "FLAC (Free Lossless Audio Codec)"
    std::string codec;     // the audio codec's long name
    int sampleRate = 0;    // Hz
    int bitsPerSample = 0; // the source's depth; 0 where a lossy codec has none
    int channels = 0;
    int64_t bitRate = 0;   // bits per second, the stream's or else the file's; 0 unknown
    double seconds = -1.0; // from the headers; -1.0 unknown
    std::string title;
    TrackTags tags;
    ReplayGainValues replayGain;
};

// The details of the file at `path` (UTF-8); not readable for a missing or
// damaged file. Gives up on a file whose headers take more than a second.
StreamDetails ReadStreamDetails(const std::string& path);

} // namespace tessel
