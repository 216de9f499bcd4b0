#include "playlist/TrackText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tessel {

namespace {

bool IsWindowsStylePath(std::string_view path) {
    const bool drive = path.size() >= 3 &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    return drive || path.starts_with("\\\\");
}

} // namespace

std::string FormatLengthText(double seconds) {
    if (!(seconds >= 0.0)) // negative, and NaN, which no comparison accepts
        return {};
    // Clamped so the integer conversion stays defined for absurd lengths.
    const double capped = std::min(seconds, 2147483647.0);
    const long long whole = static_cast<long long>(capped);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::string TrackNameFromPath(std::string_view path) {
    const std::string_view separators = IsWindowsStylePath(path) ? "/\\" : "/";
    const size_t slash = path.find_last_of(separators);
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

std::string_view TrimSpace(std::string_view text) {
    constexpr std::string_view space = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

} // namespace tessel
