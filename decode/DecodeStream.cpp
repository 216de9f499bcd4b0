#include "decode/DecodeStream.h"

#include "decode/StreamLength.h"
#include "decode/TitleTag.h"
#include "decode/TrackTags.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tessel {

namespace {

constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;
// Refusing a damaged file must not keep the caller waiting; reading a good
// one never comes near these limits.
constexpr std::chrono::milliseconds kOpenTimeLimit{1000};
constexpr std::chrono::milliseconds kReadTimeLimit{10000};
// A file that fails to decode this many times in a row has nothing left.
constexpr int kMaxConsecutiveErrors = 1000;
// Decoders need some audio before the target to settle after a seek: MP3 and
// AAC are wrong for their first frames, Opus for well over 10,000 samples.
constexpr double kSeekPrerollSeconds = 0.2;
constexpr double kOpusSeekPrerollSeconds = 0.4;
// Sample indices beyond this come from nonsense timestamps.
constexpr int64_t kIndexLimit = int64_t{1} << 60;

int64_t ClampIndex(int64_t index) {
    return std::clamp(index, -kIndexLimit, kIndexLimit);
}

// a - b, or nothing when it would overflow.
bool SafeSubtract(int64_t a, int64_t b, int64_t& result) {
    if ((b < 0 && a > std::numeric_limits<int64_t>::max() + b) ||
        (b > 0 && a < std::numeric_limits<int64_t>::min() + b))
        return false;
    result = a - b;
    return true;
}

} // namespace

int32_t CDecodeStream::Open(const std::string& path, int deliveredRate,
                            std::unique_ptr<CDecodeStream>& stream) {
    std::unique_ptr<CDecodeStream> opened(new CDecodeStream());
    const int32_t status = opened->OpenFile(path, deliveredRate);
    if (status == 0)
        stream = std::move(opened);
    return status;
}

CDecodeStream::~CDecodeStream() = default;

int CDecodeStream::InterruptCallback(void* opaque) {
    const auto* self = static_cast<const CDecodeStream*>(opaque);
    return std::chrono::steady_clock::now() > self->m_deadline ? 1 : 0;
}

void CDecodeStream::ArmDeadline(std::chrono::milliseconds budget) {
    m_deadline = std::chrono::steady_clock::now() + budget;
}

int32_t CDecodeStream::OpenFile(const std::string& path, int deliveredRate) {
    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr)
        return AVERROR(ENOMEM);
    format->interrupt_callback.callback = &CDecodeStream::InterruptCallback;
    format->interrupt_callback.opaque = this;
    ArmDeadline(kOpenTimeLimit);

    // Local files only: a playlist-like format must not reach the network.
    AVDictionary* rawOptions = nullptr;
    av_dict_set(&rawOptions, "protocol_whitelist", "file", 0);
    ffmpeg::DictionaryPtr options(rawOptions);
    int ret = avformat_open_input(&format, path.c_str(), nullptr, &rawOptions);
    options.release();
    options.reset(rawOptions);
    if (ret < 0)
        return ret; // FFmpeg has freed the context
    m_format.reset(format);

    ret = avformat_find_stream_info(format, nullptr);
    if (ret < 0)
        return ret;
    const AVCodec* decoder = nullptr;
    ret = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (ret < 0)
        return ret;
    if (decoder == nullptr)
        return AVERROR_DECODER_NOT_FOUND;
    m_streamIndex = ret;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != m_streamIndex)
            format->streams[i]->discard = AVDISCARD_ALL;
    const AVStream& stream = *format->streams[m_streamIndex];
    m_timeBase = stream.time_base;
    if (m_timeBase.num <= 0 || m_timeBase.den <= 0)
        return AVERROR_INVALIDDATA;

    m_codec.reset(avcodec_alloc_context3(decoder));
    m_packet.reset(av_packet_alloc());
    m_frame.reset(av_frame_alloc());
    if (!m_codec || !m_packet || !m_frame)
        return AVERROR(ENOMEM);
    ret = avcodec_parameters_to_context(m_codec.get(), stream.codecpar);
    if (ret < 0)
        return ret;
    // With the packet time base known the decoder moves timestamps past the
    // samples it skips, so timestamps stay true after a seek.
    m_codec->pkt_timebase = stream.time_base;
    m_codec->thread_count = 1;
    ret = avcodec_open2(m_codec.get(), decoder, nullptr);
    if (ret < 0)
        return ret;

    // The first frame tells the real rate and layout and where the timeline
    // starts (some containers start it later than zero).
    m_fileRate = m_codec->sample_rate;
    int channels = m_codec->ch_layout.nb_channels;
    m_origin = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
    if (ReceiveFrame()) {
        m_frameHeld = true;
        m_fileRate = m_frame->sample_rate > 0 ? m_frame->sample_rate : m_fileRate;
        channels = m_frame->ch_layout.nb_channels;
        if (m_frame->best_effort_timestamp != AV_NOPTS_VALUE)
            m_origin = m_frame->best_effort_timestamp;
    } else if (m_sawAudioPacket) {
        // Audio packets of which none decodes: damaged. (A stream with no
        // packets at all is merely empty.)
        return AVERROR_INVALIDDATA;
    }
    if (m_origin < -kIndexLimit || m_origin > kIndexLimit)
        m_origin = 0; // nonsense; keeps the seek arithmetic in range
    if (m_fileRate < kMinSampleRate || m_fileRate > kMaxSampleRate || channels < 1)
        return AVERROR_INVALIDDATA;
    if (deliveredRate != 0 && (deliveredRate < kMinSampleRate || deliveredRate > kMaxSampleRate))
        return AVERROR(EINVAL);
    m_fileChannels = channels == 1 ? 1 : 2;
    m_deliveredRate = deliveredRate != 0 ? deliveredRate : m_fileRate;

    const StreamLength length = FindStreamLength(*format, stream, m_fileRate, path);
    m_lengthFrames = length.frames;
    m_cutAtLength = length.cutAtLength;
    // Sample 0 is the first one after a delay FFmpeg leaves in: the held
    // first frame starts before it.
    m_firstFrame = length.leadingFrames;
    m_nextIndex = -m_firstFrame;
    m_title = ReadTitleTag(*format, stream);
    m_tags = ReadTrackTags(*format, stream);
    m_replayGain = ReadReplayGain(*format, stream);
    return 0;
}

