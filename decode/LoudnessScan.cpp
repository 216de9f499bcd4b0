#include "decode/LoudnessScan.h"

#include "decode/FfmpegHandles.h"
#include "decode/FfmpegSetup.h"
#include "decode/LocalInput.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace tessel {

namespace {

// A decoded frame larger than this is taken as damage, not audio.
constexpr int kMostSamplesPerFrame = 1 << 20;
constexpr int kMostChannels = 64;

struct StateDestroyer {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using StatePtr = std::unique_ptr<ebur128_state, StateDestroyer>;

int ChannelWeight(AVChannel channel) {
    switch (channel) {
    case AV_CHAN_FRONT_LEFT:
        return EBUR128_LEFT;
    case AV_CHAN_FRONT_RIGHT:
        return EBUR128_RIGHT;
    case AV_CHAN_FRONT_CENTER:
        return EBUR128_CENTER;
    case AV_CHAN_LOW_FREQUENCY:
    case AV_CHAN_LOW_FREQUENCY_2:
        return EBUR128_UNUSED; // not counted in BS.1770
    case AV_CHAN_BACK_LEFT:
    case AV_CHAN_SIDE_LEFT:
        return EBUR128_LEFT_SURROUND;
    case AV_CHAN_BACK_RIGHT:
    case AV_CHAN_SIDE_RIGHT:
        return EBUR128_RIGHT_SURROUND;
    default:
        return EBUR128_CENTER; // any other speaker counts at unit weight
    }
}

class CTrackScanner {
  public:
    // The measurement state, filled; null when the file could not be read.
    StatePtr Scan(const std::string& path, const ScanCancel* cancel = nullptr);
    unsigned Channels() const { return static_cast<unsigned>(m_codec->ch_layout.nb_channels); }

  private:
    bool Open(const std::string& path);
    bool AddFrame(ebur128_state* state, const AVFrame& frame);

    ffmpeg::FormatContextPtr m_format;
    ffmpeg::CodecContextPtr m_codec;
    ffmpeg::ResamplerPtr m_resampler;
    int m_stream = -1;
    std::vector<float> m_samples;
};

bool CTrackScanner::Open(const std::string& path) {
    PrepareFfmpegOnce();
    m_format = OpenLocalInput(path, nullptr);
    if (!m_format)
        return false;
    if (avformat_find_stream_info(m_format.get(), nullptr) < 0)
        return false;
    const AVCodec* decoder = nullptr;
    m_stream = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m_stream < 0 || decoder == nullptr)
        return false;
    m_codec.reset(avcodec_alloc_context3(decoder));
    if (!m_codec ||
        avcodec_parameters_to_context(m_codec.get(), m_format->streams[m_stream]->codecpar) < 0 ||
        avcodec_open2(m_codec.get(), decoder, nullptr) < 0)
        return false;
    return m_codec->sample_rate > 0 && m_codec->ch_layout.nb_channels > 0 &&
           m_codec->ch_layout.nb_channels <= kMostChannels;
}

bool CTrackScanner::AddFrame(ebur128_state* state, const AVFrame& frame) {
    const int channels = m_codec->ch_layout.nb_channels;
    // A frame unlike the stream's (a damaged or changing stream) is passed
    // over rather than measured at the wrong rate or weights.
    if (frame.ch_layout.nb_channels != channels || frame.sample_rate != m_codec->sample_rate ||
        frame.nb_samples <= 0 || frame.nb_samples > kMostSamplesPerFrame)
        return true;
    if (!m_resampler) {
        SwrContext* swr = nullptr;
        AVChannelLayout layout{};
        if (av_channel_layout_copy(&layout, &frame.ch_layout) < 0)
            return false;
        const int made = swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_FLT, frame.sample_rate,
                                             &layout, static_cast<AVSampleFormat>(frame.format),
                                             frame.sample_rate, 0, nullptr);
        av_channel_layout_uninit(&layout);
        if (made < 0)
            return false;
        m_resampler.reset(swr);
        if (swr_init(swr) < 0)
            return false;
    }
    m_samples.resize(static_cast<size_t>(frame.nb_samples) * channels);
    auto* out = reinterpret_cast<uint8_t*>(m_samples.data());
    const int converted =
        swr_convert(m_resampler.get(), &out, frame.nb_samples,
                    const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted < 0)
        return false;
    return ebur128_add_frames_float(state, m_samples.data(), static_cast<size_t>(converted)) ==
           EBUR128_SUCCESS;
}

