#pragma once

#include <cstdint>
#include <string>

namespace tessel {

// Cuts a 16-bit PCM WAV file written by the player down to `dataBytes` of
// sample data and fixes its header; false when the file is not such a WAV.
bool TrimWav(const std::string& path, uint64_t dataBytes);

} // namespace tessel
