// What MPRIS2 clients see of the player, as plain values: a snapshot of the
// window's state, the rules that turn it into the Player interface's
// properties, and what changed between two snapshots. No bus here, so the
// rules are tested without one.
#pragma once

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
    std::string title;
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

// Metadata of the snapshot's track under `trackId` (an object path):
// mpris:trackid, mpris:length (microseconds), xesam:title (the file name when
// the file has no title), xesam:url (file://). Only the NoTrack id without a
// track.
QVariantMap MetadataOf(const MprisSnapshot& snapshot, const QString& trackId);

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