bool CDecodeStream::ReceiveFrame() {
    int consecutiveErrors = 0;
    for (;;) {
        int ret = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (ret == 0) {
            if (m_frame->nb_samples > 0 && m_frame->ch_layout.nb_channels > 0)
                return true;
            av_frame_unref(m_frame.get());
            continue;
        }
        if (ret == AVERROR_EOF) {
            m_decoderDrained = true;
            return false;
        }
        if (ret != AVERROR(EAGAIN) || m_inputEnded) {
            if (m_inputEnded || ++consecutiveErrors > kMaxConsecutiveErrors) {
                m_decoderDrained = true;
                return false;
            }
            continue;
        }
        ret = av_read_frame(m_format.get(), m_packet.get());
        if (ret < 0) {
            // The end of the file, a read error or the time limit: take what
            // the decoder still holds, then stop.
            m_inputEnded = true;
            avcodec_send_packet(m_codec.get(), nullptr);
            continue;
        }
        if (m_packet->stream_index == m_streamIndex && m_packet->size > 0) {
            m_sawAudioPacket = true;
            ret = avcodec_send_packet(m_codec.get(), m_packet.get());
            if (ret < 0 && ret != AVERROR(EAGAIN) && ++consecutiveErrors > kMaxConsecutiveErrors) {
                av_packet_unref(m_packet.get());
                m_decoderDrained = true;
                return false;
            }
        }
        av_packet_unref(m_packet.get());
    }
}

void CDecodeStream::TakeFrame() {
    m_frameHeld = false;
    AVFrame& frame = *m_frame;
    const int samples = frame.nb_samples;
    const int frameRate = frame.sample_rate > 0 ? frame.sample_rate : m_fileRate;
    if (m_indexFromTimestamp) {
        m_indexFromTimestamp = false;
        int64_t offset = 0;
        if (frame.best_effort_timestamp != AV_NOPTS_VALUE &&
            SafeSubtract(frame.best_effort_timestamp, m_origin, offset)) {
            m_nextIndex = ClampIndex(av_rescale_q(offset, m_timeBase, AVRational{1, m_fileRate}) -
                                     m_firstFrame);
            m_landedAt = m_nextIndex;
        } else {
            m_landedAt = kUnknownLanding;
        }
    }
    const int64_t start = m_nextIndex;
    m_nextIndex = ClampIndex(m_nextIndex + samples);
    int64_t from = std::max(start, m_discardBefore);
    int64_t to = start + samples;
    const bool cut = m_cutAtLength && m_lengthFrames >= 0;
    if (cut)
        to = std::min(to, m_lengthFrames);
    if (to > from) {
        const int first = static_cast<int>(from - start);
        const int count = static_cast<int>(to - from);
        m_converted.resize(2 * static_cast<size_t>(count));
        if (m_converter.Convert(frame, first, count, m_converted.data()))
            AppendConverted(m_converted.data(), count, frameRate);
    }
    if (cut && m_nextIndex >= m_lengthFrames) {
        m_ended = true;
        m_endedAtCut = true;
        FlushResampler();
        if (to < start + samples) {
            // The rest of the frame opens the part that may follow: kept,
            // with what was delivered of it marked to be dropped.
            m_frameHeld = true;
            m_nextIndex = start;
            m_discardBefore = std::max(m_discardBefore, m_lengthFrames);
            return;
        }
    }
    av_frame_unref(&frame);
}

