// What the deck asks of the window that shows it (or of a console player or
// a test): displays only. Values reach the deck with its commands.
//
// Threads: called on the main thread only.
#pragma once

#include "engine/DeckState.h"

#include <string>

namespace tessel {

class IDeckHost {
  public:
    virtual ~IDeckHost() = default;

    // The track chooser: show `fileName` (name and extension) as the current
    // track, or fall back to "No File Loaded".
    virtual void ShowCurrentTrack(const std::string& fileName) = 0;
    virtual void ShowNoFileLoaded() = 0;

    // Where the track is, in seconds: the frame being heard, a seek's
    // target, or a fast wind's target while it is held. Told as playback
    // moves (a few times a second) and at once after a command.
    virtual void ShowPosition(double seconds, double lengthSeconds) = 0;
    // A track was loaded: its length is worth showing for a moment.
    virtual void ShowLengthForAMoment(double /*lengthSeconds*/) {}
    virtual void ShowLevel(int level) = 0; // 0 .. 100
    // Ffwd, Play and Rwnd: whether they look usable.
    virtual void SetTransportEnabled(bool enabled) = 0;
    // The deck's state changed (engine/DeckState.h); told once per change.
    virtual void OnStateChanged(DeckState /*state*/) {}
    // A new track became current (the display switches to it).
    virtual void OnTrackChanged(const std::string& /*path*/, const std::string& /*title*/,
                                double /*lengthSeconds*/) {}
    // The volume (0 silence .. 1 full) the deck applies now.
    virtual void OnVolumeChanged(double /*volume*/) {}
    // Repeat, shuffle or stop-after-current changed (see CDeck::PlayModes).
    virtual void OnPlayModesChanged() {}
    // `path` would not open; nothing is loaded now.
    virtual void OnTrackLoadFailed(const std::string& /*path*/) {}
    // The output went silent for `starvedSeconds` because decoding fell
    // behind, `atSeconds` into the stream; nothing was lost, only delayed.
    virtual void OnUnderrun(double /*atSeconds*/, double /*starvedSeconds*/) {}
    // The output was reopened on `description` (opened), or no device could
    // be opened there and the deck stays paused until another one is.
    virtual void OnOutputDeviceChanged(const std::string& /*description*/, bool /*opened*/) {}
};

// A host that shows nothing: the base of consoles and benchmarks, which
// look at a few of the deck's reports only.
class CBlindDeckHost : public IDeckHost {
  public:
    void ShowCurrentTrack(const std::string&) override {}
    void ShowNoFileLoaded() override {}
    void ShowPosition(double, double) override {}
    void ShowLevel(int) override {}
    void SetTransportEnabled(bool) override {}
};

} // namespace tessel
