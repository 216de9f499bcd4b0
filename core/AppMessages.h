// Application message ids. The values are the program's own and fixed:
// everything that talks to the main thread uses them.
#pragma once

#include <cstdint>

namespace tessel {

constexpr uint32_t WM_APP = 0x8000;

enum AppMessage : uint32_t {
    kMsgDeleteSelected = WM_APP + 0x04,
    kMsgReadReport = WM_APP + 0x05,
    kMsgEqualizerBandMoved = WM_APP + 0x0A,
    kMsgEqualizerOff = WM_APP + 0x0B,
    kMsgEqualizerOn = WM_APP + 0x0C,
    kMsgFfwdPressed = WM_APP + 0x0D,
    kMsgFfwdReleased = WM_APP + 0x0E,
    kMsgFindNext = WM_APP + 0x0F,
    kMsgMoveSelectedDown = WM_APP + 0x11,
    kMsgMoveSelectedUp = WM_APP + 0x12,
    kMsgPlayForwardNotify = WM_APP + 0x16,
    kMsgPlaylistChanged = WM_APP + 0x1A,
    kMsgFilesDropped = WM_APP + 0x1B,
    kMsgPlayLoadedEntry = WM_APP + 0x1C,
    kMsgRwndPressed = WM_APP + 0x23,
    kMsgRwndReleased = WM_APP + 0x24,
    kMsgTrackLengthLoaded = WM_APP + 0x32,
    kMsgPositionSliderGrabbed = WM_APP + 0x33,
    kMsgChildWindowClosed = WM_APP + 0x4F,
};

struct Message {
    uint32_t id = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

} // namespace tessel
