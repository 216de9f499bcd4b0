#include "decode/StreamDetails.h"

#include "decode/FfmpegHandles.h"
#include "decode/FfmpegSetup.h"
#include "decode/LocalInput.h"
#include "decode/ReplayGain.h"
#include "decode/TitleTag.h"
#include "decode/TrackTags.h"
#include "decode/Utf8Path.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <chrono>
#include <filesystem>

namespace tessel {

namespace {

using Clock = std::chrono::steady_clock;

// A damaged or endless file must not hold the worker: good headers read in
// milliseconds.
constexpr std::chrono::milliseconds kHeaderTimeLimit{1000};

std::string LongName(const char* longName, const char* name) {
    if (longName != nullptr && longName[0] != '\0')
        return longName;
    return name != nullptr ? name : "";
}

// The depth the file stores: FLAC and ALAC say it in bits_per_raw_sample,
// PCM in its coded size; a lossy codec says neither.
int BitsOf(const AVCodecParameters& codec) {
    if (codec.bits_per_raw_sample > 0)
        return codec.bits_per_raw_sample;
    const bool pcm =
        codec.codec_id >= AV_CODEC_ID_FIRST_AUDIO && codec.codec_id < AV_CODEC_ID_ADPCM_IMA_QT;
    return pcm ? codec.bits_per_coded_sample : 0;
}

} // namespace

StreamDetails ReadStreamDetails(const std::string& path) {
    PrepareFfmpegOnce();
    StreamDetails details;
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(PathFromUtf8(path), error))
        return details;

    const Clock::time_point deadline = Clock::now() + kHeaderTimeLimit;
    const ffmpeg::FormatContextPtr format = OpenLocalInput(path, &deadline);
    if (!format)
        return details;
    AVFormatContext* raw = format.get();
    if (avformat_find_stream_info(raw, nullptr) < 0)
        return details;
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return details;
    const AVStream& stream = *raw->streams[index];
    const AVCodecParameters& codec = *stream.codecpar;

    details.readable = true;
    details.container = LongName(raw->iformat->long_name, raw->iformat->name);
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec.codec_id);
    if (descriptor != nullptr)
        details.codec = LongName(descriptor->long_name, descriptor->name);
    details.sampleRate = codec.sample_rate;
    details.bitsPerSample = BitsOf(codec);
    details.channels = codec.ch_layout.nb_channels;
    details.bitRate = codec.bit_rate > 0 ? codec.bit_rate : raw->bit_rate;
    if (stream.duration > 0 && stream.time_base.den > 0)
        details.seconds = static_cast<double>(stream.duration) * av_q2d(stream.time_base);
    else if (raw->duration > 0)
        details.seconds = static_cast<double>(raw->duration) / AV_TIME_BASE;
    details.title = ReadTitleTag(*raw, stream);
    details.tags = ReadTrackTags(*raw, stream);
    details.replayGain = ReadReplayGain(*raw, stream);
    return details;
}

} // namespace tessel
