// Text helpers shared by the track list and the playlist files.
#pragma once

#include <string>
#include <string_view>

namespace tessel {

// "m:ss" for a length in seconds; minutes never roll over into hours.
// Empty for a negative or non-finite length (-1.0 means "not known yet").
std::string FormatLengthText(double seconds);

// The file name without folder and extension. A Windows drive-letter or
// network path (kept as a playlist gave it) is split at backslashes too.
std::string TrackNameFromPath(std::string_view path);

// Strips spaces, tabs and other ASCII white space from both ends.
std::string_view TrimSpace(std::string_view text);

} // namespace tessel
