// A user's command to the deck, carrying its value: what a button, slider,
// menu, key, timer or remote control asks for. Every one of them enters the
// deck through CDeck::Submit, so each runs exactly once and in arrival order,
// only while the deck is settled.
#pragma once

#include "output/AudioBackend.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tessel {

enum class DeckCommandKind {
    PlayPause,
    // Plays when paused: what a command that had to pause first asks for
    // after itself.
    Resume,
    Pause, // pauses when playing
    Next,
    Previous,
    SeekTo, // amount: seconds into the track
    SeekBy, // amount: seconds from the position heard, negative is back
    Close,
    Load,            // paths[0], entry
    PlayLoadedEntry, // entry: the one to mark loaded first; 0 for the marked one
    FastForwardPress,
    FastForwardRelease,
    RewindPress,
    RewindRelease,
    // Plays on through another output device from the frame being heard.
    // device: its description (speaker suffix included); makeBackend makes
    // the backend that reaches it.
    SwitchDevice,
};

using BackendFactory = std::function<std::unique_ptr<IAudioBackend>()>;

struct DeckCommand {
    DeckCommandKind kind = DeckCommandKind::PlayPause;
    double amount = 0.0;
    std::vector<std::string> paths;
    uint64_t entry = 0; // the playlist entry a Load is for, 0 for none
    std::string device;
    BackendFactory makeBackend;

    static DeckCommand Of(DeckCommandKind kind, double amount = 0.0) {
        DeckCommand c;
        c.kind = kind;
        c.amount = amount;
        return c;
    }
    static DeckCommand WithPaths(DeckCommandKind kind, std::vector<std::string> paths) {
        DeckCommand c;
        c.kind = kind;
        c.paths = std::move(paths);
        return c;
    }
    static DeckCommand SwitchTo(std::string description, BackendFactory makeBackend) {
        DeckCommand c;
        c.kind = DeckCommandKind::SwitchDevice;
        c.device = std::move(description);
        c.makeBackend = std::move(makeBackend);
        return c;
    }
};

} // namespace tessel
