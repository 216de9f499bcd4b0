#include "decode/ReplayGain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace tessel {

namespace {

constexpr double kMaxGainDb = 60.0;
constexpr double kMaxPeak = 100.0;
// R128 gains are towards -23 LUFS, ReplayGain's towards -18 LUFS.
constexpr double kR128ToReplayGainDb = 5.0;

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsDecimal(std::string_view text) {
    // Digits with at most one point and at least one digit: no exponent, no
    // "inf" or "nan", which from_chars would take.
    int points = 0;
    int digits = 0;
    for (char c : text) {
        if (c == '.')
            ++points;
        else if (c >= '0' && c <= '9')
            ++digits;
        else
            return false;
    }
    return points <= 1 && digits > 0;
}

// An optional sign and a decimal number, nothing else.
std::optional<double> ParseSignedDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!IsDecimal(text))
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

bool EndsWithDecibels(std::string_view text) {
    if (text.size() < 2)
        return false;
    const char d = text[text.size() - 2];
    const char b = text[text.size() - 1];
    return (d == 'd' || d == 'D') && (b == 'b' || b == 'B');
}

const char* Find(const AVDictionary* tags, const char* key) {
    // av_dict_get matches keys without regard to case.
    const AVDictionaryEntry* entry = av_dict_get(tags, key, nullptr, 0);
    return entry != nullptr ? entry->value : nullptr;
}

// The file's own value first, then the stream's; a malformed one is passed
// over for the other.
template <typename Parse>
std::optional<double> Read(const AVFormatContext& format, const AVStream& stream, const char* key,
                           Parse parse) {
    for (const AVDictionary* tags : {format.metadata, stream.metadata}) {
        if (const char* value = Find(tags, key)) {
            if (auto parsed = parse(value))
                return parsed;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<double> ParseReplayGainDb(std::string_view text) {
    text = Trim(text);
    if (EndsWithDecibels(text))
        text = Trim(text.substr(0, text.size() - 2));
    const auto value = ParseSignedDecimal(text);
    if (!value || std::fabs(*value) > kMaxGainDb)
        return std::nullopt;
    return value;
}

std::optional<double> ParseReplayGainPeak(std::string_view text) {
    const auto value = ParseSignedDecimal(Trim(text));
    if (!value || !(*value > 0.0) || *value > kMaxPeak)
        return std::nullopt;
    return value;
}

std::optional<double> ParseR128GainDb(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int32_t q78 = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), q78);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    q78 = negative ? -q78 : q78;
    if (q78 < INT16_MIN || q78 > INT16_MAX)
        return std::nullopt;
    return q78 / 256.0 + kR128ToReplayGainDb;
}

ReplayGainValues ReadReplayGain(const AVFormatContext& format, const AVStream& stream) {
    ReplayGainValues values;
    values.trackGainDb = Read(format, stream, "REPLAYGAIN_TRACK_GAIN", ParseReplayGainDb);
    values.trackPeak = Read(format, stream, "REPLAYGAIN_TRACK_PEAK", ParseReplayGainPeak);
    values.albumGainDb = Read(format, stream, "REPLAYGAIN_ALBUM_GAIN", ParseReplayGainDb);
    values.albumPeak = Read(format, stream, "REPLAYGAIN_ALBUM_PEAK", ParseReplayGainPeak);
    if (stream.codecpar != nullptr && stream.codecpar->codec_id == AV_CODEC_ID_OPUS) {
        if (auto track = Read(format, stream, "R128_TRACK_GAIN", ParseR128GainDb))
            values.trackGainDb = track;
        if (auto album = Read(format, stream, "R128_ALBUM_GAIN", ParseR128GainDb))
            values.albumGainDb = album;
    }
    return values;
}

double ReplayGainFactor(const ReplayGainSettings& settings, const ReplayGainValues& values,
                        bool shuffled) {
    ReplayGainMode mode = settings.mode;
    if (mode == ReplayGainMode::Off)
        return 1.0;
    if (mode == ReplayGainMode::Auto)
        mode = shuffled ? ReplayGainMode::Track : ReplayGainMode::Album;

    std::optional<double> gainDb = values.trackGainDb;
    std::optional<double> peak = values.trackPeak;
    if (mode == ReplayGainMode::Album && values.albumGainDb) {
        gainDb = values.albumGainDb;
        // The track's peak would let an album gain clip the album's loudest
        // track.
        peak = values.albumPeak;
    }
    const double preamp =
        std::clamp(settings.preampDb, -kReplayGainMaxPreampDb, kReplayGainMaxPreampDb);
    double db = gainDb ? *gainDb + preamp : settings.untaggedGainDb;
    if (!std::isfinite(db))
        db = 0.0;
    double factor = std::pow(10.0, std::clamp(db, -kMaxGainDb - 15.0, kMaxGainDb + 15.0) / 20.0);
    if (settings.clippingPrevention)
        factor = std::min(factor, peak ? 1.0 / *peak : 1.0);
    return factor;
}

} // namespace tessel
