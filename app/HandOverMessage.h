// The message in which a second start hands its files to the running player
// over the local socket: "TSLFILES", a 32-bit version (1) and path count,
// then each path as a 32-bit byte count and its bytes (the file system's own
// bytes, so any name survives), all big-endian. The running player answers
// kHandOverAccepted once it has taken the files.
#pragma once

#include <QByteArray>

#include <cstddef>
#include <string>
#include <vector>

namespace tessel {

inline constexpr char kHandOverAccepted = 'K';
// Bounds that keep a stray or hostile client from exhausting memory: far
// above what a command line can hold.
inline constexpr std::size_t kMaxHandOverBytes = 16u * 1024 * 1024;
inline constexpr std::size_t kMaxHandOverPaths = 100'000;
inline constexpr std::size_t kMaxHandOverPathBytes = 64 * 1024;

QByteArray EncodeHandOver(const std::vector<std::string>& paths);

enum class HandOverParse {
    Incomplete, // more bytes to come
    Complete,
    Invalid, // not this message, or beyond the bounds: drop the connection
};

// Parses what has arrived so far; fills `paths` when Complete. Bytes after a
// complete message make it Invalid.
HandOverParse ParseHandOver(const QByteArray& bytes, std::vector<std::string>& paths);

} // namespace tessel