void CDecodeStream::AppendConverted(const int16_t* stereo, int frames, int frameRate) {
    if (m_resampler && m_resamplerInputRate != frameRate)
        FlushResampler();
    if (frameRate == m_deliveredRate) {
        m_pending.insert(m_pending.end(), stereo, stereo + 2 * static_cast<size_t>(frames));
        return;
    }
    if (!m_resampler && !PrepareResampler(frameRate))
        return;
    const int room = swr_get_out_samples(m_resampler.get(), frames);
    if (room <= 0)
        return;
    const size_t before = m_pending.size();
    m_pending.resize(before + 2 * static_cast<size_t>(room));
    auto* out = reinterpret_cast<uint8_t*>(m_pending.data() + before);
    const auto* in = reinterpret_cast<const uint8_t*>(stereo);
    const int made = swr_convert(m_resampler.get(), &out, room, &in, frames);
    m_pending.resize(before + 2 * static_cast<size_t>(std::max(made, 0)));
}

bool CDecodeStream::PrepareResampler(int frameRate) {
    SwrContext* raw = nullptr;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_S16, m_deliveredRate, &stereo,
                            AV_SAMPLE_FMT_S16, frameRate, 0, nullptr) < 0)
        return false;
    ffmpeg::ResamplerPtr resampler(raw);
    if (swr_init(resampler.get()) < 0)
        return false;
    m_resampler = std::move(resampler);
    m_resamplerInputRate = frameRate;
    return true;
}

void CDecodeStream::FlushResampler() {
    if (!m_resampler)
        return;
    const int room = swr_get_out_samples(m_resampler.get(), 0);
    if (room > 0) {
        const size_t before = m_pending.size();
        m_pending.resize(before + 2 * static_cast<size_t>(room));
        auto* out = reinterpret_cast<uint8_t*>(m_pending.data() + before);
        const int made = swr_convert(m_resampler.get(), &out, room, nullptr, 0);
        m_pending.resize(before + 2 * static_cast<size_t>(std::max(made, 0)));
    }
    m_resampler.reset();
}

bool CDecodeStream::Refill() {
    while (m_pendingRead >= m_pending.size()) {
        m_pending.clear();
        m_pendingRead = 0;
        if (m_ended)
            return false;
        if (!m_frameHeld && !ReceiveFrame()) {
            m_ended = true;
            FlushResampler();
            continue;
        }
        TakeFrame();
    }
    return true;
}

size_t CDecodeStream::Read(uint8_t* out, size_t frames) {
    ArmDeadline(kReadTimeLimit);
    size_t done = 0;
    while (done < frames && Refill()) {
        const size_t available = (m_pending.size() - m_pendingRead) / 2;
        const size_t take = std::min(frames - done, available);
        std::memcpy(out + done * 4, m_pending.data() + m_pendingRead, take * 4);
        m_pendingRead += 2 * take;
        done += take;
    }
    return done;
}

bool CDecodeStream::AtEnd() {
    ArmDeadline(kReadTimeLimit);
    return !Refill();
}

int32_t CDecodeStream::SelectRange(int64_t startFrame, int64_t endFrame) {
    ArmDeadline(kReadTimeLimit);
    if (startFrame < 0 || (endFrame >= 0 && endFrame <= startFrame) ||
        (m_lengthFrames >= 0 && startFrame >= m_lengthFrames) || startFrame > kIndexLimit)
        return AVERROR(EINVAL);
    int64_t end = std::min(endFrame, kIndexLimit);
    if (m_lengthFrames >= 0)
        end = end < 0 ? m_lengthFrames : std::min(end, m_lengthFrames);
    m_fileLengthFrames = m_lengthFrames;
    m_fileCutAtLength = m_cutAtLength;
    m_rangeStart = startFrame;
    m_rangeEndGiven = endFrame >= 0;
    if (endFrame >= 0)
        m_cutAtLength = true;
    m_lengthFrames = end >= 0 ? end - startFrame : -1;
    if (startFrame == 0)
        return 0;
    m_firstFrame += startFrame;
    return SeekToTarget(0) == 0 ? 0 : AVERROR_INVALIDDATA;
}

