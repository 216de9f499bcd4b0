#include "decode/StreamLength.h"

#include "decode/Mp3EncoderTag.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

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

// iTunes stores " 00000000 <delay> <padding> <original sample count> ..." in
// hexadecimal; the count is the exact length.
int64_t ITunesSampleCount(const AVFormatContext& format, const AVStream& stream) {
    const AVDictionaryEntry* entry = av_dict_get(format.metadata, "iTunSMPB", nullptr, 0);
    if (entry == nullptr)
        entry = av_dict_get(stream.metadata, "iTunSMPB", nullptr, 0);
    if (entry == nullptr || entry->value == nullptr)
        return -1;
    unsigned zero = 0, delay = 0, padding = 0;
    unsigned long long samples = 0;
    if (std::sscanf(entry->value, " %x %x %x %llx", &zero, &delay, &padding, &samples) != 4)
        return -1;
    return samples > 0 && samples < static_cast<unsigned long long>(kMaxPlausibleFrames)
               ? static_cast<int64_t>(samples)
               : -1;
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
        }
    } else if (IsFormat(format, "ogg") && stream.codecpar->codec_id == AV_CODEC_ID_OPUS) {
        if (frames >= 0)
            frames = std::max<int64_t>(0, frames - stream.codecpar->initial_padding);
    } else if (IsFormat(format, "mp4")) {
        // The edit list (or the sample table) bounds the audio; the AAC
        // decoder would go on into the encoder's padding.
        const int64_t itunes = ITunesSampleCount(format, stream);
        if (itunes > 0)
            frames = itunes;
        length.cutAtLength = frames >= 0;
    }
    length.frames = frames;
    return length;
}

} // namespace tessel
