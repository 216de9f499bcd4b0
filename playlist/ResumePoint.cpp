#include "playlist/ResumePoint.h"

#include "playlist/PlaylistFiles.h"
#include "playlist/TrackList.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace tessel {

namespace {

constexpr std::string_view kHeader = "tessel-resume 1\n";

// Takes "<name> <value>\n" off the front of text; nothing when it is not there.
std::optional<std::string_view> TakeField(std::string_view& text, std::string_view name) {
    if (text.substr(0, name.size()) != name || text.substr(name.size(), 1) != " ")
        return std::nullopt;
    const size_t end = text.find('\n');
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::string_view value = text.substr(name.size() + 1, end - name.size() - 1);
    text.remove_prefix(end + 1);
    return value;
}

template <typename Number> std::optional<Number> ParseNumber(std::optional<std::string_view> text) {
    Number number{};
    if (!text || text->empty())
        return std::nullopt;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, number);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return number;
}

} // namespace

std::string FormatResumePoint(const ResumePoint& point) {
    const double seconds =
        std::isfinite(point.seconds) && point.seconds > 0.0 ? point.seconds : 0.0;
    char number[64];
    const auto written = std::to_chars(number, number + sizeof number, seconds);
    std::string text(kHeader);
    text += "index " + std::to_string(point.index < 0 ? -1 : point.index) + "\n";
    text += "seconds " + std::string(number, written.ptr) + "\n";
    text += "path " + std::to_string(point.path.size()) + "\n";
    text += point.path;
    text += '\n';
    return text;
}

std::optional<ResumePoint> ParseResumePoint(std::string_view text) {
    if (text.substr(0, kHeader.size()) != kHeader)
        return std::nullopt;
    text.remove_prefix(kHeader.size());
    const auto index = ParseNumber<int>(TakeField(text, "index"));
    const auto seconds = ParseNumber<double>(TakeField(text, "seconds"));
    const auto pathBytes = ParseNumber<size_t>(TakeField(text, "path"));
    if (!index || *index < -1 || !seconds || !std::isfinite(*seconds) || *seconds < 0.0 ||
        !pathBytes || *pathBytes == 0 || *pathBytes >= text.size() ||
        text.size() != *pathBytes + 1 || text.back() != '\n')
        return std::nullopt;
    return ResumePoint{std::string(text.substr(0, *pathBytes)), *seconds, *index};
}

AtomicWriteStatus WriteResumePoint(const std::string& filePath, const ResumePoint& point,
                                   std::string& error) {
    return WriteFileAtomically(filePath, FormatResumePoint(point), error);
}

std::optional<ResumePoint> ReadResumePoint(const std::string& filePath) {
    // Checked first so a huge file is refused before it is read.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(filePath, error);
    if (error || size > kMaxResumeFileBytes)
        return std::nullopt;
    std::string bytes;
    if (ReadPlaylistBytes(filePath, bytes) != PlaylistReadStatus::Ok ||
        bytes.size() > kMaxResumeFileBytes)
        return std::nullopt;
    return ParseResumePoint(bytes);
}

int FindResumeRow(const CTrackList& tracks, const ResumePoint& point) {
    if (tracks.GetRecord(point.index) != nullptr && tracks.GetTrackPath(point.index) == point.path)
        return point.index;
    for (int i = 0; i < tracks.GetCount(); ++i)
        if (tracks.GetTrackPath(i) == point.path)
            return i;
    return -1;
}

} // namespace tessel