bool CDecodeStream::ContinueRange(int64_t startFrame, int64_t endFrame) {
    if (!m_endedAtCut || !m_rangeEndGiven || m_lengthFrames < 0 ||
        m_pendingRead < m_pending.size() || startFrame != m_rangeStart + m_lengthFrames ||
        (m_fileLengthFrames >= 0 && startFrame >= m_fileLengthFrames) ||
        (endFrame >= 0 && endFrame <= startFrame))
        return false;
    int64_t end = std::min(endFrame, kIndexLimit);
    if (m_fileLengthFrames >= 0)
        end = end < 0 ? m_fileLengthFrames : std::min(end, m_fileLengthFrames);
    // Every index counts from the new part's start.
    const int64_t shift = m_lengthFrames;
    m_firstFrame += shift;
    m_nextIndex -= shift;
    m_discardBefore -= shift;
    m_rangeStart = startFrame;
    m_rangeEndGiven = endFrame >= 0;
    m_cutAtLength = m_rangeEndGiven || m_fileCutAtLength;
    m_lengthFrames = end >= 0 ? end - startFrame : -1;
    m_ended = false;
    m_endedAtCut = false;
    return true;
}

double CDecodeStream::DurationSeconds() const {
    return m_lengthFrames >= 0 ? static_cast<double>(m_lengthFrames) / m_fileRate : 0.0;
}

void CDecodeStream::ResetDecoding() {
    avcodec_flush_buffers(m_codec.get());
    av_frame_unref(m_frame.get());
    m_resampler.reset();
    m_pending.clear();
    m_pendingRead = 0;
    m_frameHeld = false;
    m_inputEnded = false;
    m_decoderDrained = false;
    m_ended = false;
    m_endedAtCut = false;
}

int64_t CDecodeStream::SeekToFraction(double fraction) {
    ArmDeadline(kReadTimeLimit);
    if (m_lengthFrames < 0)
        return -1;
    if (!(fraction >= 0.0)) // NaN too
        fraction = 0.0;
    fraction = std::min(fraction, 1.0);
    return SeekToTarget(std::clamp<int64_t>(
        static_cast<int64_t>(std::floor(static_cast<double>(m_lengthFrames) * fraction)), 0,
        m_lengthFrames));
}

int64_t CDecodeStream::SeekToDeliveredFrame(int64_t frame) {
    ArmDeadline(kReadTimeLimit);
    if (m_lengthFrames < 0)
        return -1;
    return SeekToTarget(std::clamp<int64_t>(
        av_rescale(std::max<int64_t>(0, frame), m_fileRate, m_deliveredRate), 0, m_lengthFrames));
}

int64_t CDecodeStream::SeekToTarget(int64_t target) {
    const double prerollSeconds =
        m_codec->codec_id == AV_CODEC_ID_OPUS ? kOpusSeekPrerollSeconds : kSeekPrerollSeconds;
    const auto preroll = static_cast<int64_t>(prerollSeconds * m_fileRate);
    // Most demuxers land at or before the point asked for; where one lands
    // after it, ask again further back, and at last decode from the start.
    const int64_t prerolls[] = {preroll, 10 * preroll, 50 * preroll, target};
    for (int64_t tryPreroll : prerolls) {
        if (SeekToFrame(target, tryPreroll))
            return av_rescale(target, m_deliveredRate, m_fileRate);
    }
    m_ended = true;
    return -1;
}

bool CDecodeStream::SeekToFrame(int64_t target, int64_t preroll) {
    // The preroll may reach before the first sample: AAC's first frame needs
    // the priming frame before it, which the decoder then drops.
    const int64_t seekFrame = target - preroll;
    const int64_t fileFrame = seekFrame + m_firstFrame; // counted from the decoder's first sample
    const int64_t offset = av_rescale_q(fileFrame, AVRational{1, m_fileRate}, m_timeBase);
    if (offset < -kIndexLimit || offset > kIndexLimit)
        return false;
    const int64_t timestamp = m_origin + offset;
    if (av_seek_frame(m_format.get(), m_streamIndex, timestamp, AVSEEK_FLAG_BACKWARD) < 0 &&
        (fileFrame > 0 ||
         avformat_seek_file(m_format.get(), m_streamIndex, std::numeric_limits<int64_t>::min(),
                            m_origin, m_origin, 0) < 0))
        return false;
    ResetDecoding();
    m_discardBefore = target;
    m_indexFromTimestamp = true;
    m_landedAt = kNotLanded;
    // Without timestamps only a seek to the very start knows where it is.
    m_nextIndex = std::max<int64_t>(0, fileFrame) - m_firstFrame;
    Refill();
    if (m_landedAt == kUnknownLanding)
        return fileFrame <= 0;
    return m_landedAt <= target;
}

} // namespace tessel
