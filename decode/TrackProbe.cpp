#include "decode/TrackProbe.h"

#include "decode/FfmpegHandles.h"
#include "decode/FfmpegSetup.h"
#include "decode/LocalInput.h"
#include "decode/StreamLength.h"
#include "decode/TitleTag.h"
#include "decode/TrackTags.h"
#include "decode/Utf8Path.h"

#include <chrono>
#include <filesystem>

namespace tessel {

namespace {

using Clock = std::chrono::steady_clock;

// A damaged or endless file must not hold the worker: the headers of a good
// file are read in a few milliseconds, and counting packets runs at hundreds
// of times real time.
constexpr std::chrono::milliseconds kHeaderTimeLimit{1000};
constexpr std::chrono::milliseconds kCountTimeLimit{20000};
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;

// Sample frames of the stream by its packets' durations; -1 when they tell
// nothing.
int64_t CountFrames(AVFormatContext& format, int streamIndex, int sampleRate) {
    const AVStream& stream = *format.streams[streamIndex];
    ffmpeg::PacketPtr packet(av_packet_alloc());
    if (!packet)
        return -1;
    int64_t total = 0;
    int64_t first = AV_NOPTS_VALUE;
    int64_t end = AV_NOPTS_VALUE;
    bool everyDurationKnown = true;
    while (av_read_frame(&format, packet.get()) >= 0) {
        if (packet->stream_index == streamIndex) {
            if (packet->duration > 0)
                total += packet->duration;
            else
                everyDurationKnown = false;
            if (packet->pts != AV_NOPTS_VALUE) {
                if (first == AV_NOPTS_VALUE || packet->pts < first)
                    first = packet->pts;
                const int64_t packetEnd = packet->pts + std::max<int64_t>(packet->duration, 0);
                if (end == AV_NOPTS_VALUE || packetEnd > end)
                    end = packetEnd;
            }
        }
        av_packet_unref(packet.get());
    }
    if (!everyDurationKnown) {
        if (first == AV_NOPTS_VALUE)
            return -1;
        total = end - first;
    }
    return total > 0 ? av_rescale_q(total, stream.time_base, AVRational{1, sampleRate}) : -1;
}

} // namespace

TrackFacts ProbeTrack(const std::string& path, ProbeDepth depth) {
    PrepareFfmpegOnce();
    TrackFacts facts;
    std::error_code error;
    const std::filesystem::path file = PathFromUtf8(path);
    if (path.empty() || !std::filesystem::is_regular_file(file, error))
        return facts;

    Clock::time_point deadline = Clock::now() + kHeaderTimeLimit;
    ffmpeg::FormatContextPtr format = OpenLocalInput(path, &deadline);
    if (!format)
        return facts;
    AVFormatContext* raw = format.get();
    if (avformat_find_stream_info(raw, nullptr) < 0)
        return facts;
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return facts;
    const AVStream& stream = *raw->streams[index];
    const int rate = stream.codecpar->sample_rate;
    if (avcodec_find_decoder(stream.codecpar->codec_id) == nullptr || rate < kMinSampleRate ||
        rate > kMaxSampleRate)
        return facts;
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (static_cast<int>(i) != index)
            raw->streams[i]->discard = AVDISCARD_ALL;

    facts.readable = true;
    facts.title = ReadTitleTag(*raw, stream);
    facts.tags = ReadTrackTags(*raw, stream);
    int64_t frames = -1;
    if (depth == ProbeDepth::Headers) {
        frames = FindStreamLength(*raw, stream, rate, path).frames;
        if (frames > 0 && raw->nb_chapters >= 2)
            facts.chapters = ChapterRanges(ChapterMarksOf(*raw), rate, frames);
        facts.estimated = raw->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
        const int64_t bitRate = raw->bit_rate > 0 ? raw->bit_rate : stream.codecpar->bit_rate;
        const auto bytes = std::filesystem::file_size(file, error);
        if (frames < 0 && bitRate > 0 && !error) {
            frames = static_cast<int64_t>(static_cast<double>(bytes) * 8.0 / bitRate * rate);
            facts.estimated = true;
        }
    }
    if (frames < 0) {
        // Nothing to go by but the packets themselves.
        deadline = Clock::now() + kCountTimeLimit;
        frames = CountFrames(*raw, index, rate);
        facts.estimated = false;
    }
    facts.seconds = frames >= 0 ? static_cast<double>(frames) / rate : 0.0;
    return facts;
}

} // namespace tessel
