// A file's bytes in one string, for tests that write damaged or hand-made
// files and read back what the code saved.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tessel::test {

inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace tessel::test
