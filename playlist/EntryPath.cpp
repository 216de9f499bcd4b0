#include "playlist/EntryPath.h"

#include "core/TextEncoding.h"
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

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A '%' not followed by two hex digits stands for itself: hand-written URLs
// often carry a bare percent sign in a file name.
std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

bool IsUnreserved(unsigned char c) {
    return IsAsciiAlpha(static_cast<char>(c)) || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// A local path a playlist line holds as it is: absolute, valid UTF-8, no
// control characters or edge spaces (the reader trims lines, ends them at
// control characters and would take other bytes as another encoding).
bool IsPlainLinePath(std::string_view path) {
    if (path.empty() || path.front() != '/' || TrimSpace(path).size() != path.size())
        return false;
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return IsValidUtf8(path);
}

} // namespace

std::optional<std::string> FileUrlToLocalPath(std::string_view url) {
    constexpr std::string_view kScheme = "file:";
    if (url.size() < kScheme.size())
        return std::nullopt;
    for (size_t i = 0; i < kScheme.size(); ++i)
        if ((url[i] | 0x20) != kScheme[i])
            return std::nullopt;
    std::string_view rest = url.substr(kScheme.size());
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        std::string lowerHost(host);
        for (char& c : lowerHost)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (slash == std::string_view::npos || (!host.empty() && lowerHost != "localhost"))
            return std::nullopt;
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/'))
        return std::nullopt;
    // "file:///C:/Music/a.mp3" names a Windows drive: keep it as a drive path.
    // Judged before decoding, so that a local name beginning "x:" (which our
    // own writer sends as "x%3A") stays local.
    const bool drive =
        rest.size() >= 4 && IsAsciiAlpha(rest[1]) && rest[2] == ':' && rest[3] == '/';
    std::string path = PercentDecode(rest);
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    if (drive)
        path.erase(0, 1);
    return path;
}

std::string LocalPathToFileUrl(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    url.reserve(url.size() + path.size() * 3);
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if (IsUnreserved(b) || c == '/') {
            url.push_back(c);
        } else {
            url.push_back('%');
            url.push_back(kHex[b >> 4]);
            url.push_back(kHex[b & 0x0F]);
        }
    }
    return url;
}

std::string ResolveEntryPath(std::string_view text, const std::string& playlistFolder) {
    const std::string_view trimmed = TrimSpace(text);
    if (trimmed.empty())
        return {};
    if (auto local = FileUrlToLocalPath(trimmed))
        return std::move(*local);
    if (IsUrl(trimmed) || IsWindowsOnlyPath(trimmed))
        return std::string(trimmed);
    // A backslash is an ordinary file-name character in an absolute path of
    // this machine (our own writer puts such names back as they are); only a
    // relative or root-relative path came from a system that separates with it.
    if (trimmed.front() == '/')
        return std::string(trimmed);
    std::string path(trimmed);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.front() == '/')
        return path;
    return JoinNormal(playlistFolder, path);
}

std::optional<std::string> EntryPathLine(std::string_view path) {
    if (path.empty())
        return std::nullopt;
    if (path.front() == '/')
        return IsPlainLinePath(path) ? std::string(path) : LocalPathToFileUrl(path);
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return std::nullopt;
    return std::string(path);
}

std::string PlaylistFolderOf(const std::string& playlistPath) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(playlistPath, error);
    if (error)
        full = playlistPath;
    return full.lexically_normal().parent_path().string();
}

} // namespace tessel
