// The title field of an ID3v1 block: the last 128 bytes of a file, starting
// with "TAG".
#pragma once

#include <optional>
#include <string>

namespace tessel {

// The title as UTF-8 with the padding (trailing NULs and spaces) removed;
// nothing when the file cannot be read, is 128 bytes or shorter, has no
// ID3v1 block, or the block's title is empty. Only regular files are read,
// so a FIFO or device named in a playlist never blocks.
std::optional<std::string> ReadId3v1Title(const std::string& path);

} // namespace tessel
