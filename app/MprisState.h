// What MPRIS2 clients see of the player, as plain values: a snapshot of the
// window's state, the rules that turn it into the Player interface's
// properties, and what changed between two snapshots. No bus here, so the
// rules are tested without one.
#pragma once

#include "core/TrackTags.h"
#include "playlist/PlayOrderModes.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>
#include <string>
#include <vector>

namespace tessel {

enum class MprisStatus { Playing, Paused, Stopped };

struct MprisSnapshot {
    MprisStatus status = MprisStatus::Stopped;
    std::string path; // empty: no track
    // The loaded playlist entry (0: a file loaded outside the list). Two
    // rows of one file (a CUE sheet's) are two tracks to a client.
    uint64_t entry = 0;
    std::string title;
    TrackTags tags;     // the entry's other tags; their title is `title`
    std::string artUrl; // file:// URL of the cover as published; empty: none
    double lengthSeconds = 0.0;
    double positionSeconds = 0.0;
    double volume = 1.0; // 0 (silence) .. 1 (full)
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;
    RepeatMode repeat = RepeatMode::Off;
    ShuffleMode shuffle = ShuffleMode::Off;
    // A command is under way (a start waits for its first data, a track
    // loads): the status is about to change, and clients keep the last one
    // rather than see a pause flicker through every seek and track change.
    bool settling = false;
};

inline constexpr const char* kMprisPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisRootInterface = "org.mpris.MediaPlayer2";
inline constexpr const char* kMprisPlayerInterface = "org.mpris.MediaPlayer2.Player";
inline constexpr const char* kMprisBusName = "org.mpris.MediaPlayer2.tessel";
inline constexpr const char* kMprisNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// As far as the deck tells: Stopped with nothing loaded or played to the
// end, Playing while it plays, Paused otherwise.
MprisStatus StatusOf(bool trackLoaded, bool playing, bool reachedEnd);
QString StatusName(MprisStatus status);

// Tells Stopped from Paused, which the deck does not: a track that has not
// played since it was loaded, or since Stop, and waits at its start is
// Stopped (one loaded at a kept position is Paused). While the engine
// settles it keeps the last status.
class CMprisStatusTracker {
  public:
    // The status to report for `snapshot`, whose own status is StatusOf's.
    MprisStatus Update(const MprisSnapshot& snapshot);
    // Stop was carried out: the track waits at its start.
    void OnStop() { m_atStart = true; }

  private:
    MprisStatus m_status = MprisStatus::Stopped;
    std::string m_path; // of the last settled snapshot
    bool m_atStart = true;
};

// LoopStatus: "None", "Track" or "Playlist"; nothing for another text.
QString LoopStatusName(RepeatMode mode);
std::optional<RepeatMode> RepeatModeOfLoopStatus(const QString& status);
// Shuffle is a yes or no: album shuffle reads as yes, and a yes keeps it
// rather than trading it for track shuffle.
inline bool IsShuffled(ShuffleMode mode) {
    return mode != ShuffleMode::Off;
}
ShuffleMode ShuffleModeOf(bool on, ShuffleMode now);

// The object path that names the snapshot's track to clients: the playlist
// entry's id, which lasts as long as the list; a file loaded outside the list
// takes the number of its load. NoTrack without a track.
QString TrackIdOf(const MprisSnapshot& snapshot, uint64_t loadNumber);

// Metadata of the snapshot's track under `trackId` (an object path), typed as
// clients expect: mpris:trackid (o), mpris:length (x, microseconds),
// mpris:artUrl, xesam:title (the file name when the file has no title),
// xesam:album, xesam:contentCreated, xesam:url (s), xesam:artist,
// xesam:albumArtist, xesam:genre (as), xesam:trackNumber, xesam:discNumber
// (i). What is not known is left out rather than sent empty. Only the
// NoTrack id without a track.
QVariantMap MetadataOf(const MprisSnapshot& snapshot, const QString& trackId);

// A tag's date as ISO 8601 asks ("1999", "1999-05", "1999-05-03", the
// leading part of a longer stamp); empty for a date that is none ("c. 1999",
// "05/03/1999").
QString IsoDateOf(const std::string& date);

// Names of the Player properties whose values differ between the snapshots
// (Position never: clients follow it through Seeked and the clock).
QStringList ChangedPlayerProperties(const MprisSnapshot& before, const MprisSnapshot& after);

// Whether the position moved other than by playing on for `wallSeconds`:
// back by more than a moment, or forward by more than the time that passed.
// A new track is a change of track, not a seek.
bool PositionJumped(const MprisSnapshot& before, const MprisSnapshot& after, double wallSeconds);

// The audio types the player reads and the playlists it opens.
QStringList SupportedMimeTypes();

inline qlonglong ToMicroseconds(double seconds) {
    return static_cast<qlonglong>(seconds * 1e6 + (seconds < 0 ? -0.5 : 0.5));
}

} // namespace tessel
