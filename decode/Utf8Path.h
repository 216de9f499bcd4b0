// Paths travel as UTF-8 text; the file system wants its own path type.
#pragma once

#include <filesystem>
#include <string>

namespace tessel {

inline std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

} // namespace tessel
