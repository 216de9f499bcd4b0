#include "decode/StereoConverter.h"

#include <cmath>

namespace tessel {

namespace {

// Adding 1.5 * 2^23 (2^52 for double) to a value below 2^22 in magnitude
// leaves it rounded to the nearest integer (ties to even) in the low mantissa
// bits; unlike lrintf this compiles to plain vector arithmetic.
constexpr float kFloatRounder = 12582912.0f;
constexpr double kDoubleRounder = 6755399441055744.0;

inline int16_t RoundFloat(float value) {
    float scaled = value == value ? value * 32768.0f : 0.0f; // NaN is silence
    scaled = scaled > -32768.0f ? scaled : -32768.0f;
    scaled = scaled < 32767.0f ? scaled : 32767.0f;
    return static_cast<int16_t>(static_cast<int32_t>(scaled + kFloatRounder) -
                                static_cast<int32_t>(kFloatRounder));
}

inline int16_t RoundDouble(double value) {
    double scaled = value == value ? value * 32768.0 : 0.0;
    scaled = scaled > -32768.0 ? scaled : -32768.0;
    scaled = scaled < 32767.0 ? scaled : 32767.0;
    return static_cast<int16_t>(static_cast<int64_t>(scaled + kDoubleRounder) -
                                static_cast<int64_t>(kDoubleRounder));
}

inline int16_t RoundInt32(int32_t value) {
    const int64_t rounded = (static_cast<int64_t>(value) + 0x8000) >> 16;
    return static_cast<int16_t>(rounded > 32767 ? 32767 : rounded);
}

inline int16_t RoundInt64(int64_t value) {
    // Half of the dropped range added without overflow at the top end.
    const int64_t shifted = value >> 48;
    const bool roundUp = ((value >> 47) & 1) != 0;
    const int64_t rounded = shifted + (roundUp ? 1 : 0);
    return static_cast<int16_t>(rounded > 32767 ? 32767 : rounded);
}

struct FromU8 {
    using Sample = uint8_t;
    static int16_t Pcm(uint8_t v) { return static_cast<int16_t>((v - 128) * 256); }
    static float Real(uint8_t v) { return static_cast<float>(v - 128) / 128.0f; }
};
struct FromS16 {
    using Sample = int16_t;
    static int16_t Pcm(int16_t v) { return v; }
    static float Real(int16_t v) { return static_cast<float>(v) / 32768.0f; }
};
struct FromS32 {
    using Sample = int32_t;
    static int16_t Pcm(int32_t v) { return RoundInt32(v); }
    static float Real(int32_t v) {
        return static_cast<float>(static_cast<double>(v) / 2147483648.0);
    }
};
struct FromS64 {
    using Sample = int64_t;
    static int16_t Pcm(int64_t v) { return RoundInt64(v); }
    static float Real(int64_t v) {
        return static_cast<float>(static_cast<double>(v) / 9223372036854775808.0);
    }
};
struct FromFloat {
    using Sample = float;
    static int16_t Pcm(float v) { return RoundFloat(v); }
    static float Real(float v) { return v; }
};
struct FromDouble {
    using Sample = double;
    static int16_t Pcm(double v) { return RoundDouble(v); }
    static float Real(double v) { return static_cast<float>(v); }
};

template <typename From>
void ConvertFrames(const AVFrame& frame, bool planar, int first, int count,
                   const std::vector<float>& downmix, int16_t* __restrict out) {
    using Sample = typename From::Sample;
    const int channels = frame.ch_layout.nb_channels;
    const size_t n = static_cast<size_t>(count);
    if (channels == 1) {
        const Sample* __restrict in =
            reinterpret_cast<const Sample*>(frame.extended_data[0]) + first;
        for (size_t i = 0; i < n; ++i) {
            const int16_t v = From::Pcm(in[i]);
            out[2 * i] = v;
            out[2 * i + 1] = v;
        }
    } else if (channels == 2 && planar) {
        const Sample* __restrict left =
            reinterpret_cast<const Sample*>(frame.extended_data[0]) + first;
        const Sample* __restrict right =
            reinterpret_cast<const Sample*>(frame.extended_data[1]) + first;
        for (size_t i = 0; i < n; ++i) {
            out[2 * i] = From::Pcm(left[i]);
            out[2 * i + 1] = From::Pcm(right[i]);
        }
    } else if (channels == 2) {
        const Sample* __restrict in =
            reinterpret_cast<const Sample*>(frame.extended_data[0]) + 2 * first;
        for (size_t i = 0; i < 2 * n; ++i)
            out[i] = From::Pcm(in[i]);
    } else {
        const size_t c = static_cast<size_t>(channels);
        for (size_t i = 0; i < n; ++i) {
            const size_t at = static_cast<size_t>(first) + i;
            float left = 0.0f, right = 0.0f;
            for (size_t ch = 0; ch < c; ++ch) {
                const Sample s =
                    planar ? reinterpret_cast<const Sample*>(frame.extended_data[ch])[at]
                           : reinterpret_cast<const Sample*>(frame.extended_data[0])[at * c + ch];
                const float v = From::Real(s);
                left += downmix[ch] * v;
                right += downmix[c + ch] * v;
            }
            out[2 * i] = RoundFloat(left);
            out[2 * i + 1] = RoundFloat(right);
        }
    }
}

} // namespace

int16_t FloatToPcm16(float value) {
    return RoundFloat(value);
}
int16_t DoubleToPcm16(double value) {
    return RoundDouble(value);
}
int16_t Int32ToPcm16(int32_t value) {
    return RoundInt32(value);
}

CStereoConverter::CStereoConverter() : m_downmixLayout{} {}

CStereoConverter::~CStereoConverter() {
    av_channel_layout_uninit(&m_downmixLayout);
}

bool CStereoConverter::PrepareDownmix(const AVChannelLayout& layout) {
    if (!m_downmix.empty() && av_channel_layout_compare(&layout, &m_downmixLayout) == 0)
        return true;
    const int channels = layout.nb_channels;
    AVChannelLayout input{};
    if (layout.order == AV_CHANNEL_ORDER_NATIVE)
        av_channel_layout_copy(&input, &layout);
    else
        av_channel_layout_default(&input, channels);
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    // FFmpeg's normalising pass walks a full 64 x 64 matrix whatever the
    // stride, so the buffer has to be that large.
    constexpr int kMaxChannels = 64;
    std::vector<double> matrix(kMaxChannels * kMaxChannels, 0.0);
    const int built =
        input.order == AV_CHANNEL_ORDER_NATIVE && channels <= kMaxChannels
            ? swr_build_matrix2(&input, &stereo, M_SQRT1_2, M_SQRT1_2, 0.0, 1.0, 1.0, matrix.data(),
                                kMaxChannels, AV_MATRIX_ENCODING_NONE, nullptr)
            : AVERROR(EINVAL);
    av_channel_layout_uninit(&input);
    const size_t c = static_cast<size_t>(channels);
    m_downmix.assign(2 * c, 0.0f);
    if (built >= 0) {
        for (size_t ch = 0; ch < c; ++ch) {
            m_downmix[ch] = static_cast<float>(matrix[ch]);
            m_downmix[c + ch] = static_cast<float>(matrix[kMaxChannels + ch]);
        }
    } else {
        // Channels in no known order: even ones to the left, odd ones to the
        // right, averaged.
        const float leftWeight = 1.0f / static_cast<float>((c + 1) / 2);
        const float rightWeight = 1.0f / static_cast<float>(c / 2);
        for (size_t ch = 0; ch < c; ++ch) {
            if (ch % 2 == 0)
                m_downmix[ch] = leftWeight;
            else
                m_downmix[c + ch] = rightWeight;
        }
    }
    av_channel_layout_uninit(&m_downmixLayout);
    av_channel_layout_copy(&m_downmixLayout, &layout);
    return true;
}

bool CStereoConverter::Convert(const AVFrame& frame, int first, int count, int16_t* out) {
    const int channels = frame.ch_layout.nb_channels;
    if (channels < 1 || first < 0 || count < 0 || first + count > frame.nb_samples)
        return false;
    if (channels > 2 && !PrepareDownmix(frame.ch_layout))
        return false;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        ConvertFrames<FromU8>(frame, planar, first, count, m_downmix, out);
        return true;
    case AV_SAMPLE_FMT_S16:
        ConvertFrames<FromS16>(frame, planar, first, count, m_downmix, out);
        return true;
    case AV_SAMPLE_FMT_S32:
        ConvertFrames<FromS32>(frame, planar, first, count, m_downmix, out);
        return true;
    case AV_SAMPLE_FMT_S64:
        ConvertFrames<FromS64>(frame, planar, first, count, m_downmix, out);
        return true;
    case AV_SAMPLE_FMT_FLT:
        ConvertFrames<FromFloat>(frame, planar, first, count, m_downmix, out);
        return true;
    case AV_SAMPLE_FMT_DBL:
        ConvertFrames<FromDouble>(frame, planar, first, count, m_downmix, out);
        return true;
    default:
        return false;
    }
}

} // namespace tessel
