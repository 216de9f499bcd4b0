#include "playlist/EntryPath.h"

#include "playlist/TrackText.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace tessel {

namespace {

bool IsAsciiAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// RFC 3986 scheme followed by "://". Two letters at least, so that a drive
// letter can never pass for a scheme.
bool IsUrl(std::string_view text) {
    const size_t colon = text.find("://");
    if (colon == std::string_view::npos || colon < 2 || !IsAsciiAlpha(text[0]))
        return false;
    return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return IsAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    });
}

bool IsWindowsOnlyPath(std::string_view text) {
    const bool drive = text.size() >= 3 && IsAsciiAlpha(text[0]) && text[1] == ':' &&
                       (text[2] == '\\' || text[2] == '/');
    return drive || text.starts_with("\\\\");
}

// Joins an absolute folder and a relative path, folding "." and ".."
// lexically (as the playlist wrote them, not as links on disk would).
std::string JoinNormal(std::string_view folder, std::string_view relative) {
    std::string out(folder);
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    size_t pos = 0;
    while (pos <= relative.size()) {
        size_t end = relative.find('/', pos);
        if (end == std::string_view::npos)
            end = relative.size();
        const std::string_view part = relative.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (out == "/")
                continue; // nothing lies above the root
            const size_t slash = out.rfind('/');
            const std::string_view tail = slash == std::string::npos
                                              ? std::string_view(out)
                                              : std::string_view(out).substr(slash + 1);
            if (!out.empty() && tail != "..")
                out.resize(slash == std::string::npos ? 0 : (slash == 0 ? 1 : slash));
            else
                out += out.empty() ? ".." : "/..";
            continue;
        }
        if (!out.empty() && out.back() != '/')
            out.push_back('/');
        out.append(part);
    }
    return out;
}

} // namespace

std::string ResolveEntryPath(std::string_view text, const std::string& playlistFolder) {
    const std::string_view trimmed = TrimSpace(text);
    if (trimmed.empty())
        return {};
    if (IsUrl(trimmed) || IsWindowsOnlyPath(trimmed))
        return std::string(trimmed);
    std::string path(trimmed);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.front() == '/')
        return path;
    return JoinNormal(playlistFolder, path);
}

std::string PlaylistFolderOf(const std::string& playlistPath) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(playlistPath, error);
    if (error)
        full = playlistPath;
    return full.lexically_normal().parent_path().string();
}

} // namespace tessel
