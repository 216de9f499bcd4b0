// The messages that reach the main thread through the engine's channel:
// workers' reports and what child windows and controls tell their owner.
#pragma once

#include <cstdint>

namespace tessel {

enum class AppMessage : uint8_t {
    ReadReport,        // the read worker has reports for the deck
    PlayForwardNotify, // the output passed a segment end
    TrackLengthLoaded, // the length worker has an answer
    LoudnessMeasured,  // the loudness worker has measured files
    FfwdPressed,
    FfwdReleased,
    RwndPressed,
    RwndReleased,
    PositionSliderGrabbed,
    EqualizerBandMoved, // value: the band
    EqualizerOff,
    EqualizerOn,
    DeleteSelected,
    MoveSelectedUp,
    MoveSelectedDown,
    FindNext,
    FilesDropped,
    PlaylistChanged,
    ChildWindowClosed, // value: which window
};

struct Message {
    AppMessage kind = AppMessage::ReadReport;
    int32_t value = 0;
};

} // namespace tessel
