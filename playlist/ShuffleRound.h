// How one shuffle round orders the entries. A round draws a random salt;
// an entry's place is a hash of the salt with its id (tracks) or with its
// album (albums, whose entries then follow in list order). Places are worked
// out from the entry alone, so an entry added mid-round lands at a random
// place among the ones not heard yet, and a deleted one simply drops out.
#pragma once

#include "playlist/PlayOrderModes.h"
#include "playlist/TrackList.h"

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessel {

// The album an entry belongs to for album shuffle: its album tag together
// with its folder, so two albums called "Greatest Hits" stay apart and the
// untagged files of a folder play together.
struct AlbumName {
    std::string_view album;
    std::string_view folder;
    bool operator==(const AlbumName&) const = default;
};

AlbumName AlbumOf(const TrackRecord& record);

struct ShuffleRound {
    uint64_t salt = 0;
    // Put last in the round (in album shuffle: last in its album) so a new
    // round does not open with what was just heard.
    EntryId deferredEntry = 0;
    bool albumDeferred = false;
    std::string deferredAlbum = {};
    std::string deferredFolder = {};

    void DeferAlbum(const AlbumName& name);
    bool IsDeferred(const AlbumName& name) const {
        return albumDeferred && name.album == deferredAlbum && name.folder == deferredFolder;
    }
};

// An entry's place in a round: the lower plays first. It holds views into
// the record, so it lives no longer than the list is left unchanged.
struct RoundPlace {
    bool last = false;
    uint64_t rank = 0;
    std::string_view album;
    std::string_view folder;
    bool lastInAlbum = false;
    int row = 0;
    auto operator<=>(const RoundPlace&) const = default;
};

RoundPlace PlaceInRound(const ShuffleRound& round, ShuffleMode mode, const TrackRecord& record,
                        int row);

} // namespace tessel
