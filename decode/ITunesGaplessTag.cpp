#include "decode/ITunesGaplessTag.h"

#include <charconv>

namespace tessel {

namespace {

// Delays and padding run to a few thousand samples; a count beyond 2^40
// (about 290 days at 44.1 kHz) is damage.
constexpr int64_t kMaxEdgeSamples = 1 << 20;
constexpr int64_t kMaxSampleCount = int64_t{1} << 40;

bool NextHexField(std::string_view& text, int64_t& value) {
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return false;
    text.remove_prefix(start);
    size_t end = text.find_first_of(" \t");
    if (end == std::string_view::npos)
        end = text.size();
    if (end > 16)
        return false;
    uint64_t parsed = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + end, parsed, 16);
    if (error != std::errc() || stop != text.data() + end || parsed > uint64_t{INT64_MAX})
        return false;
    value = static_cast<int64_t>(parsed);
    text.remove_prefix(end);
    return true;
}

} // namespace

std::optional<ITunesGapless> ParseITunesGapless(std::string_view text) {
    int64_t first = 0;
    ITunesGapless tag;
    if (!NextHexField(text, first) || !NextHexField(text, tag.delay) ||
        !NextHexField(text, tag.padding) || !NextHexField(text, tag.sampleCount))
        return std::nullopt;
    if (tag.delay > kMaxEdgeSamples || tag.padding > kMaxEdgeSamples || tag.sampleCount <= 0 ||
        tag.sampleCount > kMaxSampleCount)
        return std::nullopt;
    return tag;
}

} // namespace tessel
