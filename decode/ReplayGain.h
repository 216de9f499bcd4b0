// ReplayGain: the loudness values a file's tags carry, read from an open
// FFmpeg file, and the one linear factor they give under the listener's
// settings. FFmpeg gathers the tags of every kind into its dictionaries:
// ID3v2 TXXX frames, APEv2 items and MP4 freeform atoms into the file's,
// Ogg's Vorbis and Opus comments into the audio stream's (FLAC's into the
// file's). Keys match in any letter case.
#pragma once

#include "core/ReplayGainValues.h"
#include "decode/FfmpegHandles.h"

#include <optional>
#include <string_view>

namespace tessel {

// "-6.20 dB", "+1.5", " 3 DB ": a decimal number, an optional sign, an
// optional "dB" in any case, blanks around. Gains beyond +-60 dB are taken
// as malformed.
std::optional<double> ParseReplayGainDb(std::string_view text);
// "0.98765": a decimal number above 0 and at most 100 (a float file may
// peak above full scale).
std::optional<double> ParseReplayGainPeak(std::string_view text);
// An R128 gain: a whole number of 1/256 dB (Q7.8) towards -23 LUFS, given
// back in dB towards ReplayGain's -18 LUFS.
std::optional<double> ParseR128GainDb(std::string_view text);

// The values of an open file, its own tags before its audio stream's. In an
// Opus stream the R128 gains win over REPLAYGAIN_* gains (peaks still come
// from the latter, R128 has none).
ReplayGainValues ReadReplayGain(const AVFormatContext& format, const AVStream& stream);

enum class ReplayGainMode {
    Off,
    Track,
    Album,
    // Album gain while the list plays in order, track gain while shuffled.
    Auto,
};

struct ReplayGainSettings {
    ReplayGainMode mode = ReplayGainMode::Off;
    double preampDb = 0.0;       // for tagged files, -15 ... +15
    double untaggedGainDb = 0.0; // for files without a gain
    bool clippingPrevention = true;
    // Files without gain tags are measured in the background, and the
    // figures then count as their tags.
    bool measureUntagged = false;
};

constexpr double kReplayGainMaxPreampDb = 15.0;

// The linear factor for a track: 1.0 when off. Album mode falls back to the
// track gain where the album's is missing. With clipping prevention the
// factor stays at or below 1 / peak of the gain used, or at or below 1
// without a peak.
double ReplayGainFactor(const ReplayGainSettings& settings, const ReplayGainValues& values,
                        bool shuffled);

} // namespace tessel
