#include "output/SdlDeviceEvents.h"

#include <SDL.h>

namespace tessel {

namespace {
constexpr Uint32 kSubsystems = SDL_INIT_AUDIO | SDL_INIT_EVENTS;
}

namespace {
bool InitSubsystems() {
    // SDL's events would otherwise take SIGINT and SIGTERM for a quit event
    // nobody reads: the player ends by them (Ctrl+C, a session's end).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(kSubsystems) == 0;
}
} // namespace

CSdlDeviceEvents::CSdlDeviceEvents() : m_ok(InitSubsystems()) {}

CSdlDeviceEvents::~CSdlDeviceEvents() {
    if (m_ok)
        SDL_QuitSubSystem(kSubsystems);
}

DeviceEventsSeen CSdlDeviceEvents::Poll(uint32_t openId) {
    DeviceEventsSeen seen;
    if (!m_ok)
        return seen;
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_AUDIODEVICEADDED, SDL_AUDIODEVICEREMOVED) >
           0) {
        if (event.adevice.iscapture != 0)
            continue;
        if (event.type == SDL_AUDIODEVICEADDED)
            seen.added = true;
        else if (openId == 0 || event.adevice.which == openId)
            seen.openDeviceRemoved = true;
    }
    return seen;
}

} // namespace tessel
