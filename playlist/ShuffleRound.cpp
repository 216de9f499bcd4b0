#include "playlist/ShuffleRound.h"

namespace tessel {

namespace {

// splitmix64's finaliser: every bit of the input moves about half the
// output bits, so neighbouring ids get unrelated places.
uint64_t Mix(uint64_t salt, uint64_t value) {
    uint64_t z = salt + value * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// FNV-1a: fixed across builds and library versions, so a seed gives the same
// album order everywhere.
uint64_t HashText(uint64_t hash, std::string_view text) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

uint64_t HashAlbum(const AlbumName& name) {
    uint64_t hash = HashText(0xCBF29CE484222325ull, name.album);
    hash = HashText(hash ^ 0xFF, name.folder); // "ab"+"c" differs from "a"+"bc"
    return hash;
}

} // namespace

AlbumName AlbumOf(const TrackRecord& record) {
    const std::string_view path = record.trackPath;
    const size_t slash = path.find_last_of('/');
    return {record.Tags().album,
            slash == std::string_view::npos ? std::string_view() : path.substr(0, slash)};
}

void ShuffleRound::DeferAlbum(const AlbumName& name) {
    albumDeferred = true;
    deferredAlbum = name.album;
    deferredFolder = name.folder;
}

RoundPlace PlaceInRound(const ShuffleRound& round, ShuffleMode mode, const TrackRecord& record,
                        int row) {
    RoundPlace place;
    place.row = row;
    const bool entryDeferred = record.id == round.deferredEntry;
    if (mode == ShuffleMode::Albums) {
        const AlbumName name = AlbumOf(record);
        place.last = round.IsDeferred(name);
        place.rank = Mix(round.salt, HashAlbum(name));
        place.album = name.album;
        place.folder = name.folder;
        place.lastInAlbum = entryDeferred;
    } else {
        place.last = entryDeferred;
        place.rank = Mix(round.salt, record.id);
    }
    return place;
}

} // namespace tessel
