// Replacing a file's contents so that a reader (or a crash) sees either the
// old file whole or the new one whole, never a part.
#pragma once

#include <string>
#include <string_view>

namespace tessel {

enum class AtomicWriteStatus { Ok, CannotCreate, WriteFailed };

// Writes data to a temporary file beside path, flushes it to disk and renames
// it over path. A symbolic link at path is followed, so the link survives and
// its target gets the new contents; an existing file's permissions are kept.
// On failure the temporary file is removed, path is untouched and error
// holds the system's reason.
AtomicWriteStatus WriteFileAtomically(const std::string& path, std::string_view data,
                                      std::string& error);

} // namespace tessel
