// A user's command to the deck, carrying its value: what a button, slider,
// menu, key, timer or remote control asks for. Every one of them enters the
// deck through CDeck::Submit, so each runs exactly once and in arrival order,
// never inside another command's wait.
#pragma once

#include "output/AudioBackend.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tessel {

enum class DeckCommandKind {
    PlayPause,
    Next,
    Previous,
    SeekTo,    // value: slider position 0 ... 65535
    SetVolume, // value: 0 (full volume) ... 1000 (silence)
    ChooseNoFile,
    Load, // paths[0]
    PlayLoadedEntry,
    SliderGrab,
    SliderMove, // value: slider position while held
    FastForwardPress,
    FastForwardRelease,
    RewindPress,
    RewindRelease,
    // Plays on through another output device from the frame being heard.
    // device: its description (speaker suffix included); makeBackend makes
    // the backend that reaches it.
    SwitchDevice,
    // The host's own work that must not run inside a deck wait: anything that
    // opens a nested event loop (a dialog, a menu, a message box).
    HostTask,
};

using BackendFactory = std::function<std::unique_ptr<IAudioBackend>()>;

struct DeckCommand {
    DeckCommandKind kind = DeckCommandKind::PlayPause;
    int value = 0;
    std::vector<std::string> paths;
    std::function<void()> task;
    std::string device;
    BackendFactory makeBackend;

    static DeckCommand Of(DeckCommandKind kind, int value = 0) {
        DeckCommand c;
        c.kind = kind;
        c.value = value;
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
    static DeckCommand Host(std::function<void()> task) {
        DeckCommand c;
        c.kind = DeckCommandKind::HostTask;
        c.task = std::move(task);
        return c;
    }
};

} // namespace tessel