StatePtr CTrackScanner::Scan(const std::string& path, const ScanCancel* cancel) {
    if (!Open(path))
        return nullptr;
    const int channels = m_codec->ch_layout.nb_channels;
    // The histogram keeps the state's size fixed however long the track.
    StatePtr state(ebur128_init(static_cast<unsigned>(channels),
                                static_cast<unsigned long>(m_codec->sample_rate),
                                EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM));
    if (!state)
        return nullptr;
    if (m_codec->ch_layout.order == AV_CHANNEL_ORDER_NATIVE) {
        for (int c = 0; c < channels; ++c) {
            const AVChannel channel = av_channel_layout_channel_from_index(&m_codec->ch_layout, c);
            ebur128_set_channel(state.get(), static_cast<unsigned>(c), ChannelWeight(channel));
        }
    }
    ffmpeg::PacketPtr packet(av_packet_alloc());
    ffmpeg::FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return nullptr;
    int64_t measured = 0;
    const auto drain = [&]() {
        while (avcodec_receive_frame(m_codec.get(), frame.get()) >= 0) {
            if (!AddFrame(state.get(), *frame))
                return false;
            measured += frame->nb_samples;
            av_frame_unref(frame.get());
        }
        return true;
    };
    while (av_read_frame(m_format.get(), packet.get()) >= 0) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return nullptr;
        const bool ours = packet->stream_index == m_stream;
        // A packet that fails to decode is passed over, as in playback.
        if (ours && avcodec_send_packet(m_codec.get(), packet.get()) >= 0 && !drain())
            return nullptr;
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(m_codec.get(), nullptr);
    if (!drain() || measured == 0)
        return nullptr;
    return state;
}

Loudness Measure(ebur128_state** states, const unsigned* channels, size_t count) {
    Loudness result;
    if (ebur128_loudness_global_multiple(states, count, &result.integratedLufs) != EBUR128_SUCCESS)
        result.integratedLufs = -HUGE_VAL;
    for (size_t s = 0; s < count; ++s) {
        for (unsigned int c = 0; c < channels[s]; ++c) {
            double peak = 0.0;
            if (ebur128_true_peak(states[s], c, &peak) == EBUR128_SUCCESS)
                result.truePeak = std::max(result.truePeak, peak);
        }
    }
    return result;
}

} // namespace

std::optional<Loudness> ScanTrackLoudness(const std::string& path) {
    CTrackScanner scanner;
    StatePtr state = scanner.Scan(path);
    if (!state)
        return std::nullopt;
    ebur128_state* raw = state.get();
    const unsigned channels = scanner.Channels();
    return Measure(&raw, &channels, 1);
}

AlbumLoudness ScanAlbumLoudness(const std::vector<std::string>& paths, const ScanCancel* cancel) {
    AlbumLoudness result;
    std::vector<StatePtr> states;
    std::vector<ebur128_state*> raw;
    std::vector<unsigned> channels;
    for (const std::string& path : paths) {
        CTrackScanner scanner;
        StatePtr state = scanner.Scan(path, cancel);
        if (cancel && cancel->load(std::memory_order_relaxed))
            return AlbumLoudness{std::vector<std::optional<Loudness>>(paths.size()), {}};
        if (!state) {
            result.tracks.emplace_back();
            continue;
        }
        ebur128_state* one = state.get();
        const unsigned count = scanner.Channels();
        result.tracks.push_back(Measure(&one, &count, 1));
        raw.push_back(one);
        channels.push_back(count);
        states.push_back(std::move(state));
    }
    if (!raw.empty())
        result.album = Measure(raw.data(), channels.data(), raw.size());
    return result;
}

std::optional<ReplayGainValues> ReadFileReplayGain(const std::string& path) {
    PrepareFfmpegOnce();
    const ffmpeg::FormatContextPtr format = OpenLocalInput(path, nullptr);
    if (!format || avformat_find_stream_info(format.get(), nullptr) < 0)
        return std::nullopt;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0)
        return std::nullopt;
    return ReadReplayGain(*format, *format->streams[stream]);
}

ReplayGainValues ReplayGainFromLoudness(const std::optional<Loudness>& track,
                                        const std::optional<Loudness>& album) {
    ReplayGainValues values;
    const auto fill = [](const std::optional<Loudness>& l, std::optional<double>& gain,
                         std::optional<double>& peak) {
        if (!l)
            return;
        if (std::isfinite(l->integratedLufs))
            gain = kReplayGainReferenceLufs - l->integratedLufs;
        if (l->truePeak > 0.0 && std::isfinite(l->truePeak))
            peak = l->truePeak;
    };
    fill(track, values.trackGainDb, values.trackPeak);
    fill(album, values.albumGainDb, values.albumPeak);
    return values;
}

} // namespace tessel
