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

// Each byte taken as the Latin-1 character of the same code.
std::string Latin1ToUtf8(std::string_view latin1);

// Each byte taken as a Windows-1252 character: as Latin-1, except that 0x80 to
// 0x9F are the typographic characters that code page puts there (the five
// codes it leaves free stay C1 controls, as Windows itself maps them).
std::string Windows1252ToUtf8(std::string_view text);

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Strips spaces, tabs and other ASCII white space from both ends.
std::string_view TrimSpace(std::string_view text);

} // namespace tessel
