// Turns the path text of a playlist entry into the path the player opens.
#pragma once

#include <string>
#include <string_view>

namespace tessel {

// Empty for blank text. See PlaylistFiles.h for the rules.
std::string ResolveEntryPath(std::string_view text, const std::string& playlistFolder);

// The absolute folder holding a playlist file.
std::string PlaylistFolderOf(const std::string& playlistPath);

} // namespace tessel
