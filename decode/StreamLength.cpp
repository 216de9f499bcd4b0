#include "decode/StreamLength.h"

#include "decode/ITunesGaplessTag.h"
#include "decode/Mp3EncoderTag.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace tessel {

namespace {

// The MP3 decoder's own delay, which FFmpeg adds to the encoder delay it skips.
constexpr int64_t kMp3DecoderDelay = 529;
// Lengths beyond this (about 6.6 million years at 44.1 kHz) are header noise.
constexpr int64_t kMaxPlausibleFrames = int64_t{1} << 52;

bool IsFormat(const AVFormatContext& format, const char* name) {
    return format.iformat != nullptr && format.iformat->name != nullptr &&
           std::strstr(format.iformat->name, name) != nullptr;
}

int64_t ToFrames(int64_t value, AVRational timeBase, int sampleRate) {
    if (value == AV_NOPTS_VALUE || value < 0 || timeBase.num <= 0 || timeBase.den <= 0)
        return -1;
    const int64_t frames = av_rescale_q(value, timeBase, AVRational{1, sampleRate});
    return frames >= 0 && frames < kMaxPlausibleFrames ? frames : -1;
}

// iTunes' gapless tag, from an ID3v2 comment or user text frame, or an MP4
// freeform atom: FFmpeg names all of them by their description.
std::optional<ITunesGapless> FindITunesGapless(const AVFormatContext& format,
                                               const AVStream& stream) {
    const AVDictionaryEntry* entry = av_dict_get(format.metadata, "iTunSMPB", nullptr, 0);
    if (entry == nullptr)
        entry = av_dict_get(stream.metadata, "iTunSMPB", nullptr, 0);
    if (entry == nullptr || entry->value == nullptr)
        return std::nullopt;
    return ParseITunesGapless(entry->value);
}

} // namespace

StreamLength FindStreamLength(const AVFormatContext& format, const AVStream& stream, int sampleRate,
                              const std::string& path) {
    StreamLength length;
    int64_t frames = ToFrames(stream.duration, stream.time_base, sampleRate);
    if (frames < 0)
        frames = ToFrames(format.duration, AV_TIME_BASE_Q, sampleRate);

    if (IsFormat(format, "mp3")) {
        // FFmpeg reports the start of the audio after the delay it skips as
        // the stream's start time, and the duration untrimmed.
        const int64_t skipped = ToFrames(stream.start_time, stream.time_base, sampleRate);
        if (frames >= 0 && skipped > kMp3DecoderDelay) {
            const int64_t encoderDelay = skipped - kMp3DecoderDelay;
            const auto tag = ReadMp3EncoderPadding(path);
            const int64_t padding = tag && tag->delay == encoderDelay ? tag->padding : 0;
            frames = std::max<int64_t>(0, frames - encoderDelay - padding);
        } else if (skipped <= 0 && !ReadMp3EncoderPadding(path)) {
            // No LAME header: FFmpeg drops nothing, and iTunes' tag, where
            // there is one, counts from the decoder's first sample.
            if (const auto itunes = FindITunesGapless(format, stream)) {
                length.leadingFrames = itunes->delay;
                frames = itunes->sampleCount;
                length.cutAtLength = true;
            }
        }
    } else if (IsFormat(format, "ogg") && stream.codecpar->codec_id == AV_CODEC_ID_OPUS) {
        if (frames >= 0)
            frames = std::max<int64_t>(0, frames - stream.codecpar->initial_padding);
    } else if (IsFormat(format, "mp4")) {
        // The edit list (or the sample table) bounds the audio; the AAC
        // decoder would go on into the encoder's padding.
        // FFmpeg drops the delay the edit list or the tag gives by itself.
        if (const auto itunes = FindITunesGapless(format, stream))
            frames = itunes->sampleCount;
        length.cutAtLength = frames >= 0;
    }
    length.frames = frames;
    return length;
}

} // namespace tessel
