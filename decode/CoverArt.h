// A track's cover picture: the one embedded in the file (ID3 APIC, FLAC
// PICTURE, Vorbis and Opus METADATA_BLOCK_PICTURE, MP4 covr, ASF WM/Picture,
// all of which FFmpeg shows as an attached picture), else a picture beside
// it in its folder.
//
// Threads: any; calls share no state. Reading opens and decodes files, so it
// belongs on a worker, never on the main thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessel {

struct CoverPicture {
    std::vector<uint8_t> bytes; // the picture file as stored (JPEG or PNG)
    std::string mimeType;       // "image/jpeg" or "image/png"; empty with no picture
    bool Empty() const { return bytes.empty(); }
};

// Pictures above this are passed over: no cover is worth holding that much.
inline constexpr uint64_t kMaxCoverBytes = 20u * 1024 * 1024;

// The embedded picture when there is one that decodes, else the first folder
// picture that does; empty when there is none. Only JPEG and PNG count, and
// only within kMaxCoverBytes.
CoverPicture FindCoverArt(const std::string& trackPath);

// Just the file's own attached picture.
CoverPicture ReadEmbeddedCover(const std::string& trackPath);

// Just the folder: names cover, folder, front, album in that order of
// preference, each as .jpg, .jpeg, .png, in any letter case.
CoverPicture ReadFolderCover(const std::string& trackPath);

// The picture's kind from its first bytes ("image/jpeg", "image/png"), and
// whether FFmpeg's decoder makes a picture of it; "" when it does not.
std::string CheckPicture(const std::vector<uint8_t>& bytes);

} // namespace tessel
