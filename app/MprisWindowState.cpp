#include "app/MprisWindowState.h"

#include "app/MainWindow.h"
#include "app/PlayerParts.h"
#include "engine/Deck.h"

#include <QSlider>

namespace tessel {

namespace {

// Whether Next (Previous) has an entry to go to: the play order's answer
// for the loaded entry, as the playlist asks it when they are given.
bool HasEntryBeside(const CPlaylist& playlist, bool after) {
    const int loaded = playlist.GetLoadedIndex();
    const EntryId id = loaded >= 0 ? playlist.Tracks().GetId(loaded) : 0;
    if (after)
        return playlist.Order().PeekNextForUser(id) != 0;
    return id != 0 && playlist.Order().PeekPrevious(id) != 0;
}

} // namespace

MprisSnapshot ReadMprisSnapshot(CMainWindow& window, const CPlayerParts& parts) {
    const CDeck& deck = window.Deck();
    const CPlaylist& playlist = parts.playlist;
    MprisSnapshot s;
    const bool loaded = deck.IsTrackLoaded();
    s.status = StatusOf(loaded, deck.IsPlaying(), deck.ReachedEnd());
    if (loaded) {
        s.path = deck.TrackPath();
        s.entry = deck.TrackEntry();
        s.title = window.CurrentTitle();
        const int row = window.LoadedRow();
        if (row >= 0)
            s.tags = playlist.Tracks().GetTags(row);
        s.artUrl = window.CoverUrl();
        s.lengthSeconds = deck.TrackLength();
        s.positionSeconds = deck.Elapsed();
    }
    s.volume = deck.Volume();
    s.canGoNext = HasEntryBeside(playlist, true);
    s.canGoPrevious = HasEntryBeside(playlist, false);
    s.canPlay = loaded;
    s.canPause = loaded;
    s.canSeek = loaded && s.lengthSeconds > 0.0;
    s.repeat = deck.Repeat();
    s.shuffle = deck.Shuffle();
    // Inside a wait of the deck, in a change of state, or with commands
    // still to run.
    s.settling = deck.IsBusy();
    return s;
}

} // namespace tessel
