// Turns the path text of a playlist entry into the path the player opens.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessel {

// Empty for blank text. See PlaylistFiles.h for the rules.
std::string ResolveEntryPath(std::string_view text, const std::string& playlistFolder);

// The local path a "file:" URL names ("file:///a%20b.mp3",
// "file://localhost/a.mp3", "file:/a.mp3"), percent escapes decoded to the
// bytes they stand for, which are the file system's whatever their encoding.
// Nothing for a URL of another host, or one whose path would hold a NUL.
std::optional<std::string> FileUrlToLocalPath(std::string_view url);

// "file://" and the path with every byte but unreserved ones and "/"
// percent-encoded: a form that survives any line-based playlist whatever
// the path holds (line breaks, edge spaces, bytes that are not UTF-8).
std::string LocalPathToFileUrl(std::string_view path);

// The text a playlist line holds for an entry's path, which ResolveEntryPath
// reads back to the same bytes: a local name as it is, or as a file URL when a
// line cannot hold it as it is (bytes that are not UTF-8, control characters,
// edge spaces); any other path as it is. Nothing for an empty path, or
// another one with a line break or a NUL, which no line can carry.
std::optional<std::string> EntryPathLine(std::string_view path);

// The absolute folder holding a playlist file.
std::string PlaylistFolderOf(const std::string& playlistPath);

} // namespace tessel
